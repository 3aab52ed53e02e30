// The setup log: one plain-text file per run, one timestamped line per
// event, written by the page's thread and the workers alike. Each line is
// on disk once written, so a run that dies still leaves its story.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>

class CSetupLog {
public:
    CSetupLog() = default;
    ~CSetupLog() { Close(); }
    CSetupLog(const CSetupLog&) = delete;
    CSetupLog& operator=(const CSetupLog&) = delete;

    // path as the administrator named it, replacing a file of the name.
    bool Open(const std::string& path);
    // A new file in folder, named for the time: a second run within the
    // same second gets a name of its own instead of ending the first's log.
    bool OpenNew(const std::string& folder, const SYSTEMTIME& time);
    // Does nothing while no file is open.
    void Write(const std::string& text);
    void Close();
    const std::string& Path() const { return m_strPath; }

private:
    bool OpenFile(const std::string& path, DWORD disposition);

    std::mutex m_lock;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::string m_strPath;
};

// "YYYY-MM-DD HH:MM:SS.mmm text", one line: the line breaks of a message
// become " | ".
std::string LogLine(const SYSTEMTIME& time, const std::string& text);
// "zepsetup-YYYYMMDD-HHMMSS.log"
std::string DefaultLogName(const SYSTEMTIME& time);
// url without a user name or password it may carry.
std::string WithoutUserInfo(const std::string& url);
