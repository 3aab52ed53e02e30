#include "install/DiskSpaceList.h"

#include <algorithm>
#include <cctype>
#include <cstring>

CDiskSpaceList::CDiskSpaceList() : m_hList(::SetupCreateDiskSpaceListA(nullptr, 0, 0)) {
    if (!m_hList) m_bOwnSums = true;
}

CDiskSpaceList::~CDiskSpaceList() {
    if (m_hList) ::SetupDestroyDiskSpaceList(m_hList);
}

std::string CDiskSpaceList::UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::string CDiskSpaceList::FullPath(const std::string& path) {
    char full[MAX_PATH * 4] = "";
    const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full) : path;
}

std::string CDiskSpaceList::DriveOf(const std::string& fullPath) {
    if (fullPath.size() >= 2 && fullPath[1] == ':') return UpperCase(fullPath.substr(0, 2));
    if (fullPath.compare(0, 2, "\\\\") == 0) {
        // \\server\share
        const size_t server = fullPath.find('\\', 2);
        if (server == std::string::npos) return fullPath;
        return fullPath.substr(0, fullPath.find('\\', server + 1));
    }
    return "";
}

void CDiskSpaceList::AddCopy(const std::string& path, int64_t size) {
    const std::string full = FullPath(path);
    const std::string drive = DriveOf(full);
    if (std::find(m_listDrives.begin(), m_listDrives.end(), drive) == m_listDrives.end())
        m_listDrives.push_back(drive);
    m_mapFiles[UpperCase(full)] = CFileEntry{drive, size};
    if (m_hList && !::SetupAddToDiskSpaceListA(m_hList, path.c_str(), size, FILEOP_COPY, nullptr, 0))
        m_bOwnSums = true;
}

std::vector<std::string> CDiskSpaceList::QueryDrives() const {
    if (!m_bOwnSums) {
        char buffer[2048];
        DWORD needed = 0;
        if (::SetupQueryDrivesInDiskSpaceListA(m_hList, buffer, sizeof buffer, &needed)) {
            std::vector<std::string> drives;
            for (const char* drive = buffer; drive < buffer + sizeof buffer && *drive; drive += std::strlen(drive) + 1)
                drives.emplace_back(drive);
            return drives;
        }
        m_bOwnSums = true;
    }
    return m_listDrives;
}

int64_t CDiskSpaceList::QuerySpaceRequired(const std::string& drive) const {
    if (!m_bOwnSums) {
        LONGLONG required = 0;
        if (::SetupQuerySpaceRequiredOnDriveA(m_hList, drive.c_str(), &required, nullptr, 0)) return required;
        m_bOwnSums = true;
    }
    int64_t sum = 0;
    const std::string wanted = UpperCase(drive);
    for (const auto& file : m_mapFiles)
        if (UpperCase(file.second.m_strDrive) == wanted) sum += file.second.m_nSize;
    return sum;
}
