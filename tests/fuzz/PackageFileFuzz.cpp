// Compressed package files as the download site may serve them: the probe and
// the sequential decoder, whose result is held against libbz2's one-call
// decoder, and the parallel decoder, held against the sequential one.
#include "FuzzCheck.h"
#include "install/PackageFile.h"

#include <bzlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A write beyond this fails, as on a full disk: decompression bombs (a few
// hundred bytes that decode to many megabytes) then cost no more than this.
const size_t kKeptBytes = 1024 * 1024;

struct CDecoded {
    std::string m_strBytes;
    bool m_bFull = false;
};

ssize_t KeepBytes(void* cookie, const char* data, size_t size) {
    auto* decoded = static_cast<CDecoded*>(cookie);
    if (size > kKeptBytes - decoded->m_strBytes.size()) {
        decoded->m_bFull = true;
        return -1;
    }
    decoded->m_strBytes.append(data, size);
    return ssize_t(size);
}

// Where the letter "h" of the header lies: after "MSF", the text and its
// zero byte, and 12 bytes of time and version.
size_t LetterOffset(const uint8_t* data, size_t size) {
    const void* zero = size > 3 ? std::memchr(data + 3, 0, size - 3) : nullptr;
    return zero ? size_t(static_cast<const uint8_t*>(zero) - data) + 13 : size;
}

// The input decoded by `workers` threads into decoded.
bool Unpack(const uint8_t* data, size_t size, unsigned workers, CDecoded& decoded) {
    std::FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    std::FILE* output = fopencookie(&decoded, "wb", {nullptr, KeepBytes, nullptr, nullptr});
    Require(input && output);
    const bool unpacked = UnpackPackageStream(input, output, "input", workers);
    std::fclose(output);
    std::fclose(input);
    return unpacked;
}

// The one-call decoder's output, reused by every input.
std::vector<char>& ExpectedBuffer() {
    static std::vector<char> buffer(kKeptBytes);
    return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!input) return 0;
    int64_t version = 0;
    int32_t time = 0;
    const bool probed = ProbePackageStream(input, version, time);
    std::fclose(input);

    CDecoded decoded, parallel;
    const bool unpacked = Unpack(data, size, 1, decoded);
    // Two workers whatever the cores: the same verdict, bytes and full disk.
    Require(Unpack(data, size, 2, parallel) == unpacked);
    Require(parallel.m_bFull == decoded.m_bFull);
    Require(parallel.m_strBytes == decoded.m_strBytes || !unpacked);

    // Whatever the decoder accepts, the probe takes for a package file; a
    // write that failed fails the decode.
    Require(!unpacked || probed);
    Require(!unpacked || !decoded.m_bFull);
    if (decoded.m_bFull) return 0;
    const size_t offset = LetterOffset(data, size);
    if (!probed || offset + 2 > size || data[offset] != 'h') {
        Require(!unpacked);
        return 0;
    }
    // The same stream in one call, with its standard head.
    std::vector<char> stream = {'B', 'Z'};
    stream.insert(stream.end(), data + offset, data + size);
    std::vector<char>& expected = ExpectedBuffer();
    unsigned int expectedSize = unsigned(expected.size());
    const int result = BZ2_bzBuffToBuffDecompress(expected.data(), &expectedSize, stream.data(),
                                                  unsigned(stream.size()), 0, 0);
    // Only a stream that ends exactly at the limit fills the buffer here.
    if (result == BZ_OUTBUFF_FULL) return 0;
    Require(unpacked == (result == BZ_OK));
    if (unpacked) Require(decoded.m_strBytes == std::string(expected.data(), expectedSize));
    return 0;
}
