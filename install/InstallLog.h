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
// The record's value that marks an install begun and not finished: the
// SHA-256 of that install's log, which waits beside the log's path
// (BesideName) until it is committed, and then takes its place.
constexpr char kPendingLogHashValue[] = "PendingLogHash";

// Where a component's install log lies: in its install folder, named by its key.
std::string InstallLogPath(const std::string& folder, const std::string& key);

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
    // Ends the writing before the log is committed: the records are on disk
    // and m_strHash holds the SHA-256 of the bytes written; the file stays
    // held. False when a record could not be written or hashed.
    bool Seal();
    // Seals the log unless that was done and puts it in place of the old
    // one; false, keeping the old log, when the seal or the move failed.
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
    bool m_bSealed = false;
    std::unique_ptr<CSha256> m_pWritten;
};
