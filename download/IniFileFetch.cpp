#include "download/IniFileFetch.h"

#include "app/PathText.h"
#include "app/SetupApp.h"
#include "download/HttpTransfer.h"

namespace {

// A signature is a line of base64; anything longer is no signature of ours.
constexpr int64_t kMaxSignatureBytes = 1024;

// One fetch: where from, and the fetch's own files beside those it replaces.
struct CSetupFileFetch {
    CSetupFileFetch(const std::string& folder, const std::string& name, const std::string& section, bool bSigned)
        : m_strFolder(folder),
          m_strUrl(JoinUrl(JoinUrl(theApp.m_strBaseURL, theApp.m_strSetupInfoLocation), name)),
          m_strSection(section),
          m_strLocalPath(JoinPath(folder, name)),
          m_strOwnPath(OwnFetchPath(m_strLocalPath)),
          m_strSigOwnPath(bSigned ? OwnFetchPath(m_strLocalPath + kSignatureSuffix) : "") {}

    // Worker side: reads nothing the page may change meanwhile.
    bool Fetch() const {
        theApp.CreateFolderPath(m_strFolder, true, true);
        if (!theApp.FetchIniFile(m_strUrl, m_strOwnPath, m_strSection, m_strLocalPath)) return false;
        int64_t received = 0;
        return m_strSigOwnPath.empty() ||
               theApp.DownloadPackageFile(m_strUrl + kSignatureSuffix, m_strSigOwnPath, kMaxSignatureBytes, nullptr,
                                          nullptr, &received) == 1;
    }
    // The copies that pass check replace those in the folder; the fetch's
    // own files go in any case.
    bool Place(const CFetchCheck& check) const {
        const bool placed =
            (!check.m_accept || check.m_accept(m_strOwnPath, m_strSigOwnPath)) &&
            (m_strSigOwnPath.empty() || ::MoveFileExA(m_strSigOwnPath.c_str(),
                                                      (m_strLocalPath + kSignatureSuffix).c_str(),
                                                      MOVEFILE_REPLACE_EXISTING)) &&
            ::MoveFileExA(m_strOwnPath.c_str(), m_strLocalPath.c_str(), MOVEFILE_REPLACE_EXISTING);
        RemoveOwnFiles();
        return placed;
    }
    void RemoveOwnFiles() const {
        ::DeleteFileA(m_strOwnPath.c_str());
        if (!m_strSigOwnPath.empty()) ::DeleteFileA(m_strSigOwnPath.c_str());
    }

    std::string m_strFolder, m_strUrl, m_strSection, m_strLocalPath, m_strOwnPath, m_strSigOwnPath;
};

}  // namespace

CFetchCheck SignedComponentListCheck(CatalogueVerdict& verdict) {
    verdict = CatalogueVerdict::kVerified;
    if (!theApp.m_trust.HasKey()) return {};
    return {true, [&verdict](const std::string& path, const std::string& sigPath) {
                CPinnedFiles pin;
                uint64_t serial = 0;
                verdict = theApp.CheckUpdatedComponents(path, sigPath, pin, serial);
                return verdict == CatalogueVerdict::kVerified;
            }};
}

bool FetchedCopyTrusted(const std::string& name, const std::string& path) {
    CPinnedFiles pin;  // let go before the copy moves into place
    if (theApp.m_trust.Admits(name, path, pin)) return true;
    theApp.m_log.Write("Refused the fetched " + name + ": its SHA-256 is not the publisher's");
    return false;
}

CFetchCheck TrustedFileCheck(const std::string& name) {
    if (!theApp.m_trust.HasKey()) return {};
    return {false, [name](const std::string& path, const std::string&) { return FetchedCopyTrusted(name, path); }};
}

bool FetchSetupIniFileHere(const std::string& name, const std::string& firstSection, const CFetchCheck& check) {
    if (!theApp.m_hInternet) return false;
    const CSetupFileFetch fetch(theApp.m_strDownloadDir, name, firstSection, check.m_bSigned);
    if (fetch.Fetch()) return fetch.Place(check);
    fetch.RemoveOwnFiles();
    return false;
}

bool FetchSetupIniFile(HWND hOwner, const std::string& name, const std::string& firstSection,
                       const std::string& subject, const CFetchCheck& check) {
    if (!theApp.m_hInternet) return false;
    const CSetupFileFetch fetch(theApp.m_strDownloadDir, name, firstSection, check.m_bSigned);
    CWorkerThread worker;
    const INT_PTR result = theApp.m_dlgDownloadWait.RunFetch(
        hOwner, worker, subject, [fetch] { return fetch.Fetch() ? 0 : 1; }, [fetch] { fetch.RemoveOwnFiles(); });
    if (worker.Claim() && result == IDOK) return fetch.Place(check);
    if (worker.Claim()) fetch.RemoveOwnFiles();
    return false;
}
