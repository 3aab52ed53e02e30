// INI text split about as the system's profile reader splits a file, for the
// fuzz targets of readers that the program feeds through that reader: it is
// no part of the program, which reads its files with the profile functions.
#pragma once
#include <string>
#include <vector>

class CIniText {
public:
    // Sections start at "[name]" lines; lines lose their surrounding blanks
    // and line ends; empty lines and ";" comments are left out.
    explicit CIniText(const std::string& text);

    // The lines of the first section of that name (letters in any case).
    std::vector<std::string> Lines(const std::string& section) const;
    // The same as the profile reader returns a whole section: each line
    // ended by a zero byte, an empty string after the last.
    std::string SectionBuffer(const std::string& section) const;
    // The value after the "=" of the section's first line with that key,
    // blanks removed; false when there is none.
    bool Value(const std::string& section, const std::string& key, std::string& value) const;

private:
    struct CSection {
        std::string m_strName;
        std::vector<std::string> m_lines;
    };
    const CSection* Find(const std::string& section) const;
    std::vector<CSection> m_sections;
};
