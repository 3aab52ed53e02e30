#include "install/InstallLog.h"

#include <cstring>
#include <vector>

namespace {

const char kNewSuffix[] = ".new~";
const char kKindFile = 'F';
const char kKindFolder = 'D';
const char kKindLink = 'L';

bool IsKnownKind(char kind) { return kind == kKindFile || kind == kKindFolder || kind == kKindLink; }

void PutWord(std::vector<char>& record, unsigned value) {
    record.push_back(char(value & 0xFF));
    record.push_back(char((value >> 8) & 0xFF));
}

uint16_t GetWord(const unsigned char* bytes) { return uint16_t(bytes[0] | (bytes[1] << 8)); }

}  // namespace

CInstallLog::~CInstallLog() { Close(); }

bool CInstallLog::Open(const std::string& path, int mode) {
    if (m_nMode != MODE_NONE) return false;
    m_strPath = path;
    if (mode == MODE_WRITE) {
        m_hFile = ::CreateFileA((path + kNewSuffix).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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
    if (kind != kKindLink) PutWord(record, unsigned(folderId));
    PutWord(record, unsigned(flags));
    PutWord(record, unsigned(length + 1));
    record.insert(record.end(), text.begin(), text.begin() + length);
    record.push_back('\0');
    return record;
}

static bool AppendRecord(HANDLE hFile, int mode, const std::vector<char>& record) {
    if (mode != CInstallLog::MODE_WRITE) return false;
    DWORD written = 0;
    ::WriteFile(hFile, record.data(), DWORD(record.size()), &written, nullptr);
    return true;
}

bool CInstallLog::AddFile(int folderId, const std::string& name, int flags) {
    return AppendRecord(m_hFile, m_nMode, MakeRecord(kKindFile, folderId, name, flags));
}

bool CInstallLog::AddFolder(int folderId, const std::string& path, int flags) {
    return AppendRecord(m_hFile, m_nMode, MakeRecord(kKindFolder, folderId, path, flags));
}

bool CInstallLog::AddLink(const std::string& path, int flags) {
    return AppendRecord(m_hFile, m_nMode, MakeRecord(kKindLink, 0, path, flags));
}

bool CInstallLog::Commit() {
    // Without a log being written there is nothing to put in place of the old one.
    if (m_nMode != MODE_WRITE) return false;
    ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_nMode = MODE_NONE;
    // One call: a replacement that fails keeps the old log.
    if (::MoveFileExA((m_strPath + kNewSuffix).c_str(), m_strPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    ::DeleteFileA((m_strPath + kNewSuffix).c_str());
    return false;
}

void CInstallLog::Close() {
    if (m_nMode == MODE_NONE) return;
    ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (m_nMode == MODE_WRITE)
        ::DeleteFileA((m_strPath + kNewSuffix).c_str());
    else
        ::DeleteFileA(m_strPath.c_str());
    m_nMode = MODE_NONE;
}

namespace {

bool ReadExact(HANDLE hFile, void* buffer, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(hFile, buffer, size, &read, nullptr) && read == size;
}

// Reads the record whose kind byte was just consumed. False when the file
// ends inside it.
bool ReadRecordBody(HANDLE hFile, char kind, CInstallLogRecord& record) {
    unsigned char head[6];
    const DWORD headSize = kind == kKindLink ? 4 : 6;
    if (!ReadExact(hFile, head, headSize)) return false;
    const unsigned char* words = head;
    record.m_nFolderId = 0;
    if (kind != kKindLink) {
        record.m_nFolderId = GetWord(words);
        words += 2;
    }
    record.m_nFlags = GetWord(words);
    const uint16_t length = GetWord(words + 2);
    std::vector<char> text(size_t(length) + 1, '\0');
    if (!ReadExact(hFile, text.data(), length)) return false;
    record.m_strText.assign(text.data(), std::strlen(text.data()));
    return true;
}

}  // namespace

// Steps over records of other kinds. An unknown kind byte or a record cut
// short by the end of the file ends the reading: the position is left on
// the unknown byte, so every later read stops there too.
static bool ReadNextOfKind(HANDLE hFile, int mode, char kind, CInstallLogRecord& record) {
    if (mode != CInstallLog::MODE_READ) return false;
    for (;;) {
        char next = 0;
        if (!ReadExact(hFile, &next, 1)) return false;
        if (!IsKnownKind(next)) {
            ::SetFilePointer(hFile, -1, nullptr, FILE_CURRENT);
            return false;
        }
        CInstallLogRecord other;
        if (!ReadRecordBody(hFile, next, next == kind ? record : other)) return false;
        if (next == kind) return true;
    }
}

static bool ReadFirstOfKind(HANDLE hFile, int mode, char kind, CInstallLogRecord& record) {
    if (mode != CInstallLog::MODE_READ) return false;
    ::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN);
    return ReadNextOfKind(hFile, mode, kind, record);
}

bool CInstallLog::ReadFirstFolder(CInstallLogRecord& record) {
    return ReadFirstOfKind(m_hFile, m_nMode, kKindFolder, record);
}
bool CInstallLog::ReadNextFolder(CInstallLogRecord& record) {
    return ReadNextOfKind(m_hFile, m_nMode, kKindFolder, record);
}
bool CInstallLog::ReadFirstFile(CInstallLogRecord& record) { return ReadFirstOfKind(m_hFile, m_nMode, kKindFile, record); }
bool CInstallLog::ReadNextFile(CInstallLogRecord& record) { return ReadNextOfKind(m_hFile, m_nMode, kKindFile, record); }
bool CInstallLog::ReadFirstLink(CInstallLogRecord& record) { return ReadFirstOfKind(m_hFile, m_nMode, kKindLink, record); }
bool CInstallLog::ReadNextLink(CInstallLogRecord& record) { return ReadNextOfKind(m_hFile, m_nMode, kKindLink, record); }
