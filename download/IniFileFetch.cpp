#include "download/IniFileFetch.h"

#include "app/PathText.h"
#include "app/SetupRun.h"
#include "download/HttpTransfer.h"

namespace {

// A signature is a line of base64; anything longer is no signature of ours.
constexpr int64_t kMaxSignatureBytes = 1024;

}  // namespace

CSetupFileFetch::CSetupFileFetch(CSetupRun& run, const std::string& name, const std::string& section, bool bSigned)
    : CSetupFileFetch(run, JoinUrl(JoinUrl(run.m_strBaseURL, run.m_strSetupInfoLocation), name),
                      JoinPath(run.m_strDownloadDir, name), section, bSigned) {}

CSetupFileFetch::CSetupFileFetch(CSetupRun& run, const std::string& url, const std::string& localPath,
                                 const std::string& section, bool bSigned)
    : m_run(run),
      m_strFolder(localPath.substr(0, localPath.find_last_of('\\'))),
      m_strUrl(url),
      m_strSection(section),
      m_strLocalPath(localPath),
      m_strOwnPath(OwnFetchPath(localPath)),
      m_strSigOwnPath(bSigned ? OwnFetchPath(localPath + kSignatureSuffix) : "") {}

bool CSetupFileFetch::Fetch() const {
    m_run.CreateFolderPath(m_strFolder, true, true);
    if (!m_run.FetchIniFile(m_strUrl, m_strOwnPath, m_strSection, m_strLocalPath)) return false;
    int64_t received = 0;
    return m_strSigOwnPath.empty() || m_run.DownloadPackageFile(m_strUrl + kSignatureSuffix, m_strSigOwnPath,
                                                                kMaxSignatureBytes, nullptr, nullptr, &received) == 1;
}

// The fetch's own files go in any case.
bool CSetupFileFetch::Place(const CFetchCheck& check) const {
    const bool placed =
        (!check.m_accept || check.m_accept(m_strOwnPath, m_strSigOwnPath)) &&
        (m_strSigOwnPath.empty() || ::MoveFileExA(m_strSigOwnPath.c_str(), (m_strLocalPath + kSignatureSuffix).c_str(),
                                                  MOVEFILE_REPLACE_EXISTING)) &&
        ::MoveFileExA(m_strOwnPath.c_str(), m_strLocalPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    RemoveOwnFiles();
    return placed;
}

void CSetupFileFetch::RemoveOwnFiles() const {
    ::DeleteFileA(m_strOwnPath.c_str());
    if (!m_strSigOwnPath.empty()) ::DeleteFileA(m_strSigOwnPath.c_str());
}

CFetchCheck SignedComponentListCheck(CSetupRun& run, CatalogueVerdict& verdict) {
    verdict = CatalogueVerdict::kVerified;
    if (!run.m_trust.HasKey()) return {};
    return {true, [&run, &verdict](const std::string& path, const std::string& sigPath) {
                CPinnedFiles pin;
                uint64_t serial = 0;
                verdict = run.CheckUpdatedComponents(path, sigPath, pin, serial);
                return verdict == CatalogueVerdict::kVerified;
            }};
}

bool FetchedCopyTrusted(CSetupRun& run, const std::string& name, const std::string& path) {
    CPinnedFiles pin;  // let go before the copy moves into place
    if (run.m_trust.Admits(name, path, pin)) return true;
    run.m_log.Write("Refused the fetched " + name + ": its SHA-256 is not the publisher's");
    return false;
}

CFetchCheck TrustedFileCheck(CSetupRun& run, const std::string& name) {
    if (!run.m_trust.HasKey()) return {};
    return {false,
            [&run, name](const std::string& path, const std::string&) { return FetchedCopyTrusted(run, name, path); }};
}

bool FetchSetupIniFileHere(CSetupRun& run, const std::string& name, const std::string& firstSection,
                           const CFetchCheck& check) {
    if (!run.m_hInternet) return false;
    const CSetupFileFetch fetch(run, name, firstSection, check.m_bSigned);
    if (fetch.Fetch()) return fetch.Place(check);
    fetch.RemoveOwnFiles();
    return false;
}
