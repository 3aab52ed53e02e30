#include "install/InstallLog.h"

#include "app/PathText.h"
#include "install/BesideCopy.h"

#include <vector>

namespace {

void PutWord(std::vector<char>& record, unsigned value) {
    record.push_back(char(value & 0xFF));
    record.push_back(char((value >> 8) & 0xFF));
}

}  // namespace

std::string InstallLogPath(const std::string& folder, const std::string& key) {
    return JoinPath(folder, key + ".DeIsLog");
}

CInstallLog::~CInstallLog() { Close(); }

bool CInstallLog::Open(const std::string& path, int mode) {
    if (m_nMode != MODE_NONE) return false;
    m_strPath = path;
    m_strHash.clear();
    if (mode == MODE_WRITE) {
        m_bWriteFailed = false;
        m_bSealed = false;
        m_pWritten = std::make_unique<CSha256>();
        m_hFile = ::CreateFileA(BesideName(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    } else if (mode == MODE_READ) {
        m_hFile = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    } else {
        return false;
    }
    if (m_hFile == INVALID_HANDLE_VALUE) return false;
    m_nMode = mode;
    return true;
}

// One record in one write: kind, folder id (files and folders only), flags,
// length of the text with its zero byte, the text and the zero byte.
static std::vector<char> MakeRecord(char kind, int folderId, const std::string& text, int flags) {
    // The length word limits a text to 65534 bytes.
    const size_t length = text.size() < 0xFFFE ? text.size() : 0xFFFE;
    std::vector<char> record;
    record.reserve(7 + length + 1);
    record.push_back(kind);
    if (kind != kLogKindLink) PutWord(record, unsigned(folderId));
    PutWord(record, unsigned(flags));
    PutWord(record, unsigned(length + 1));
    record.insert(record.end(), text.begin(), text.begin() + length);
    record.push_back('\0');
    return record;
}

// A record that could not be written fails the log's commit: a log that
// lacks a file would let a later removal leave that file behind.
bool CInstallLog::AppendRecord(const std::vector<char>& record) {
    if (m_nMode != MODE_WRITE || m_bSealed) return false;
    DWORD written = 0;
    if (::WriteFile(m_hFile, record.data(), DWORD(record.size()), &written, nullptr) && written == record.size()) {
        m_pWritten->Add(record.data(), record.size());
        return true;
    }
    m_bWriteFailed = true;
    return false;
}

bool CInstallLog::AddFile(int folderId, const std::string& name, int flags) {
    return AppendRecord(MakeRecord(kLogKindFile, folderId, name, flags));
}

bool CInstallLog::AddFolder(int folderId, const std::string& path, int flags) {
    return AppendRecord(MakeRecord(kLogKindFolder, folderId, path, flags));
}

bool CInstallLog::AddLink(const std::string& path, int flags) {
    return AppendRecord(MakeRecord(kLogKindLink, 0, path, flags));
}

bool CInstallLog::Seal() {
    if (m_nMode != MODE_WRITE) return false;
    if (!m_bSealed) {
        m_bSealed = true;
        // A log whose hash the platform could not take cannot be bound to its record.
        m_strHash = m_bWriteFailed || !::FlushFileBuffers(m_hFile) ? "" : m_pWritten->FinishHex();
    }
    return !m_strHash.empty();
}

bool CInstallLog::Commit() {
    // Without a log being written there is nothing to put in place of the old one.
    if (m_nMode != MODE_WRITE) return false;
    Seal();
    ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_nMode = MODE_NONE;
    // One call: a replacement that fails keeps the old log.
    if (!m_strHash.empty() && MoveBesideOver(m_strPath) == ERROR_SUCCESS) return true;
    ::DeleteFileA(BesideName(m_strPath).c_str());
    m_strHash.clear();
    return false;
}

bool CInstallLog::HashOpened(std::string& hex) {
    if (m_nMode != MODE_READ || ::SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) != 0) return false;
    CSha256 sha;
    char buffer[64 * 1024];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ::ReadFile(m_hFile, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0)
        sha.Add(buffer, read);
    hex = ok ? sha.FinishHex() : "";
    return ::SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) == 0 && !hex.empty();
}

void CInstallLog::Close(bool bKeepRead) {
    if (m_nMode == MODE_NONE) return;
    ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (m_nMode == MODE_WRITE)
        ::DeleteFileA(BesideName(m_strPath).c_str());
    else if (!bKeepRead)
        ::DeleteFileA(m_strPath.c_str());
    m_nMode = MODE_NONE;
}

namespace {

// The log file open for reading, from its current position.
class CLogFileSource : public CLogByteSource {
public:
    explicit CLogFileSource(HANDLE hFile) : m_hFile(hFile) {}
    bool Read(void* buffer, size_t size) override {
        DWORD read = 0;
        return ::ReadFile(m_hFile, buffer, DWORD(size), &read, nullptr) && read == size;
    }
    void StepBack() override { ::SetFilePointer(m_hFile, -1, nullptr, FILE_CURRENT); }
    void Rewind() override { ::SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN); }

private:
    HANDLE m_hFile;
};

}  // namespace

// Records are read only from a log opened for reading.
static bool ReadOfKind(HANDLE hFile, int mode, char kind, bool fromStart, CInstallLogRecord& record) {
    if (mode != CInstallLog::MODE_READ) return false;
    CLogFileSource source(hFile);
    return fromStart ? ReadFirstLogRecord(source, kind, record) : ReadNextLogRecord(source, kind, record);
}

bool CInstallLog::ReadFirstFolder(CInstallLogRecord& record) {
    return ReadOfKind(m_hFile, m_nMode, kLogKindFolder, true, record);
}
bool CInstallLog::ReadNextFolder(CInstallLogRecord& record) {
    return ReadOfKind(m_hFile, m_nMode, kLogKindFolder, false, record);
}
bool CInstallLog::ReadFirstFile(CInstallLogRecord& record) {
    return ReadOfKind(m_hFile, m_nMode, kLogKindFile, true, record);
}
bool CInstallLog::ReadNextFile(CInstallLogRecord& record) {
    return ReadOfKind(m_hFile, m_nMode, kLogKindFile, false, record);
}
bool CInstallLog::ReadFirstLink(CInstallLogRecord& record) {
    return ReadOfKind(m_hFile, m_nMode, kLogKindLink, true, record);
}
bool CInstallLog::ReadNextLink(CInstallLogRecord& record) {
    return ReadOfKind(m_hFile, m_nMode, kLogKindLink, false, record);
}
