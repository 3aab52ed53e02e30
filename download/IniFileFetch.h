// The fetch of an INI file of the setup web site (from the folder of its
// updated component list) into the download folder.
#pragma once
#include "app/PublisherTrust.h"

#include <windows.h>

#include <functional>
#include <string>

class CSetupRun;

// What a fetched copy must be before it replaces the one in the download
// folder, judged once the fetch has ended.
struct CFetchCheck {
    // Its signature (the name with kSignatureSuffix) is fetched too, and
    // moves into place with it.
    bool m_bSigned = false;
    // Given the fetched copy and its signature's; empty: any whole file.
    std::function<bool(const std::string& path, const std::string& sigPath)> m_accept;
};

// Under the publisher's key: the components list must verify; the verdict
// (kVerified while nothing was judged) goes to verdict, which must outlive
// the fetch.
CFetchCheck SignedComponentListCheck(CSetupRun& run, CatalogueVerdict& verdict);
// Under the publisher's key: the file must have the SHA-256 trusted for name.
CFetchCheck TrustedFileCheck(CSetupRun& run, const std::string& name);
// The fetched copy at path of the file name may be used; a refusal is logged.
bool FetchedCopyTrusted(CSetupRun& run, const std::string& name, const std::string& path);

// One fetch of name from the setup site into run's download folder: where
// from, and the fetch's own files beside those it replaces.
class CSetupFileFetch {
public:
    CSetupFileFetch(CSetupRun& run, const std::string& name, const std::string& section, bool bSigned);
    // From url to localPath, whatever the site and folder.
    CSetupFileFetch(CSetupRun& run, const std::string& url, const std::string& localPath, const std::string& section,
                    bool bSigned);
    // Worker side: reads nothing the page may change meanwhile.
    bool Fetch() const;
    // The copies that pass check replace those in the folder.
    bool Place(const CFetchCheck& check) const;
    void RemoveOwnFiles() const;

private:
    CSetupRun& m_run;
    std::string m_strFolder, m_strUrl, m_strSection, m_strLocalPath, m_strOwnPath, m_strSigOwnPath;
};

// The fetch on the calling thread, without a window, for a run without a
// person: only a whole file holding the heading of firstSection that passes
// check replaces the copy in the download folder. False at once when there
// is no internet session.
bool FetchSetupIniFileHere(CSetupRun& run, const std::string& name, const std::string& firstSection,
                           const CFetchCheck& check = {});
