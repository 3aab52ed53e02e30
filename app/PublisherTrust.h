// What the run believes of the files the publisher sends. The wizard runs as
// administrator and a package info file decides what it writes where, so
// once the local setup information file names the publisher's key, no file
// from the setup site or from a folder other accounts may write is used
// unless the publisher's signature covers its bytes: the signature covers
// the components list, which names the SHA-256 of the sites list and of
// every package info file, each of which names the SHA-256 of its package
// files.
#pragma once
#include "install/FileHash.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The file beside a signed components list that holds its signature.
constexpr char kSignatureSuffix[] = ".sig";

enum class CatalogueVerdict {
    kVerified,
    kUnsigned,      // no signature beside it, or one that cannot be read
    kNotPublisher,  // the signature is not made with a key the local file names
    kOlder,         // signed, but older than a list this computer already used
};

// The message that says why a components list was refused.
std::string CatalogueRefusalText(CatalogueVerdict verdict);

// A release serial: 1 to 18 decimal digits, so that it fits 64 bits.
bool ParseReleaseSerial(const std::string& text, uint64_t& serial);

// True when signature (base64 of the raw r and s, 32 bytes each) is the
// ECDSA P-256 signature over the SHA-256 of message by publicKey (base64 of
// the uncompressed point: 0x04, X, Y). Decoding and checking are the
// platform's (crypt32, CNG).
bool VerifyPublisherSignature(const std::string& publicKey, const std::string& message, const std::string& signature);

class CPublisherTrust {
public:
    // The keys ([Product] PublicKey, PublicKey2) and the [Hashes] of the local
    // setup information file, as trusted as the program beside it.
    void LoadLocal(const char* setupInfoPath);
    bool HasKey() const { return !m_keys.empty(); }

    // Checks the components list at path against its signature at sigPath
    // and the highest serial this computer accepted. A verified list stays
    // held by pin while the caller reads it; its serial goes to serial and
    // its hashes become the trusted ones.
    CatalogueVerdict CheckCatalogue(const std::string& path, const std::string& sigPath, uint64_t highestSerial,
                                    uint64_t& serial, CPinnedFiles& pin);

    // Without a key every file is admitted. With one, the file at path only
    // when its SHA-256 is one the verified list or the local file gives for
    // name; it is then held by pin, unchanged, while the caller reads it.
    bool Admits(const std::string& name, const std::string& path, CPinnedFiles& pin) const;

private:
    std::vector<std::string> m_keys;
    // By file name in lower case, as the profile reader compares keys.
    std::map<std::string, std::string> m_localHashes;
    std::map<std::string, std::string> m_catalogueHashes;
};
