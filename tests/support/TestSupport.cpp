#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

static std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string BinDir() { return EnvOr("ZEP_BIN", "."); }
std::string SourceDir() { return EnvOr("ZEP_SOURCE", ".."); }
std::string ArtefactsDir() {
    std::string dir = EnvOr("ZEP_ARTEFACTS", ".\\artefacts");
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(path.c_str());
}

std::string MakeScratchDir(const std::string& name) {
    char current[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, current);
    std::string dir = std::string(current) + "\\" + name;
    RemoveTree(dir);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string SmallVolume() {
    const char* volume = std::getenv("ZEP_SMALL_VOLUME");
    if (!volume) ADD_FAILURE() << "the tests' small volume is not set";
    return volume ? volume : ".";
}

WorkingFolder::WorkingFolder(const std::string& dir) {
    char current[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, current);
    m_strOld = current;
    ::SetCurrentDirectoryA(dir.c_str());
}

WorkingFolder::~WorkingFolder() { ::SetCurrentDirectoryA(m_strOld.c_str()); }

bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return bool(out);
}

bool ReadFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string StoredText(const std::string& key, const char* name) {
    char text[1024] = "";
    DWORD size = sizeof text, type = 0;
    const LONG result =
        ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ | RRF_NOEXPAND, &type, text, &size);
    if (result == ERROR_UNSUPPORTED_TYPE) return "<type " + std::to_string(type) + ">";
    return result == ERROR_SUCCESS ? text : "-";
}

std::string Descriptor(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    char* text = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    const std::string sddl = ::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr,
                                                     nullptr, &descriptor) == ERROR_SUCCESS &&
                                     ::ConvertSecurityDescriptorToStringSecurityDescriptorA(
                                         descriptor, SDDL_REVISION_1, parts, &text, nullptr)
                                 ? text
                                 : "unreadable";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return sddl;
}

bool SetDescriptor(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    const bool set =
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
        ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
        ::SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, dacl, nullptr) == ERROR_SUCCESS;
    ::LocalFree(descriptor);
    return set;
}

std::string Intrusions(const std::string& path) {
    const HANDLE hWriter = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    std::string done = hWriter == INVALID_HANDLE_VALUE ? "" : " written";
    ::CloseHandle(hWriter);
    if (WriteFile(path + ".other", "other") &&
        ::MoveFileExA((path + ".other").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        done += " replaced";
    ::DeleteFileA((path + ".other").c_str());
    return done + (::DeleteFileA(path.c_str()) ? " deleted" : "");
}

std::string PendingRenames() {
    std::string list(65536, '\0');
    DWORD size = DWORD(list.size());
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, &list[0], &size) != ERROR_SUCCESS)
        return "";
    list.resize(size);
    while (!list.empty() && list.back() == '\0') list.pop_back();
    for (char& c : list) c = c ? c : '|';
    return list.empty() ? list : list + "|";
}

Lines SortedFilesIn(const std::string& dir) {
    Lines names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testsupport
