// Whole sections of INI files, read through the system's profile functions.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The lines of one section as the profile reader returns them, cut to the
// buffer size the way that reader cuts them; none when the section is missing
// or empty.
std::vector<std::string> ReadSectionLines(const std::string& path, const char* section, DWORD bufferSize);

// One text value of at most kProfileValueLimit characters; empty when missing
// or longer, since a cut value would name another folder, file or address.
constexpr DWORD kProfileValueLimit = 1023;
std::string ReadProfileValue(const char* path, const char* section, const char* key);
