#include "support/TestPublisher.h"

#include "install/FileHash.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

namespace testsupport {

namespace {

std::string Base64(const std::string& bytes) {
    char text[256] = "";
    DWORD size = sizeof text;
    return ::CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()),
                                  CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, text, &size)
               ? std::string(text, size)
               : "";
}

std::string Digest(const std::string& bytes) {
    CSha256 sha;
    sha.Add(bytes.data(), bytes.size());
    return sha.Finish();
}

}  // namespace

CTestPublisher::CTestPublisher() {
    if (BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&m_hAlgorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(::BCryptGenerateKeyPair(m_hAlgorithm, &m_hKey, 256, 0)))
        ::BCryptFinalizeKeyPair(m_hKey, 0);
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
    std::string sif, bytes;
    if (!ReadFile(sifPath, sif)) return false;
    sif += "[Release]\r\nSerial=" + serial + "\r\n[Hashes]\r\n";
    for (const std::string& file : files)
        sif += file.substr(file.find_last_of('\\') + 1) + "=" + (ReadFile(file, bytes) ? Sha256Text(bytes) : "") +
               "\r\n";
    std::string digest = Digest(sif), signature(64, '\0');
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
