#include "support/PackageTestFiles.h"

#include "install/FileHash.h"
#include "install/PackageFile.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <bzlib.h>

#include <vector>

namespace testsupport {

// VS_VERSIONINFO with a fixed-info block and no string tables.
static std::vector<char> MakeVersionResource(int64_t version) {
    static const wchar_t kKey[] = L"VS_VERSION_INFO";
    VS_FIXEDFILEINFO info{};
    info.dwSignature = 0xFEEF04BD;
    info.dwStrucVersion = 0x00010000;
    info.dwFileVersionMS = info.dwProductVersionMS = DWORD(uint64_t(version) >> 32);
    info.dwFileVersionLS = info.dwProductVersionLS = DWORD(uint64_t(version));
    info.dwFileFlagsMask = 0x3F;
    info.dwFileOS = VOS_NT_WINDOWS32;
    info.dwFileType = VFT_APP;

    const size_t header = 3 * sizeof(WORD) + sizeof kKey;
    const size_t valueOffset = (header + 3) & ~size_t(3);
    std::vector<char> block(valueOffset + sizeof info, '\0');
    const WORD words[3] = {WORD(block.size()), WORD(sizeof info), 0};
    memcpy(block.data(), words, sizeof words);
    memcpy(block.data() + sizeof words, kKey, sizeof kKey);
    memcpy(block.data() + valueOffset, &info, sizeof info);
    return block;
}

bool WriteVersionedProgram(const std::string& path, int64_t version) {
    if (!::CopyFileA(SelfPath().c_str(), path.c_str(), FALSE)) return false;
    HANDLE update = ::BeginUpdateResourceA(path.c_str(), TRUE);
    if (!update) return false;
    std::vector<char> resource = MakeVersionResource(version);
    const bool updated = ::UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                                           MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), resource.data(),
                                           DWORD(resource.size()));
    return ::EndUpdateResourceA(update, !updated) && updated;
}

std::string MakeCompressedPackage(const std::string& content, int32_t time, int64_t version) {
    std::vector<char> stream(content.size() + content.size() / 100 + 600);
    unsigned int length = unsigned(stream.size());
    if (BZ2_bzBuffToBuffCompress(stream.data(), &length, const_cast<char*>(content.data()), unsigned(content.size()),
                                 9, 0, 0) != BZ_OK)
        return "";
    // The package carries the stream from its "h" on, after its own header.
    return MakePackageFileHeader("", time, version) + std::string(stream.data() + 2, length - 2);
}

bool SetModifiedTime(const std::string& path, int32_t seconds) {
    HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const uint64_t ticks = uint64_t(int64_t(seconds) * 10000000 + 116444736000000000LL);
    FILETIME time{DWORD(ticks), DWORD(ticks >> 32)};
    const bool set = ::SetFileTime(file, nullptr, nullptr, &time) != FALSE;
    ::CloseHandle(file);
    return set;
}

std::string FileText(const std::string& path) {
    std::string bytes;
    return ReadFile(path, bytes) ? bytes : "<missing>";
}

std::string Sha256Text(const std::string& bytes) {
    CSha256 hash;
    hash.Add(bytes.data(), bytes.size());
    return hash.FinishHex();
}

}  // namespace testsupport
