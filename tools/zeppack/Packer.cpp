#include "tools/zeppack/Packer.h"

#include "install/PackageFile.h"

#include <bzlib.h>

#include <vector>

bool PackBytes(const std::string& data, const std::string& text, int32_t time, int64_t version, int blockDigit,
               std::string& package) {
    bz_stream stream = {};
    if (BZ2_bzCompressInit(&stream, blockDigit, 0, 0) != BZ_OK) return false;
    // The standard stream starts with "BZh" and the digit; the header takes
    // the place of "BZ".
    std::string compressed;
    std::vector<char> out(256 * 1024);
    stream.next_in = const_cast<char*>(data.data());
    stream.avail_in = unsigned(data.size());
    int result;
    do {
        stream.next_out = out.data();
        stream.avail_out = unsigned(out.size());
        result = BZ2_bzCompress(&stream, BZ_FINISH);
        compressed.append(out.data(), out.size() - stream.avail_out);
    } while (result == BZ_FINISH_OK);
    BZ2_bzCompressEnd(&stream);
    if (result != BZ_STREAM_END || compressed.compare(0, 2, "BZ") != 0) return false;
    package = MakePackageFileHeader(text, time, version);
    package.append(compressed, 2, std::string::npos);
    return true;
}
