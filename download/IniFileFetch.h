// The pages' fetch of an INI file of the setup web site (from the folder of
// its updated component list) into the download folder.
#pragma once
#include "app/PublisherTrust.h"

#include <windows.h>

#include <functional>
#include <string>

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
CFetchCheck SignedComponentListCheck(CatalogueVerdict& verdict);
// Under the publisher's key: the file must have the SHA-256 trusted for name.
CFetchCheck TrustedFileCheck(const std::string& name);
// The fetched copy at path of the file name may be used; a refusal is logged.
bool FetchedCopyTrusted(const std::string& name, const std::string& path);

// Runs the fetch of name on a worker while the wait dialog, owned by the
// page's wizard hOwner, shows "Downloading " + subject. Only a fetch that
// ended by itself, with a whole file holding the heading of firstSection
// that passes check, replaces the copy in the download folder; a fetch the
// user gave up on finishes alone and leaves nothing. True when the copy was
// replaced; false at once, without the dialog, when there is no internet
// session.
bool FetchSetupIniFile(HWND hOwner, const std::string& name, const std::string& firstSection,
                       const std::string& subject, const CFetchCheck& check = {});

// The same fetch on the calling thread, without a window: for a run
// without a person.
bool FetchSetupIniFileHere(const std::string& name, const std::string& firstSection, const CFetchCheck& check = {});
