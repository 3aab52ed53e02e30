// The package records of a run: which components take part, their package
// info files, and what of each is to be installed and fetched.
#include "app/PathText.h"
#include "app/SetupApp.h"

namespace {

int PackageVersionOf(const std::string& path) {
    return int(::GetPrivateProfileIntA("Package", "Ver", 0, path.c_str()));
}

}  // namespace

// Keys are removed and the kept ones inserted again in the catalogue's
// order of iteration, so the packages then iterate in catalogue order.
int CSetupApp::LoadPackageInfos() {
    ResolveFolders();
    int missing = 0;
    for (auto& entry : m_mapComponents) {
        CComponent* pComp = entry.second;
        m_mapPackages.RemoveKey(entry.first);
        if (pComp->m_nState != 1 && m_nDownloadOnly != 1) continue;
        CPackageInfo& package =
            *m_mapPackages.SetAt(entry.first, std::make_unique<CPackageInfo>(entry.first, pComp));
        ++missing;
        // A name from the web site that would lead out of the folder is no
        // package info file of ours.
        if (!IsPlainFileName(pComp->m_strPkgInfo)) continue;
        std::string path = m_strDownloadDir + pComp->m_strPkgInfo;
        int version = PackageVersionOf(path);
        if (version == 0) {
            path = ".\\" + pComp->m_strPkgInfo;
            version = PackageVersionOf(path);
        }
        if (version >= pComp->m_nVersion && package.Load(path)) {
            package.m_bNeedInfo = false;
            --missing;
        }
    }
    return missing;
}

void CSetupApp::ComputePackageDownloads() {
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
}
