// The per-component install log: what removal needs to undo an install.
// A new log is written beside the old one and replaces it only on Commit.
#pragma once
#include "install/FileHash.h"
#include "install/InstallLogReader.h"

#include <windows.h>

#include <memory>
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
    // False, keeping the old log, also when a record could not be written
    // or hashed. m_strHash then holds the SHA-256 of the bytes written.
    bool Commit();
    // Read mode: the SHA-256 of the log through the handle it is read by, so
    // that the records read are the bytes hashed; then reads from the start.
    bool HashOpened(std::string& hex);
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
    std::string m_strHash;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    int m_nMode = MODE_NONE;

private:
    bool AppendRecord(const std::vector<char>& record);
    bool m_bWriteFailed = false;
    std::unique_ptr<CSha256> m_pWritten;
};
