#include "install/FileHash.h"

#include "framework/SystemLibrary.h"

#include <windows.h>
#include <bcrypt.h>

#include <memory>

namespace {

constexpr DWORD kReadBytes = 64 * 1024;

// The algorithm and hash objects of one run, closed however it ends.
class CSha256 {
public:
    ~CSha256() {
        if (m_hHash) ::BCryptDestroyHash(m_hHash);
        if (m_hAlgorithm) ::BCryptCloseAlgorithmProvider(m_hAlgorithm, 0);
    }
    bool Open() {
        return BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&m_hAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
               BCRYPT_SUCCESS(::BCryptCreateHash(m_hAlgorithm, &m_hHash, nullptr, 0, nullptr, 0, 0));
    }
    bool Add(const void* data, DWORD size) {
        return BCRYPT_SUCCESS(::BCryptHashData(m_hHash, static_cast<PUCHAR>(const_cast<void*>(data)), size, 0));
    }
    bool Finish(unsigned char (&digest)[32]) { return BCRYPT_SUCCESS(::BCryptFinishHash(m_hHash, digest, 32, 0)); }

private:
    BCRYPT_ALG_HANDLE m_hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hHash = nullptr;
};

}  // namespace

bool Sha256OfFile(const std::string& path, std::string& hex) {
    // Loaded by its full path first: the late binding then finds it loaded.
    if (!LoadSystemLibrary("bcrypt.dll")) return false;
    CSha256 sha;
    if (!sha.Open()) return false;
    const HANDLE hFile =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    std::unique_ptr<char[]> buffer(new char[kReadBytes]);
    DWORD read = 0;
    bool ok = true;
    while (ok && (ok = ::ReadFile(hFile, buffer.get(), kReadBytes, &read, nullptr) != FALSE) && read > 0)
        ok = sha.Add(buffer.get(), read);
    ::CloseHandle(hFile);
    unsigned char digest[32];
    if (!ok || !sha.Finish(digest)) return false;
    static const char kDigits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return true;
}
