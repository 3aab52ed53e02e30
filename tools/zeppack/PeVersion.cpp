#include "tools/zeppack/PeVersion.h"

namespace {

const uint32_t kResourceTypeVersion = 16;
const uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
// VS_VERSIONINFO: three words, the key "VS_VERSION_INFO" in UTF-16 with its
// terminator, padding to a multiple of four, then VS_FIXEDFILEINFO.
const size_t kFixedFileInfoOffset = 40;

// Bounds-checked little-endian reads; a read past the end fails the lookup.
class CImageReader {
public:
    explicit CImageReader(const std::string& bytes) : m_bytes(bytes) {}
    bool Word(uint64_t offset, uint32_t& value) const { return Read(offset, 2, value); }
    bool Dword(uint64_t offset, uint32_t& value) const { return Read(offset, 4, value); }

private:
    bool Read(uint64_t offset, int size, uint32_t& value) const {
        if (offset + size > m_bytes.size()) return false;
        value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | uint8_t(m_bytes[size_t(offset) + i]);
        return true;
    }
    const std::string& m_bytes;
};

struct CSection {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

bool RvaToOffset(const CImageReader& image, uint64_t sectionTable, uint32_t sectionCount, uint32_t rva,
                 uint64_t& offset) {
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint64_t at = sectionTable + uint64_t(i) * 40;
        CSection s;
        if (!image.Dword(at + 8, s.virtualSize) || !image.Dword(at + 12, s.virtualAddress) ||
            !image.Dword(at + 16, s.rawSize) || !image.Dword(at + 20, s.rawOffset))
            return false;
        const uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
            offset = uint64_t(s.rawOffset) + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

// The entry of a resource directory with the given id, or its first entry
// when `anyId` is set; `target` is relative to the resource section.
bool FindResourceEntry(const CImageReader& image, uint64_t directory, bool anyId, uint32_t id, uint32_t& target) {
    uint32_t named, ids;
    if (!image.Word(directory + 12, named) || !image.Word(directory + 14, ids)) return false;
    for (uint32_t i = 0; i < named + ids; ++i) {
        uint32_t name;
        const uint64_t entry = directory + 16 + uint64_t(i) * 8;
        if (!image.Dword(entry, name) || !image.Dword(entry + 4, target)) return false;
        if (anyId || name == id) return true;
    }
    return false;
}

}  // namespace

bool ReadPeFileVersion(const std::string& bytes, int64_t& version) {
    const CImageReader image(bytes);
    uint32_t mz, peOffset, signature;
    if (!image.Word(0, mz) || mz != 0x5A4D || !image.Dword(0x3C, peOffset)) return false;
    if (!image.Dword(peOffset, signature) || signature != 0x00004550) return false;
    const uint64_t coff = uint64_t(peOffset) + 4;
    const uint64_t optional = coff + 20;
    uint32_t sectionCount, optionalSize, magic;
    if (!image.Word(coff + 2, sectionCount) || !image.Word(coff + 16, optionalSize) || !image.Word(optional, magic))
        return false;
    const bool plus = magic == 0x20B;
    if (!plus && magic != 0x10B) return false;
    uint32_t directoryCount, resourceRva;
    if (!image.Dword(optional + (plus ? 108 : 92), directoryCount) || directoryCount < 3) return false;
    if (!image.Dword(optional + (plus ? 112 : 96) + 2 * 8, resourceRva) || resourceRva == 0) return false;
    const uint64_t sectionTable = optional + optionalSize;

    uint64_t resources;
    if (!RvaToOffset(image, sectionTable, sectionCount, resourceRva, resources)) return false;
    // Three levels: type, name, language; the first two lead to directories.
    uint32_t target;
    if (!FindResourceEntry(image, resources, false, kResourceTypeVersion, target) || !(target & 0x80000000u))
        return false;
    if (!FindResourceEntry(image, resources + (target & 0x7FFFFFFFu), true, 0, target) || !(target & 0x80000000u))
        return false;
    if (!FindResourceEntry(image, resources + (target & 0x7FFFFFFFu), true, 0, target) || (target & 0x80000000u))
        return false;
    uint32_t dataRva;
    uint64_t data;
    if (!image.Dword(resources + target, dataRva) || !RvaToOffset(image, sectionTable, sectionCount, dataRva, data))
        return false;

    uint32_t fixedSignature, high, low;
    if (!image.Dword(data + kFixedFileInfoOffset, fixedSignature) || fixedSignature != kFixedFileInfoSignature)
        return false;
    if (!image.Dword(data + kFixedFileInfoOffset + 8, high) || !image.Dword(data + kFixedFileInfoOffset + 12, low))
        return false;
    version = int64_t(uint64_t(high) << 32 | low);
    return true;
}
