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

std::string ReadProfileValue(const char* path, const char* section, const char* key) {
    // One byte more than the limit lets a longer value show as such.
    char value[kProfileValueLimit + 2] = "";
    const DWORD length = ::GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
    return length > kProfileValueLimit ? std::string() : std::string(value, length);
}
