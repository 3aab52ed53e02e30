// Install logs as an earlier run (or anyone who could write to the install
// folder) left them: the three passes that removal makes over a log.
#include "FuzzCheck.h"
#include "install/InstallLogReader.h"

#include <cstdint>
#include <cstring>

namespace {

class CMemorySource : public CLogByteSource {
public:
    CMemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Read(void* buffer, size_t size) override {
        // A read past the end takes what is left, as a file read does.
        const size_t count = size < m_size - m_position ? size : m_size - m_position;
        std::memcpy(buffer, m_data + m_position, count);
        m_position += count;
        return count == size;
    }
    void StepBack() override {
        Require(m_position > 0);
        --m_position;
    }
    void Rewind() override { m_position = 0; }
    size_t Position() const { return m_position; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMemorySource source(data, size);
    for (const char kind : {kLogKindFolder, kLogKindFile, kLogKindLink}) {
        CInstallLogRecord record;
        size_t records = 0;
        for (bool more = ReadFirstLogRecord(source, kind, record); more;
             more = ReadNextLogRecord(source, kind, record)) {
            // Every record takes at least its head and its length's worth of bytes.
            ++records;
            Require(records * (kind == kLogKindLink ? 5 : 7) <= source.Position());
            Require(record.m_strText.find('\0') == std::string::npos && record.m_strText.size() < 0xFFFF);
            Require(kind != kLogKindLink || record.m_nFolderId == 0);
        }
        // Reading on where the last read stopped finds nothing more.
        Require(!ReadNextLogRecord(source, kind, record));
    }
    return 0;
}
