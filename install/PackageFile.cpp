#include "install/PackageFile.h"

#include "app/PathText.h"
#include "install/ParallelDecode.h"

#include <bzlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace {

const char kMagic[] = "MSF";
const char kDecoderName[] = "zepsetup";
const size_t kChunkSize = 64 * 1024;

// Diagnostics go to the debugger output; the user sees none of them.
void Diagnose(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
#ifdef _WIN32
    ::OutputDebugStringA(text);
#else
    std::fputs(text, stderr);
#endif
}

void DiagnoseTooLong(const std::string& inputPath, uint64_t limit) {
    Diagnose("%s: %s decodes to more than its %llu bytes\n", kDecoderName, inputPath.c_str(),
             (unsigned long long)limit);
}

bool ReadWord(std::FILE* file, uint32_t& value) {
    unsigned char bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4) return false;
    value = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    return true;
}

void PutWord(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((value >> shift) & 0xFF));
}

// The header up to the block size letter and digit, which land in `tail`.
// False when the magic is missing or the file ends before the version is
// complete; `tailRead` tells whether both tail bytes were there.
bool ReadHeader(std::FILE* file, int32_t& time, int64_t& version, unsigned char tail[2], bool& tailRead) {
    char magic[3];
    if (std::fread(magic, 1, 3, file) != 3 || magic[0] != kMagic[0] || magic[1] != kMagic[1] || magic[2] != kMagic[2])
        return false;
    int c;
    while ((c = std::fgetc(file)) != 0)
        if (c == EOF) return false;
    uint32_t timeWord, high, low;
    if (!ReadWord(file, timeWord) || !ReadWord(file, high) || !ReadWord(file, low)) return false;
    time = int32_t(timeWord);
    version = int64_t(uint64_t(high) << 32 | low);
    tailRead = std::fread(tail, 1, 2, file) == 2;
    return true;
}

// True when outputPath names the file open as input: deleting and creating
// the output would destroy the package being decoded.
bool IsSameFile(std::FILE* input, const std::string& outputPath) {
#ifdef _WIN32
    const HANDLE hOutput = ::CreateFileA(outputPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
    if (hOutput == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION in, out;
    const bool same = ::GetFileInformationByHandle(HANDLE(_get_osfhandle(_fileno(input))), &in) &&
                      ::GetFileInformationByHandle(hOutput, &out) &&
                      in.dwVolumeSerialNumber == out.dwVolumeSerialNumber && in.nFileIndexHigh == out.nFileIndexHigh &&
                      in.nFileIndexLow == out.nFileIndexLow;
    ::CloseHandle(hOutput);
    return same;
#else
    struct stat in, out;
    return fstat(fileno(input), &in) == 0 && stat(outputPath.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
#endif
}

bool IsBlockDigit(unsigned char c) { return c >= '1' && c <= '9'; }

// Decodes the block stream that follows the header into output, leaving out
// its first `skip` bytes and failing before it writes past `limit` bytes.
// `prefix` is the standard stream head standing in for what the header
// replaced.
bool DecodeStream(std::FILE* input, std::FILE* output, const char prefix[4], const std::string& inputPath,
                  uint64_t skip, uint64_t limit) {
    bz_stream stream = {};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) {
        Diagnose("%s: couldn't allocate enough memory for %s\n", kDecoderName, inputPath.c_str());
        return false;
    }
    std::vector<char> in(kChunkSize), out(kChunkSize);
    std::copy(prefix, prefix + 4, in.begin());
    stream.next_in = in.data();
    stream.avail_in = 4;
    bool ok = false;
    uint64_t decoded = 0;
    for (;;) {
        if (stream.avail_in == 0) {
            stream.avail_in = unsigned(std::fread(in.data(), 1, in.size(), input));
            stream.next_in = in.data();
            if (std::ferror(input)) {
                Diagnose("%s: I/O or other error reading %s\n", kDecoderName, inputPath.c_str());
                break;
            }
        }
        const bool inputLeft = stream.avail_in != 0;
        stream.next_out = out.data();
        stream.avail_out = unsigned(out.size());
        const int result = BZ2_bzDecompress(&stream);
        const size_t produced = out.size() - stream.avail_out;
        const size_t skipped = size_t(std::min<uint64_t>(skip, produced));
        skip -= skipped;
        decoded += produced;
        if (decoded > limit) {
            DiagnoseTooLong(inputPath, limit);
            break;
        }
        if ((result == BZ_OK || result == BZ_STREAM_END) && produced != skipped &&
            std::fwrite(out.data() + skipped, 1, produced - skipped, output) != produced - skipped) {
            Diagnose("%s: I/O or other error writing the output of %s\n", kDecoderName, inputPath.c_str());
            break;
        }
        if (result == BZ_STREAM_END) {
            ok = true;
            break;
        }
        if (result == BZ_DATA_ERROR || result == BZ_DATA_ERROR_MAGIC) {
            Diagnose("%s: Data integrity error when decompressing %s\n", kDecoderName, inputPath.c_str());
            break;
        }
        if (result == BZ_MEM_ERROR) {
            Diagnose("%s: couldn't allocate enough memory for %s\n", kDecoderName, inputPath.c_str());
            break;
        }
        if (result != BZ_OK) {
            Diagnose("%s: internal decoder error %d in %s\n", kDecoderName, result, inputPath.c_str());
            break;
        }
        // All input taken and no room asked for: the stream stops short of its end mark.
        if (!inputLeft && produced == 0 && std::feof(input)) {
            Diagnose("%s: Compressed file %s ends unexpectedly\n", kDecoderName, inputPath.c_str());
            break;
        }
    }
    BZ2_bzDecompressEnd(&stream);
    return ok;
}

// The compressed bytes from the input's position to its end, when it is a
// file that tells its size.
bool InputBytesLeft(std::FILE* input, uint64_t& left) {
#ifdef _WIN32
    struct _stati64 info;
    if (_fstati64(_fileno(input), &info) != 0) return false;
    const int64_t at = _ftelli64(input);
#else
    struct stat info;
    if (fstat(fileno(input), &info) != 0) return false;
    const int64_t at = ftello(input);
#endif
    if (at < 0 || info.st_size < at) return false;
    left = uint64_t(info.st_size - at);
    return true;
}

// The sequential decoder (1) for one core, and for an input of about one
// block or less, which leaves threads nothing to share.
unsigned ChooseWorkers(std::FILE* input, unsigned char digit) {
    const unsigned cores = std::thread::hardware_concurrency();
    uint64_t left = 0;
    if (cores < 2 || !InputBytesLeft(input, left) || left < uint64_t(digit - '0') * 100000) return 1;
    return cores;
}

}  // namespace

std::string MakePackageFileHeader(const std::string& text, int32_t time, int64_t version) {
    std::string header(kMagic);
    header += text;
    header.push_back('\0');
    PutWord(header, uint32_t(time));
    PutWord(header, uint32_t(uint64_t(version) >> 32));
    PutWord(header, uint32_t(uint64_t(version) & 0xFFFFFFFFu));
    return header;
}

bool ProbePackageStream(std::FILE* file, int64_t& version, int32_t& time) {
    int32_t headerTime = 0;
    int64_t headerVersion = 0;
    unsigned char tail[2];
    bool tailRead = false;
    if (!ReadHeader(file, headerTime, headerVersion, tail, tailRead)) return false;
    time = headerTime;
    version = headerVersion;
    return tailRead && IsBlockDigit(tail[1]);
}

bool ProbePackageFile(const std::string& path, int64_t& version, int32_t& time) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const bool probed = ProbePackageStream(file, version, time);
    std::fclose(file);
    return probed;
}

bool UnpackPackageStream(std::FILE* input, std::FILE* output, const std::string& inputPath, unsigned workers,
                         uint64_t limit) {
    int32_t time;
    int64_t version;
    unsigned char tail[2];
    bool tailRead = false;
    if (!ReadHeader(input, time, version, tail, tailRead) || !tailRead || tail[0] != 'h' || !IsBlockDigit(tail[1])) {
        Diagnose("%s: %s is not a bzip2 file, skipping.\n", kDecoderName, inputPath.c_str());
        return false;
    }
    const char prefix[4] = {'B', 'Z', 'h', char(tail[1])};
    if (workers == 0) workers = ChooseWorkers(input, tail[1]);
    // The sequential decoder takes over from the stream's start, so the input must be able to go back there.
    const long start = workers > 1 ? std::ftell(input) : -1;
    uint64_t written = 0;
    if (start >= 0) {
        switch (DecodeBlocksInParallel(input, output, char(tail[1]), workers, limit, written)) {
        case EParallelDecode::kDecoded:
            return true;
        case EParallelDecode::kWriteFailed:
            Diagnose("%s: I/O or other error writing the output of %s\n", kDecoderName, inputPath.c_str());
            return false;
        case EParallelDecode::kTooLong:
            DiagnoseTooLong(inputPath, limit);
            return false;
        case EParallelDecode::kUndecided:
            break;
        }
        std::clearerr(input);
        if (std::fseek(input, start, SEEK_SET) != 0) {
            Diagnose("%s: I/O or other error reading %s\n", kDecoderName, inputPath.c_str());
            return false;
        }
    }
    return DecodeStream(input, output, prefix, inputPath, written, limit);
}

bool UnpackPackageFile(const std::string& sourceDir, const std::string& name, const std::string& destDir,
                       const std::string& outputName, unsigned workers, uint64_t limit) {
    return UnpackPackagePath(JoinPath(sourceDir, name), JoinPath(destDir, outputName.empty() ? name : outputName),
                             workers, limit);
}

bool UnpackPackagePath(const std::string& inputPath, const std::string& outputPath, unsigned workers,
                       uint64_t limit) {
    struct stat info;
    if (stat(inputPath.c_str(), &info) != 0) {
        Diagnose("%s: Input file %s doesn't exist, skipping.\n", kDecoderName, inputPath.c_str());
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        Diagnose("%s: Input file %s is not a normal file, skipping.\n", kDecoderName, inputPath.c_str());
        return false;
    }
    std::FILE* input = std::fopen(inputPath.c_str(), "rb");
    if (input && IsSameFile(input, outputPath)) {
        std::fclose(input);
        Diagnose("%s: Can't create output file %s, skipping.\n", kDecoderName, outputPath.c_str());
        return false;
    }
    std::remove(outputPath.c_str());
    std::FILE* output = std::fopen(outputPath.c_str(), "wb");
    if (!output) {
        if (input) std::fclose(input);
        Diagnose("%s: Can't create output file %s, skipping.\n", kDecoderName, outputPath.c_str());
        return false;
    }
    if (!input) {
        std::fclose(output);
        std::remove(outputPath.c_str());
        Diagnose("%s: Can't open input file %s, skipping.\n", kDecoderName, inputPath.c_str());
        return false;
    }

    bool ok = UnpackPackageStream(input, output, inputPath, workers, limit);
    std::fclose(input);
    if (std::fclose(output) != 0 && ok) {
        Diagnose("%s: I/O or other error writing %s\n", kDecoderName, outputPath.c_str());
        ok = false;
    }
    if (!ok) std::remove(outputPath.c_str());
    return ok;
}
