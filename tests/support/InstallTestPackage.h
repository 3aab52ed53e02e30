// Packages put together in code for install tests, installed through the
// platform's file queue the way the Installing page installs them, and what
// an install leaves behind: files, the records of its log, shortcuts.
#pragma once
#include "install/PackageInfo.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

class CSetupRun;

namespace testsupport {

// Points run below root: install folder root\Program\ZEP (left for the
// install to make), download folder root\download\, temp folder root\temp,
// programs folder root\Programs with the group "ZEP Test"; an NT system, no
// download-only mode, and the named folders resolved for all that.
void PrepareInstallFolders(const std::string& root, CSetupRun& run);

// Adds a folder, and source 0 ("files") when the package has none yet.
CPackageFolder* AddPackageFolder(CPackageInfo& pkg, int id, const std::string& path, int flags = 0);
// Adds a file of folder folderId from source 0; its package file is name + ".pkg".
CPackageFile* AddPackageFile(CPackageInfo& pkg, const std::string& name, int folderId, int flags = 0);
// Adds a file as selection leaves one that needs no download: its package
// file, holding packageBytes, lies in the run's download folder.
CPackageFile* AddDownloadedFile(CPackageInfo& pkg, const std::string& name, int folderId,
                                const std::string& packageBytes, bool compressed, bool install = true, int flags = 0);

// What an install showed: files decoded, the last count of files done, the
// last target copied to.
struct CInstallRecord {
    int unpacked = 0;
    int filesDone = 0;
    std::string copying;
};

// Installs the packages as the Installing page does (InstallReadyPackages),
// recording its steps into *pRecord when given. progressMessages are the page's
// one-per-file messages that Windows' default callback sends during the
// commit and Wine's never does; they are handed to the callback afterwards.
// Tells what happened: "committed" or "not committed", ", N files done",
// ", reboot required" where that is so, then for each package that failed,
// ", failed KEY" when its queueing failed or ", not finished KEY".
std::string InstallPackages(const std::vector<CPackageInfo*>& packages, CInstallRecord* pRecord = nullptr,
                            int progressMessages = 0);

// The records of an install log as lines "F folder flags name", "D folder
// flags path" and "L 0 flags path", files first, then folders, then links.
// Read from a copy, as reading a log deletes it. A kind that reads on after
// it has ended adds a line "read past the end: ...".
Lines ReadInstallLog(const std::string& path);

// Target, working folder and description of a shortcut; empty when the
// shortcut cannot be loaded.
Lines ReadShortcut(const std::string& path);

// A file time as the local calendar time "YYYY-MM-DD HH:MM:SS", through the
// system's own conversion; 0 (unreadable) and -1 (out of range) stay numbers.
std::string LocalText(int32_t seconds);
// The fields joined by " | ".
std::string Join(const Lines& fields);
// What a package info file gave: a line per file ("name | a.b.c.d | local
// date | size | source | packed size | source path | folder path | flags", then
// " | hash" when it has one),
// per shortcut ("name | target | work folder") and per registry value
// ("root | key | name | type | data | flags").
Lines PackageEntries(const CPackageInfo& info);

}  // namespace testsupport
