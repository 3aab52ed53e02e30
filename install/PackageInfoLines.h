// The records of a package info file and the readers of its lines. They use
// no window, file or system call, so that they also build natively (and are
// fuzzed there); the file itself is read through the profile functions.
#pragma once
#include <cstdint>
#include <string>

enum {
    PKG_KEEP_ON_REMOVE = 1,
    PKG_SKIP_ON_WIN9X = 2,
    PKG_SKIP_ON_NT = 4,
};

class CPackageFolder {
public:
    int m_nId = 0;
    std::string m_strPath;
    int m_nFlags = 0;
};

class CPackageFile {
public:
    std::string m_strName;
    std::string m_strSource;
    int64_t m_nVersion = 0;
    int32_t m_tDate = 0;
    int64_t m_nSize = 0;
    int64_t m_nPackedSize = 0;
    int m_nFlags = 0;
    std::string* m_pSource = nullptr;
    CPackageFolder* m_pFolder = nullptr;
    int64_t m_nInstalledVersion = 0;
    int32_t m_tInstalledTime = 0;
    int64_t m_nPackageVersion = 0;
    int32_t m_tPackageTime = 0;
    bool m_bDownload = true;
    bool m_bInstall = false;
    bool m_bCompressed = false;
    std::string m_strPackageDir;
    // The SHA-256 the publisher gave for the package file as it lies on
    // the site, in lower-case hex; empty when none was given.
    std::string m_strSha256;
    // The download folder's copy as last hashed (size, time) and whether it
    // matched: a click on the package list must not hash it all again.
    int64_t m_nHashedSize = -1;
    int32_t m_tHashedTime = 0;
    bool m_bHashMatched = false;
};

class CPackageShortcut {
public:
    std::string m_strName;
    std::string m_strTarget;
    std::string m_strWorkDir;
};

class CPackageRegEntry {
public:
    int m_nRoot = 0;
    std::string m_strKey;
    std::string m_strValueName;
    int m_nType = 0;
    std::string m_strData;
    int m_nFlags = 0;
};

// A Folders line, "id=path[,flags]". False for a line without "=".
bool ParseFolderLine(const std::string& line, CPackageFolder& folder);
// A Sources line, "id=source"; the source keeps its commas. False for a line
// without "=".
bool ParseSourceLine(const std::string& line, int& id, std::string& source);

// What a Files line names that only its package can resolve.
struct CFileLineRefs {
    int m_nSourceId = 0;
    // A folder id field that is empty and last is no folder id at all.
    bool m_bHasFolderId = false;
    int m_nFolderId = 0;
    // The date field, for CPackageInfo::ParseFileDate.
    std::string m_strDate;
};
// A Files line, "name=version,date,size,source name,packed size,source
// id[,folder id[,flags]]", into file (but its date, source and folder) and
// refs. False for a comment, a line without "=" or with fewer than six
// fields, negative sizes, and names that would leave their folder.
bool ParseFileLine(const std::string& line, CPackageFile& file, CFileLineRefs& refs);
// A Hashes line, "source name=64 hex digits" (either case), with the hex
// made lower-case. False for any other line.
bool ParseHashLine(const std::string& line, std::string& source, std::string& sha256);
// A Shortcuts line, "name=target[,working folder]". False for a line
// without "=" and a name that would leave the program group.
bool ParseShortcutLine(const std::string& line, CPackageShortcut& shortcut);
// A RegEntries line, "root,key,value name=type,data[,flags]"; the key may
// hold "=". False for a line without the two commas and the "=" after them.
bool ParseRegEntryLine(const std::string& line, CPackageRegEntry& entry);

// A calendar date and time of day.
struct CDateFields {
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
    int m_nHour = 0;
    int m_nMinute = 0;
    int m_nSecond = 0;
};
// An OLE date (days since 1899-12-30, the time of day as the fraction)
// rounded to the nearest second. False before 1899-12-30 and from the year
// 10000 on.
bool OleDateToFields(double date, CDateFields& fields);
