#include "app/ProfileSection.h"

std::vector<std::string> ReadSectionLines(const std::string& path, const char* section, DWORD bufferSize) {
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD length = ::GetPrivateProfileSectionA(section, buffer.data(), bufferSize, path.c_str());
    std::vector<std::string> lines;
    for (DWORD pos = 0; pos < length && buffer[pos] != '\0';) {
        lines.emplace_back(&buffer[pos]);
        pos += DWORD(lines.back().size()) + 1;
    }
    return lines;
}
