#include "download/IniFileFetch.h"

#include "app/PathText.h"
#include "app/SetupApp.h"

namespace {

std::string SetupFileUrl(const std::string& name) {
    return JoinUrl(JoinUrl(theApp.m_strBaseURL, theApp.m_strSetupInfoLocation), name);
}

}  // namespace

bool FetchSetupIniFileHere(const std::string& name, const std::string& firstSection) {
    if (!theApp.m_hInternet) return false;
    theApp.CreateFolderPath(theApp.m_strDownloadDir, true);
    return theApp.FetchIniFile(SetupFileUrl(name), JoinPath(theApp.m_strDownloadDir, name), firstSection);
}

bool FetchSetupIniFile(HWND hOwner, const std::string& name, const std::string& firstSection,
                       const std::string& subject) {
    if (!theApp.m_hInternet) return false;
    // The worker reads nothing the page may change meanwhile.
    const std::string folder = theApp.m_strDownloadDir;
    const std::string localPath = JoinPath(folder, name);
    const std::string ownPath = OwnFetchPath(localPath);
    const std::string url = SetupFileUrl(name);
    CWorkerThread worker;
    const INT_PTR result = theApp.m_dlgDownloadWait.RunFetch(
        hOwner, worker, subject,
        [folder, url, ownPath, firstSection, localPath] {
            theApp.CreateFolderPath(folder, true);
            return theApp.FetchIniFile(url, ownPath, firstSection, localPath) ? 0 : 1;
        },
        [ownPath] { ::DeleteFileA(ownPath.c_str()); });
    const bool fetched = worker.Claim() && result == IDOK &&
                         ::MoveFileExA(ownPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (worker.Claim()) ::DeleteFileA(ownPath.c_str());
    return fetched;
}
