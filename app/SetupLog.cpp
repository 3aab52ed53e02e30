#include "app/SetupLog.h"

#include "app/PathText.h"

#include <cstdio>

bool CSetupLog::Open(const std::string& path) { return OpenFile(path, CREATE_ALWAYS); }

bool CSetupLog::OpenNew(const std::string& folder, const SYSTEMTIME& time) {
    const std::string name = DefaultLogName(time);
    for (int copy = 1; copy <= 9; ++copy) {
        const std::string path =
            JoinPath(folder, copy == 1 ? name : name.substr(0, name.size() - 4) + "-" + std::to_string(copy) + ".log");
        if (OpenFile(path, CREATE_NEW)) return true;
        if (::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    // Every name of the second taken, as by someone who made them in advance: one with the process's id.
    return OpenFile(JoinPath(folder, name.substr(0, name.size() - 4) + "-p" + std::to_string(::GetCurrentProcessId()) +
                                         ".log"),
                    CREATE_NEW);
}

// Readers may look while the run goes on; nobody else may write.
bool CSetupLog::OpenFile(const std::string& path, DWORD disposition) {
    Close();
    const HANDLE hFile = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_hFile = hFile;
    m_strPath = path;
    return true;
}

void CSetupLog::Write(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string line = LogLine(now, text) + "\r\n";
    DWORD written = 0;
    ::WriteFile(m_hFile, line.data(), DWORD(line.size()), &written, nullptr);
}

void CSetupLog::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

std::string LogLine(const SYSTEMTIME& time, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    std::string line = stamp;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            line += " | ";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}

std::string DefaultLogName(const SYSTEMTIME& time) {
    char name[40];
    std::snprintf(name, sizeof name, "zepsetup-%04u%02u%02u-%02u%02u%02u.log", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    return name;
}

std::string WithoutUserInfo(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const size_t hostStart = scheme + 3;
    const size_t hostEnd = url.find_first_of("/?#", hostStart);
    const size_t at = url.rfind('@', hostEnd == std::string::npos ? std::string::npos : hostEnd);
    if (at == std::string::npos || at < hostStart) return url;
    return url.substr(0, hostStart) + url.substr(at + 1);
}
