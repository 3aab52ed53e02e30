#include "install/FileSelection.h"

#include "app/Component.h"
#include "app/PathText.h"
#include "app/SetupRun.h"
#include "install/DiskSpaceList.h"
#include "install/FileHash.h"
#include "install/InstallEngine.h"
#include "install/PackageFile.h"

#include <vector>

// Seconds since 1970-01-01 00:00 UTC, in the 32 bits that file times use.
static int32_t FileTimeToSeconds(const FILETIME& time) {
    const uint64_t ticks = uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    const int64_t kTicksTo1970 = 116444736000000000LL;
    return int32_t((int64_t(ticks) - kTicksTo1970) / 10000000);
}

static int64_t ReadFileVersion(const std::string& path) {
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return 0;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return 0;
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&pInfo), &length) || !pInfo ||
        length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return int64_t(uint64_t(pInfo->dwFileVersionMS) << 32 | pInfo->dwFileVersionLS);
}

// Size and modification time of a regular file; false for anything else.
static bool ReadFileAttributes(const std::string& path, int64_t& size, int32_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    size = int64_t(uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    time = FileTimeToSeconds(data.ftLastWriteTime);
    return true;
}

int64_t FileBytes(const std::string& path) {
    int64_t size = 0;
    int32_t time = 0;
    return ReadFileAttributes(path, size, time) ? size : 0;
}

bool ProbeInstalledFile(const std::string& path, int64_t& version, int32_t& time) {
    int64_t size = 0;
    int32_t modified = 0;
    if (!ReadFileAttributes(path, size, modified)) return false;
    time = modified;
    version = ReadFileVersion(path);
    return true;
}

int ProbeDownloadedFile(const std::string& path, int64_t& version, int32_t& time) {
    if (ProbePackageFile(path, version, time)) return DOWNLOADED_COMPRESSED;
    if (ProbeInstalledFile(path, version, time)) return DOWNLOADED_PLAIN;
    return DOWNLOADED_NONE;
}

// Whether the copy found on disk (version, or time when it has no version)
// is at least as new as the file the package carries.
static bool IsCurrent(const CPackageFile& file, int64_t version, int32_t time) {
    return version != 0 ? version >= file.m_nVersion : time >= file.m_tDate;
}

// A download folder is anyone's to write, and a carried one has been
// elsewhere: a copy found there counts only as the bytes the publisher hashed.
// It is hashed again once its size or time differ from the last time.
static bool HasPublishedBytes(CPackageFile& file, const std::string& path, int64_t size, int32_t modified) {
    if (file.m_strSha256.empty()) return true;
    if (size != file.m_nHashedSize || modified != file.m_tHashedTime) {
        std::string hex;
        file.m_bHashMatched = Sha256OfFile(path, hex) && hex == file.m_strSha256;
        file.m_nHashedSize = size;
        file.m_tHashedTime = modified;
    }
    return file.m_bHashMatched;
}

int CPackageInfo::SelectFilesToInstall() {
    m_nFilesToInstall = 0;
    // Set before the walk, so a package with no file to install still logs
    // into and records the install folder.
    if (m_pComponent->m_nInstalledVersion == 0 && !m_pComponent->m_bCutShort) m_strTarget = m_run.m_strInstallDir;
    // What a run cut short left proves nothing: a file's time can be that of
    // the cut, and the bytes behind it part of a copy.
    if (m_pComponent->m_bCutShort)
        m_run.m_log.Write("Package " + m_strKey + ": its last install was cut short: every file is installed again");
    for (CPackageFile* pFile : m_listFiles) {
        if (m_run.IsSkippedOnThisPlatform(pFile->m_nFlags)) {
            pFile->m_bInstall = false;
            pFile->m_bDownload = false;
            continue;
        }
        if (!ProbeInstalledFile(GetTargetPath(*pFile), pFile->m_nInstalledVersion, pFile->m_tInstalledTime))
            pFile->m_tInstalledTime = 0;
        pFile->m_bInstall = m_pComponent->m_bCutShort || pFile->m_tInstalledTime == 0 ||
                            !IsCurrent(*pFile, pFile->m_nInstalledVersion, pFile->m_tInstalledTime);
        if (pFile->m_bInstall)
            ++m_nFilesToInstall;
        else
            pFile->m_bDownload = false;
    }
    return m_nFilesToInstall;
}

std::string FileDecision(const CSetupRun& run, const CPackageFile& file) {
    const bool bDownloadOnly = run.m_nDownloadOnly == 1;
    if (run.IsSkippedOnThisPlatform(file.m_nFlags)) return "skip: not for this system";
    if (!bDownloadOnly && !file.m_bInstall) return "keep: the installed copy is current";
    if (file.m_bDownload)
        return file.m_tPackageTime == 0 ? "download: no copy in the download folder"
                                        : "download: the download folder's copy is older or not the publisher's";
    return bDownloadOnly ? "keep: the download folder's copy is current" : "install from the download folder";
}

int CPackageInfo::SelectFilesToDownload(bool reset) {
    int count = 0;
    if (reset) m_nFilesToUnpack = 0;
    for (CPackageFile* pFile : m_listFiles) {
        if (!pFile->m_bInstall && m_run.m_nDownloadOnly == 0) continue;
        pFile->m_bDownload = true;
        const std::string packagePath = JoinPath(m_run.m_strDownloadDir, pFile->m_strSource);
        int64_t size = 0;
        int32_t modified = 0;
        if (ReadFileAttributes(packagePath, size, modified) && size >= pFile->m_nPackedSize) {
            switch (ProbeDownloadedFile(packagePath, pFile->m_nPackageVersion, pFile->m_tPackageTime)) {
            case DOWNLOADED_NONE: pFile->m_tPackageTime = 0; break;
            case DOWNLOADED_PLAIN: pFile->m_bCompressed = false; break;
            case DOWNLOADED_COMPRESSED: pFile->m_bCompressed = true; break;
            }
            if (pFile->m_tPackageTime != 0) {
                pFile->m_strPackageDir = m_run.m_strDownloadDir;
                if (IsCurrent(*pFile, pFile->m_nPackageVersion, pFile->m_tPackageTime) &&
                    HasPublishedBytes(*pFile, packagePath, size, modified))
                    pFile->m_bDownload = false;
            }
        }
        if (pFile->m_bDownload)
            ++count;
        else if (pFile->m_bCompressed && reset)
            ++m_nFilesToUnpack;
    }
    return count;
}

int64_t CPackageInfo::GetDownloadSize() const {
    if (m_bNeedInfo || m_nFilesToDownload == 0) return 0;
    int64_t size = 0;
    for (const CPackageFile* pFile : m_listFiles)
        if (pFile->m_bDownload) size += pFile->m_nPackedSize;
    return size;
}

bool CPackageInfo::AddToDiskSpaceList(CDiskSpaceList& list) const {
    size_t index = 0;
    for (const CPackageFile* pFile : m_listFiles) {
        if (pFile->m_bInstall) {
            list.AddCopy(GetTargetPath(*pFile), pFile->m_nSize);
            // Room for the decoded copy that installation writes first, under
            // a name of each file record's own.
            if (pFile->m_bCompressed)
                list.AddCopy(GetUnpackedPath(index, *pFile), pFile->m_nSize);
        }
        if (pFile->m_bDownload)
            list.AddCopy(JoinPath(m_run.m_strDownloadDir, pFile->m_strSource), pFile->m_nPackedSize);
        ++index;
    }
    return true;
}
