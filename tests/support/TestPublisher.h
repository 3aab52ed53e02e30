// The publisher of the tests' setup sites: a key pair made with CNG for the
// test run, never stored, signing a components list as zeppack signs it.
#pragma once
#include <string>
#include <vector>

namespace testsupport {

class CTestPublisher {
public:
    CTestPublisher();
    ~CTestPublisher();
    // "PublicKey=<base64 of the uncompressed point>\r\n" (keyName to rotate).
    std::string KeyLine(const char* keyName = "PublicKey") const;
    // Adds the release serial and the SHA-256 of files (by file name) to the
    // list at sifPath, then writes its signature beside it.
    bool Sign(const std::string& sifPath, const std::vector<std::string>& files,
              const std::string& serial = "20261208093000") const;

private:
    void* m_hAlgorithm = nullptr;  // BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE
    void* m_hKey = nullptr;
};

// The publisher of every road's site.
const CTestPublisher& RoadPublisher();

}  // namespace testsupport
