// Reading an install log's records back. The decoding works on any source of
// bytes and uses no system call, so that it also builds natively (and is
// fuzzed there); the program reads the log file through CInstallLog.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The first byte of each record.
constexpr char kLogKindFile = 'F';
constexpr char kLogKindFolder = 'D';
constexpr char kLogKindLink = 'L';

// One record read back from a log; a shortcut record has no folder id.
struct CInstallLogRecord {
    uint16_t m_nFolderId = 0;
    uint16_t m_nFlags = 0;
    std::string m_strText;
};

// The bytes of one log, read from the front.
class CLogByteSource {
public:
    virtual ~CLogByteSource() = default;
    // True when all size bytes were read.
    virtual bool Read(void* buffer, size_t size) = 0;
    // Moves back over the one byte just read.
    virtual void StepBack() = 0;
    virtual void Rewind() = 0;
};

// The next record of kind from the source's position, stepping over records
// of the other kinds. False at the end of the log; an unknown kind byte or a
// record cut short by the end of the log ends the reading there too: the
// position is left on the unknown byte, so every later read stops there.
bool ReadNextLogRecord(CLogByteSource& source, char kind, CInstallLogRecord& record);
// The same from the start of the log.
bool ReadFirstLogRecord(CLogByteSource& source, char kind, CInstallLogRecord& record);
