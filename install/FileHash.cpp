#include "install/FileHash.h"

#include "framework/SystemLibrary.h"

#include <memory>

namespace {

constexpr DWORD kReadBytes = 64 * 1024;

}  // namespace

// Loaded by its full path first, once: the late binding then finds it loaded.
static bool LoadCng() {
    static const bool loaded = LoadSystemLibrary("bcrypt.dll") != nullptr;
    return loaded;
}

CSha256::CSha256()
    : m_bFailed(!LoadCng() ||
                !BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&m_hAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
                !BCRYPT_SUCCESS(::BCryptCreateHash(m_hAlgorithm, &m_hHash, nullptr, 0, nullptr, 0, 0))) {}

CSha256::~CSha256() {
    if (m_hHash) ::BCryptDestroyHash(m_hHash);
    if (m_hAlgorithm) ::BCryptCloseAlgorithmProvider(m_hAlgorithm, 0);
}

void CSha256::Add(const void* data, size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (!m_bFailed && size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : ULONG(size);
        m_bFailed = !BCRYPT_SUCCESS(::BCryptHashData(m_hHash, bytes, part, 0));
        bytes += part;
        size -= part;
    }
}

std::string CSha256::Finish() {
    std::string digest(32, '\0');
    if (m_bFailed || !BCRYPT_SUCCESS(::BCryptFinishHash(m_hHash, reinterpret_cast<PUCHAR>(&digest[0]), 32, 0)))
        return "";
    m_bFailed = true;  // a finished hash takes no more data
    return digest;
}

std::string CSha256::FinishHex() {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : Finish()) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

HANDLE OpenHeld(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

namespace {

// Opened for reading with only reads shared, and hashed from the start;
// INVALID_HANDLE_VALUE when it cannot be opened or read.
HANDLE OpenHashed(const std::string& path, std::string& hex) {
    const HANDLE hFile = OpenHeld(path);
    if (hFile == INVALID_HANDLE_VALUE) return hFile;
    CSha256 sha;
    std::unique_ptr<char[]> buffer(new char[kReadBytes]);
    DWORD read = 0;
    bool ok = true;
    while (ok && (ok = ::ReadFile(hFile, buffer.get(), kReadBytes, &read, nullptr) != FALSE) && read > 0)
        sha.Add(buffer.get(), read);
    hex = ok ? sha.FinishHex() : "";
    if (!hex.empty()) return hFile;
    ::CloseHandle(hFile);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool Sha256OfFile(const std::string& path, std::string& hex) {
    const HANDLE hFile = OpenHashed(path, hex);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(hFile);
    return true;
}

bool CPinnedFiles::Pin(const std::string& path, const std::string& sha256) {
    std::string hex;
    const HANDLE hFile = OpenHashed(path, hex);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    if (hex != sha256) {
        ::CloseHandle(hFile);
        return false;
    }
    m_handles.push_back(hFile);
    return true;
}

bool CPinnedFiles::Hold(const std::string& path) {
    const HANDLE hFile = OpenHeld(path);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    m_handles.push_back(hFile);
    return true;
}

bool CPinnedFiles::Read(const std::string& path, size_t maxBytes, std::string& bytes) {
    const HANDLE hFile = OpenHeld(path);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    DWORD read = 0;
    bool ok = ::GetFileSizeEx(hFile, &size) && uint64_t(size.QuadPart) <= maxBytes;
    if (ok) {
        bytes.assign(size_t(size.QuadPart), '\0');
        ok = bytes.empty() ||
             (::ReadFile(hFile, &bytes[0], DWORD(bytes.size()), &read, nullptr) && read == bytes.size());
    }
    if (!ok) {
        ::CloseHandle(hFile);
        return false;
    }
    m_handles.push_back(hFile);
    return true;
}

void CPinnedFiles::Release() {
    for (HANDLE hFile : m_handles) ::CloseHandle(hFile);
    m_handles.clear();
}
