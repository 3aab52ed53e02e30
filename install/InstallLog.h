// The per-component install log: what removal needs to undo an install.
// A new log is written beside the old one and replaces it only on Commit.
#pragma once
#include "install/InstallLogReader.h"

#include <windows.h>

#include <string>
#include <vector>

// The record's value beside DeIsLog that holds the log's SHA-256.
constexpr char kLogHashValue[] = "DeIsLogHash";

class CInstallLog {
public:
    enum { MODE_NONE = 0, MODE_WRITE = 1, MODE_READ = 2 };

    CInstallLog() = default;
    virtual ~CInstallLog();
    CInstallLog(const CInstallLog&) = delete;
    CInstallLog& operator=(const CInstallLog&) = delete;

    bool Open(const std::string& path, int mode);
    bool AddFile(int folderId, const std::string& name, int flags);
    bool AddFolder(int folderId, const std::string& path, int flags);
    bool AddLink(const std::string& path, int flags);
    // False, keeping the old log, also when a record could not be written.
    bool Commit();
    // A log read is deleted unless bKeepRead: removal keeps one that lies
    // where the product put none.
    void Close(bool bKeepRead = false);

    // Each returns false when no further record of its kind is in the log.
    bool ReadFirstFolder(CInstallLogRecord& record);
    bool ReadNextFolder(CInstallLogRecord& record);
    bool ReadFirstFile(CInstallLogRecord& record);
    bool ReadNextFile(CInstallLogRecord& record);
    bool ReadFirstLink(CInstallLogRecord& record);
    bool ReadNextLink(CInstallLogRecord& record);

    std::string m_strPath;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    int m_nMode = MODE_NONE;

private:
    bool AppendRecord(const std::vector<char>& record);
    bool m_bWriteFailed = false;
};
