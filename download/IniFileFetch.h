// The pages' fetch of an INI file of the setup web site (from the folder of
// its updated component list) into the download folder.
#pragma once
#include <windows.h>

#include <string>

// Runs the fetch of name on a worker while the wait dialog, owned by the
// page's wizard hOwner, shows "Downloading " + subject. Only a fetch that
// ended by itself, with a whole file holding the heading of firstSection,
// replaces the copy in the download folder; a fetch the user gave up on
// finishes alone and leaves nothing. True when the copy was replaced; false
// at once, without the dialog, when there is no internet session.
bool FetchSetupIniFile(HWND hOwner, const std::string& name, const std::string& firstSection,
                       const std::string& subject);

// The same fetch on the calling thread, without a window: for a run
// without a person.
bool FetchSetupIniFileHere(const std::string& name, const std::string& firstSection);
