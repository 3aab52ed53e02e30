// The package records of a run: which components take part, their package
// info files, and what of each is to be installed and fetched.
#include "select/PreparePackages.h"

#include "app/PathText.h"
#include "app/SetupRun.h"
#include "download/HttpTransfer.h"
#include "download/IniFileFetch.h"
#include "install/DiskSpaceList.h"
#include "install/FileSelection.h"

namespace {

int PackageVersionOf(const std::string& path) {
    return int(::GetPrivateProfileIntA("Package", "Ver", 0, path.c_str()));
}

}  // namespace

// Keys are removed and the kept ones inserted again in the catalogue's
// order of iteration, so the packages then iterate in catalogue order.
int CSetupRun::LoadPackageInfos() {
    ResolveFolders();
    int missing = 0;
    for (auto& entry : m_mapComponents) {
        CComponent* pComp = entry.second;
        m_mapPackages.RemoveKey(entry.first);
        if (pComp->m_nState != 1 && m_nDownloadOnly != 1) continue;
        m_mapPackages.SetAt(entry.first, std::make_unique<CPackageInfo>(*this, entry.first, pComp));
        ++missing;
        // A name from the web site that would lead out of the folder is no
        // package info file of ours.
        const std::string& name = pComp->m_strPkgInfo;
        if (!IsPlainFileName(name)) continue;
        // A copy the publisher did not sign counts as none: it is fetched again.
        CPinnedFiles pin;
        const auto versionOf = [&](const std::string& path) {
            if (m_trust.Admits(name, path, pin)) return PackageVersionOf(path);
            if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                m_log.Write("Not the publisher's: " + path);
            return 0;
        };
        std::string path = m_strDownloadDir + name;
        int version = versionOf(path);
        if (version == 0) {
            path = ".\\" + name;
            version = versionOf(path);
        }
        if (version >= pComp->m_nVersion && LoadPackageInfo(entry.first, path)) --missing;
    }
    return missing;
}

bool CSetupRun::LoadPackageInfo(const std::string& key, const std::string& path) {
    std::unique_ptr<CPackageInfo>* ppPackage = m_mapPackages.Lookup(key);
    if (!ppPackage) return false;
    CPackageInfo& package = **ppPackage;
    if (package.Load(path) && (!m_trust.HasKey() || package.NamesEveryFileHash())) {
        package.m_bNeedInfo = false;
        return true;
    }
    if (m_trust.HasKey()) m_log.Write("Refused " + path + ": a package file without the publisher's SHA-256");
    // A record half filled by a refused file starts again for the next one.
    *ppPackage = std::make_unique<CPackageInfo>(*this, key, package.m_pComponent);
    return false;
}

void CSetupRun::ComputePackageDownloads() {
    m_nPackagesToDownload = 0;
    for (auto& entry : m_mapPackages) {
        CPackageInfo& package = *entry.second;
        if (package.m_bNeedInfo) continue;
        if (m_nDownloadOnly != 1) {
            package.m_nFilesToInstall = package.SelectFilesToInstall();
            if (package.m_nFilesToInstall == 0) {
                package.m_nFilesToDownload = 0;
                continue;
            }
        }
        package.m_nFilesToDownload = package.SelectFilesToDownload(true);
        if (package.m_nFilesToDownload != 0) ++m_nPackagesToDownload;
    }
    for (const auto& entry : m_mapPackages) {
        if (entry.second->m_bNeedInfo) {
            m_log.Write("Package " + entry.first + ": no package info file");
            continue;
        }
        for (const CPackageFile* pFile : entry.second->m_listFiles)
            m_log.Write("Package " + entry.first + ", " + pFile->m_strSource + ": " +
                        FileDecision(*this, *pFile));
    }
}

std::vector<CInfoFetch> ListPackageInfoFetches(const CSetupRun& run) {
    std::vector<CInfoFetch> fetches;
    for (const auto& entry : run.m_mapPackages) {
        const CPackageInfo& package = *entry.second;
        const CComponent& comp = *package.m_pComponent;
        if (!package.m_bNeedInfo || !IsPlainFileName(comp.m_strPkgInfo)) continue;
        CInfoFetch fetch;
        fetch.m_strKey = entry.first;
        fetch.m_strName = comp.m_strPkgInfo;
        fetch.m_strUrl = JoinUrl(JoinUrl(run.m_strBaseURL, comp.m_strPkgInfoLocation), comp.m_strPkgInfo);
        fetch.m_strLocalPath = run.m_strDownloadDir + comp.m_strPkgInfo;
        fetch.m_strOwnPath = OwnFetchPath(fetch.m_strLocalPath);
        fetch.m_nVersion = comp.m_nVersion;
        fetches.push_back(fetch);
    }
    return fetches;
}

int FetchPackageInfoFiles(CSetupRun& run, const std::string& folder, std::vector<CInfoFetch>& fetches) {
    run.CreateFolderPath(folder, true, true);
    int count = 0;
    for (CInfoFetch& fetch : fetches) {
        fetch.m_bFetched = run.FetchIniFile(fetch.m_strUrl, fetch.m_strOwnPath, "Package", fetch.m_strLocalPath) &&
                           PackageVersionOf(fetch.m_strOwnPath) >= fetch.m_nVersion;
        if (!fetch.m_bFetched) ++count;
    }
    return count;
}

// A fetched copy the publisher did not sign leaves the one in the folder as it was.
int ApplyPackageInfoFetches(CSetupRun& run, const std::vector<CInfoFetch>& fetches, int missing) {
    for (const CInfoFetch& fetch : fetches) {
        if (!fetch.m_bFetched || !FetchedCopyTrusted(run, fetch.m_strName, fetch.m_strOwnPath)) continue;
        CPinnedFiles pin;
        if (::MoveFileExA(fetch.m_strOwnPath.c_str(), fetch.m_strLocalPath.c_str(), MOVEFILE_REPLACE_EXISTING) &&
            run.m_trust.Admits(fetch.m_strName, fetch.m_strLocalPath, pin) &&
            run.LoadPackageInfo(fetch.m_strKey, fetch.m_strLocalPath))
            --missing;
    }
    for (const CInfoFetch& fetch : fetches) ::DeleteFileA(fetch.m_strOwnPath.c_str());
    return missing;
}

std::vector<CDriveSpace> ComputeDriveSpace(const CSetupRun& run) {
    CStringKeyMap<CDriveSpace> drives;
    CDiskSpaceList list;
    for (const auto& entry : run.m_mapPackages) {
        const CPackageInfo& package = *entry.second;
        if (!package.m_bNeedInfo && (package.m_nFilesToInstall != 0 || package.m_nFilesToDownload != 0))
            package.AddToDiskSpaceList(list);
    }
    for (const std::string& drive : list.QueryDrives()) {
        CDriveSpace space{drive, list.QuerySpaceRequired(drive), -1};
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        if (::GetDiskFreeSpaceA((drive + "\\").c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                &clusters))
            space.m_nAvailable = int64_t(sectorsPerCluster) * bytesPerSector * freeClusters;
        drives.SetAt(drive, space);
    }
    std::vector<CDriveSpace> spaces;
    for (const auto& entry : drives) spaces.push_back(entry.second);
    return spaces;
}

bool HasEnoughSpace(const std::vector<CDriveSpace>& drives) {
    for (const CDriveSpace& space : drives)
        if (space.m_nAvailable >= 0 && space.m_nRequired > space.m_nAvailable) return false;
    return true;
}

std::vector<CComponent*> SkipComponents(CSetupRun& run, bool bWithoutInfo) {
    std::vector<CComponent*> skipped;
    for (const auto& entry : run.m_mapPackages) {
        const CPackageInfo& package = *entry.second;
        CComponent* pComponent = package.m_pComponent;
        if (bWithoutInfo && package.m_bNeedInfo) {
            // Without its package info the component cannot take part in the run.
            pComponent->m_nState = 0;
            pComponent->m_nAction = 0;
            skipped.push_back(pComponent);
        } else if (!bWithoutInfo && !package.m_bNeedInfo && package.m_nFilesToDownload != 0) {
            skipped.push_back(pComponent);
        }
    }
    return skipped;
}

bool NothingLeftWithoutSkipped(const CSetupRun& run) {
    return run.m_nPackagesToDownload >= (run.m_nDownloadOnly == 1 ? run.m_nToDownload : run.m_nToInstall);
}
