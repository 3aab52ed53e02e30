#include "install/InstallLogReader.h"

#include <cstring>
#include <vector>

namespace {

bool IsKnownKind(char kind) { return kind == kLogKindFile || kind == kLogKindFolder || kind == kLogKindLink; }

uint16_t GetWord(const unsigned char* bytes) { return uint16_t(bytes[0] | (bytes[1] << 8)); }

// Reads the record whose kind byte was just consumed. False when the log
// ends inside it.
bool ReadRecordBody(CLogByteSource& source, char kind, CInstallLogRecord& record) {
    unsigned char head[6];
    const size_t headSize = kind == kLogKindLink ? 4 : 6;
    if (!source.Read(head, headSize)) return false;
    const unsigned char* words = head;
    record.m_nFolderId = 0;
    if (kind != kLogKindLink) {
        record.m_nFolderId = GetWord(words);
        words += 2;
    }
    record.m_nFlags = GetWord(words);
    const uint16_t length = GetWord(words + 2);
    std::vector<char> text(size_t(length) + 1, '\0');
    if (!source.Read(text.data(), length)) return false;
    record.m_strText.assign(text.data(), std::strlen(text.data()));
    return true;
}

}  // namespace

bool ReadNextLogRecord(CLogByteSource& source, char kind, CInstallLogRecord& record) {
    for (;;) {
        char next = 0;
        if (!source.Read(&next, 1)) return false;
        if (!IsKnownKind(next)) {
            source.StepBack();
            return false;
        }
        CInstallLogRecord other;
        if (!ReadRecordBody(source, next, next == kind ? record : other)) return false;
        if (next == kind) return true;
    }
}

bool ReadFirstLogRecord(CLogByteSource& source, char kind, CInstallLogRecord& record) {
    source.Rewind();
    return ReadNextLogRecord(source, kind, record);
}
