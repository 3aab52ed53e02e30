#include "support/TestPublisher.h"

#include "install/FileHash.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

namespace testsupport {

namespace {

std::string Base64(const std::string& bytes) {
    DWORD size = 0;
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    if (!::CryptBinaryToStringA(data, DWORD(bytes.size()), flags, nullptr, &size)) return "";
    std::string text(size, '\0');
    if (!::CryptBinaryToStringA(data, DWORD(bytes.size()), flags, &text[0], &size)) return "";
    text.resize(size);
    return text;
}

std::string HashOf(const std::string& bytes, bool hex) {
    CSha256 sha;
    sha.Add(bytes.data(), bytes.size());
    return hex ? sha.FinishHex() : sha.Finish();
}

}  // namespace

CTestPublisher::CTestPublisher() {
    BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
    BCRYPT_KEY_HANDLE hKey = nullptr;
    if (BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&hAlgorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(::BCryptGenerateKeyPair(hAlgorithm, &hKey, 256, 0)))
        ::BCryptFinalizeKeyPair(hKey, 0);
    m_hAlgorithm = hAlgorithm;
    m_hKey = hKey;
}

CTestPublisher::~CTestPublisher() {
    if (m_hKey) ::BCryptDestroyKey(m_hKey);
    if (m_hAlgorithm) ::BCryptCloseAlgorithmProvider(m_hAlgorithm, 0);
}

std::string CTestPublisher::KeyLine(const char* keyName) const {
    std::string blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64, '\0');
    ULONG size = 0;
    ::BCryptExportKey(m_hKey, nullptr, BCRYPT_ECCPUBLIC_BLOB, reinterpret_cast<PUCHAR>(&blob[0]), ULONG(blob.size()),
                      &size, 0);
    return std::string(keyName) + "=" + Base64("\x04" + blob.substr(sizeof(BCRYPT_ECCKEY_BLOB))) + "\r\n";
}

bool CTestPublisher::Sign(const std::string& sifPath, const std::vector<std::string>& files,
                          const std::string& serial) const {
    std::string sif, hashes;
    for (const std::string& file : files) {
        std::string bytes;
        if (!ReadFile(file, bytes)) return false;
        hashes += file.substr(file.find_last_of('\\') + 1) + "=" + HashOf(bytes, true) + "\r\n";
    }
    if (!ReadFile(sifPath, sif)) return false;
    sif += "[Release]\r\nSerial=" + serial + "\r\n[Hashes]\r\n" + hashes;
    std::string digest = HashOf(sif, false), signature(64, '\0');
    ULONG size = 0;
    return BCRYPT_SUCCESS(::BCryptSignHash(m_hKey, nullptr, reinterpret_cast<PUCHAR>(&digest[0]), 32,
                                           reinterpret_cast<PUCHAR>(&signature[0]), 64, &size, 0)) &&
           WriteFile(sifPath, sif) && WriteFile(sifPath + ".sig", Base64(signature) + "\r\n");
}

const CTestPublisher& RoadPublisher() {
    static const CTestPublisher publisher;
    return publisher;
}

}  // namespace testsupport
