#include "tools/zeppack/Signing.h"

#include "app/PathText.h"
#include "tools/zeppack/Sha256.h"
#include "tools/zeppack/WholeFile.h"

#include <fcntl.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

template <typename T, void (*Free)(T*)>
struct CFree {
    void operator()(T* object) const { Free(object); }
};
using CKey = std::unique_ptr<EVP_PKEY, CFree<EVP_PKEY, EVP_PKEY_free>>;
using CDigestContext = std::unique_ptr<EVP_MD_CTX, CFree<EVP_MD_CTX, EVP_MD_CTX_free>>;
using CEcdsaSignature = std::unique_ptr<ECDSA_SIG, CFree<ECDSA_SIG, ECDSA_SIG_free>>;

// The wizard's CNG takes the public key as the bare point and the signature
// as r||s, not in their DER wrappings.
const size_t kPointSize = 65;
const int kScalarSize = 32;

std::string CryptoError() {
    char text[256] = "unknown error";
    if (const unsigned long code = ERR_get_error()) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return text;
}

std::string Base64(const unsigned char* bytes, size_t size) {
    std::string text(4 * ((size + 2) / 3) + 1, '\0');
    text.resize(size_t(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), bytes, int(size))));
    return text;
}

// A plain file name the profile reader gives back as the same key.
bool FitsIniKey(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || std::strchr("[; \t", name[0]) ||
        name.back() == ' ' || name.back() == '\t')
        return false;
    for (const unsigned char c : name)
        if (c < 0x20 || c == 0x7F || std::strchr("=\\/:", c)) return false;
    return true;
}

// The lower-case name of the section a header line opens; false for other lines.
bool SectionName(const std::string& line, std::string& name) {
    const size_t open = line.find_first_not_of(" \t");
    if (open == std::string::npos || line[open] != '[') return false;
    const size_t close = line.rfind(']');
    name = line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    const size_t first = name.find_first_not_of(" \t\r\n");
    name = first == std::string::npos ? "" : LowerAscii(name.substr(first, name.find_last_not_of(" \t\r\n") + 1 - first));
    return true;
}

// The catalogue without the sections a signing writes, ending with a line end.
std::string WithoutSignedSections(const std::string& text) {
    std::string kept, name;
    bool skipping = false;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        const size_t end = newline == std::string::npos ? text.size() : newline + 1;
        const std::string line = text.substr(at, end - at);
        if (SectionName(line, name)) skipping = name == "release" || name == "hashes";
        if (!skipping) kept += line;
        at = end;
    }
    if (!kept.empty() && kept.back() != '\n') kept += "\r\n";
    return kept;
}

bool ReadP256Key(const std::string& keyFile, CKey& key, std::string& error) {
    std::FILE* file = std::fopen(keyFile.c_str(), "r");
    if (!file) {
        error = "cannot read " + keyFile + ": " + std::strerror(errno);
        return false;
    }
    key.reset(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    char group[64] = "";
    if (!key || !EVP_PKEY_is_a(key.get(), "EC") ||
        !EVP_PKEY_get_group_name(key.get(), group, sizeof group, nullptr) || std::strcmp(group, SN_X9_62_prime256v1)) {
        error = keyFile + " holds no ECDSA P-256 private key" + (key ? "" : ": " + CryptoError());
        return false;
    }
    return true;
}

bool SignRaw(EVP_PKEY* key, const std::string& data, unsigned char (&raw)[2 * kScalarSize]) {
    CDigestContext context(EVP_MD_CTX_new());
    std::string der(size_t(EVP_PKEY_get_size(key)), '\0');
    size_t size = der.size();
    auto* bytes = reinterpret_cast<unsigned char*>(&der[0]);
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), bytes, &size, reinterpret_cast<const unsigned char*>(data.data()),
                       data.size()) != 1)
        return false;
    const unsigned char* at = bytes;
    const CEcdsaSignature signature(d2i_ECDSA_SIG(nullptr, &at, long(size)));
    if (!signature) return false;
    const BIGNUM *r, *s;
    ECDSA_SIG_get0(signature.get(), &r, &s);
    return BN_bn2binpad(r, raw, kScalarSize) == kScalarSize &&
           BN_bn2binpad(s, raw + kScalarSize, kScalarSize) == kScalarSize;
}

}  // namespace

int Keygen(const std::string& keyFile) {
    const CKey key(EVP_EC_gen(SN_X9_62_prime256v1));
    unsigned char point[kPointSize];
    size_t size = 0;
    if (!key || !EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point, sizeof point,
                                                 &size) || size != kPointSize || point[0] != 4)
        return Fail("cannot make a key: " + CryptoError());
    // Created for its owner alone, and never over a key that may be in use.
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return Fail(errno == EEXIST ? keyFile + " exists; keygen does not overwrite a key"
                                    : "cannot create " + keyFile + ": " + std::strerror(errno));
    std::FILE* file = ::fdopen(fd, "w");
    const bool written = file && PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (!file) ::close(fd);
    if (!file || std::fclose(file) != 0 || !written) {
        std::remove(keyFile.c_str());
        return Fail("cannot write " + keyFile);
    }
    std::printf("PublicKey=%s\n", Base64(point, sizeof point).c_str());
    return 0;
}

int Sign(const std::string& serial, const std::string& keyFile, const std::string& sifFile,
         const std::vector<std::string>& files) {
    std::vector<std::string> names;
    for (const std::string& path : files) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        bool repeated = false;
        for (const std::string& other : names) repeated = repeated || LowerAscii(other) == LowerAscii(name);
        if (!FitsIniKey(name) || repeated) {
            std::fprintf(stderr, "zeppack: \"%s\" cannot be a key of its own in [Hashes]; choose another name\n",
                         name.c_str());
            return 2;
        }
        names.push_back(name);
    }
    std::string hashes = "[Hashes]\r\n", data, error;
    for (size_t i = 0; i < files.size(); ++i) {
        long long modified = 0;
        data.clear();
        if (!ReadWholeFile(files[i], data, modified, error)) return Fail(error);
        const std::string hex = Sha256Hex(data);
        if (hex.empty()) return Fail("cannot hash " + files[i] + ": " + CryptoError());
        hashes += names[i] + "=" + hex + "\r\n";
    }
    std::string catalogue;
    CKey key;
    long long modified = 0;
    if (!ReadWholeFile(sifFile, catalogue, modified, error) || !ReadP256Key(keyFile, key, error)) return Fail(error);
    catalogue = WithoutSignedSections(catalogue) + "[Release]\r\nSerial=" + serial + "\r\n" + hashes;
    unsigned char raw[2 * kScalarSize];
    if (!SignRaw(key.get(), catalogue, raw)) return Fail("cannot sign " + sifFile + ": " + CryptoError());
    if (!WriteWholeFile(sifFile, catalogue, error) ||
        !WriteWholeFile(sifFile + ".sig", Base64(raw, sizeof raw) + "\r\n", error))
        return Fail(error);
    std::printf("signed %s (serial %s, %zu files)\n", sifFile.c_str(), serial.c_str(), files.size());
    return 0;
}
