#include "IniText.h"

#include <cctype>

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

CIniText::CIniText(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        const size_t close = line.find(']');
        if (line[0] == '[' && close != std::string::npos) {
            m_sections.push_back({Trim(line.substr(1, close - 1)), {}});
        } else if (!m_sections.empty()) {
            m_sections.back().m_lines.push_back(line);
        }
    }
}

const CIniText::CSection* CIniText::Find(const std::string& section) const {
    for (const CSection& candidate : m_sections)
        if (SameName(candidate.m_strName, section)) return &candidate;
    return nullptr;
}

std::vector<std::string> CIniText::Lines(const std::string& section) const {
    const CSection* found = Find(section);
    return found ? found->m_lines : std::vector<std::string>();
}

std::string CIniText::SectionBuffer(const std::string& section) const {
    std::string buffer;
    for (const std::string& line : Lines(section)) buffer += line + '\0';
    return buffer + '\0';
}

bool CIniText::Value(const std::string& section, const std::string& key, std::string& value) const {
    for (const std::string& line : Lines(section)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && SameName(Trim(line.substr(0, equals)), key)) {
            value = Trim(line.substr(equals + 1));
            return true;
        }
    }
    return false;
}
