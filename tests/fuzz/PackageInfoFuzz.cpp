// Package info files as the setup web site may serve them: each section's
// lines through the reader of that section.
#include "FuzzCheck.h"
#include "IniText.h"
#include "app/PathText.h"
#include "install/PackageInfoLines.h"

#include <cstdint>
#include <string>

namespace {

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CIniText ini(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& line : ini.Lines("Folders")) {
        CPackageFolder folder;
        if (ParseFolderLine(line, folder)) Require(line.find("=" + folder.m_strPath) != std::string::npos);
    }
    for (const std::string& line : ini.Lines("Sources")) {
        int id = 0;
        std::string source;
        // The source is all of the line after its first "=".
        if (ParseSourceLine(line, id, source)) Require(EndsWith(line, "=" + source));
    }
    for (const std::string& line : ini.Lines("Files")) {
        CPackageFile file;
        CFileLineRefs refs;
        if (!ParseFileLine(line, file, refs)) continue;
        Require(StartsWith(line, file.m_strName + "=") && line[0] != '#');
        Require(IsPlainFileName(file.m_strName) && IsPlainFileName(file.m_strSource));
        Require(file.m_nPackedSize != 0 || file.m_nSize == 0);
        Require(file.m_nSize >= 0 && file.m_nPackedSize >= 0);
    }
    for (const std::string& line : ini.Lines("Shortcuts")) {
        CPackageShortcut shortcut;
        if (ParseShortcutLine(line, shortcut)) Require(IsPlainFileName(shortcut.m_strName));
    }
    for (const std::string& line : ini.Lines("RegEntries")) {
        CPackageRegEntry entry;
        // Key and value name come whole from the line, before its "=".
        if (ParseRegEntryLine(line, entry))
            Require(line.find("," + entry.m_strKey + "," + entry.m_strValueName + "=") != std::string::npos);
    }
    return 0;
}
