#include "app/PublisherTrust.h"

#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "framework/SystemLibrary.h"
#include "install/PackageInfo.h"

#include <bcrypt.h>
#include <wincrypt.h>

namespace {

constexpr DWORD kPointBytes = 65;      // 0x04, X, Y
constexpr DWORD kSignatureBytes = 64;  // r, s
// A components list is read by the profile functions, which take far less.
constexpr size_t kMaxCatalogueBytes = 1 << 20;
constexpr size_t kMaxSignatureFileBytes = 1024;

std::string FromBase64(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    static const bool loaded = LoadSystemLibrary("crypt32.dll") != nullptr;
    DWORD size = 0;
    if (!loaded || text.empty() || text.size() > 4096 ||
        !::CryptStringToBinaryA(text.c_str(), DWORD(text.size()), CRYPT_STRING_BASE64, nullptr, &size, nullptr,
                                nullptr))
        return "";
    std::string bytes(size, '\0');
    if (!::CryptStringToBinaryA(text.c_str(), DWORD(text.size()), CRYPT_STRING_BASE64,
                                reinterpret_cast<BYTE*>(&bytes[0]), &size, nullptr, nullptr))
        return "";
    bytes.resize(size);
    return bytes;
}

}  // namespace

std::string CatalogueRefusalText(CatalogueVerdict verdict) {
    switch (verdict) {
    case CatalogueVerdict::kUnsigned:
        return "The components list of the ZEP Setup internet site has no signature.";
    case CatalogueVerdict::kNotPublisher:
        return "The components list of the ZEP Setup internet site is not signed by the publisher.";
    case CatalogueVerdict::kOlder:
        return "The components list of the ZEP Setup internet site is older than one already used on this computer.";
    case CatalogueVerdict::kVerified:
        break;
    }
    return "";
}

bool ParseReleaseSerial(const std::string& text, uint64_t& serial) {
    if (text.empty() || text.size() > 18) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    serial = value;
    return true;
}

bool VerifyPublisherSignature(const std::string& publicKey, const std::string& message, const std::string& signature) {
    const std::string point = FromBase64(publicKey), rs = FromBase64(signature);
    if (point.size() != kPointBytes || point[0] != 0x04 || rs.size() != kSignatureBytes) return false;
    CSha256 sha;
    sha.Add(message.data(), message.size());
    std::string digest = sha.Finish();
    // The hash loaded bcrypt from the system folder; without it there is no check.
    if (digest.empty()) return false;

    std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(&blob[0]);
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = (kPointBytes - 1) / 2;
    blob += point.substr(1);
    BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
    BCRYPT_KEY_HANDLE hKey = nullptr;
    bool verified = false;
    if (BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&hAlgorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(::BCryptImportKeyPair(hAlgorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &hKey,
                                             reinterpret_cast<PUCHAR>(&blob[0]), ULONG(blob.size()), 0)))
        verified = BCRYPT_SUCCESS(::BCryptVerifySignature(hKey, nullptr, reinterpret_cast<PUCHAR>(&digest[0]),
                                                          ULONG(digest.size()),
                                                          reinterpret_cast<PUCHAR>(const_cast<char*>(rs.data())),
                                                          ULONG(rs.size()), 0));
    if (hKey) ::BCryptDestroyKey(hKey);
    if (hAlgorithm) ::BCryptCloseAlgorithmProvider(hAlgorithm, 0);
    return verified;
}

void CPublisherTrust::LoadLocal(const char* setupInfoPath) {
    m_keys.clear();
    for (const char* name : {"PublicKey", "PublicKey2"}) {
        const std::string key = ReadProfileValue(setupInfoPath, "Product", name);
        if (!key.empty()) m_keys.push_back(key);
    }
    m_localHashes = ReadHashSection(setupInfoPath);
    m_catalogueHashes.clear();
}

CatalogueVerdict CPublisherTrust::CheckCatalogue(const std::string& path, const std::string& sigPath,
                                                 uint64_t highestSerial, uint64_t& serial, CPinnedFiles& pin) {
    std::string bytes, signature;
    CPinnedFiles sigRead;
    if (!sigRead.Read(sigPath, kMaxSignatureFileBytes, signature) || !pin.Read(path, kMaxCatalogueBytes, bytes))
        return CatalogueVerdict::kUnsigned;
    bool signedByPublisher = false;
    for (const std::string& key : m_keys)
        signedByPublisher = signedByPublisher || VerifyPublisherSignature(key, bytes, signature);
    if (!signedByPublisher) return CatalogueVerdict::kNotPublisher;
    // Signed without a serial: older than any list with one.
    serial = 0;
    ParseReleaseSerial(ReadProfileValue(path.c_str(), "Release", "Serial"), serial);
    if (serial < highestSerial) return CatalogueVerdict::kOlder;
    m_catalogueHashes = ReadHashSection(path);
    return CatalogueVerdict::kVerified;
}

bool CPublisherTrust::Admits(const std::string& name, const std::string& path, CPinnedFiles& pin) const {
    if (!HasKey()) return true;
    for (const auto* hashes : {&m_catalogueHashes, &m_localHashes}) {
        const auto found = hashes->find(LowerAscii(name));
        if (found != hashes->end() && pin.Pin(path, found->second)) return true;
    }
    return false;
}
