// A publisher for the tests' setup sites: a key pair of its own, made with
// the platform's CNG for the test run and never stored, and the signing of a
// components list as the publisher's tool does it.
#pragma once
#include <string>
#include <vector>

namespace testsupport {

class CTestPublisher {
public:
    CTestPublisher();
    ~CTestPublisher();
    CTestPublisher(const CTestPublisher&) = delete;
    CTestPublisher& operator=(const CTestPublisher&) = delete;

    // "PublicKey=<base64 of the uncompressed point>\r\n" (keyName to rotate).
    std::string KeyLine(const char* keyName = "PublicKey") const;
    // Adds to the list at sifPath its release serial and the SHA-256 of
    // files (by file name), then writes its signature beside it.
    bool Sign(const std::string& sifPath, const std::vector<std::string>& files,
              const std::string& serial = "20261208093000") const;

private:
    void* m_hAlgorithm = nullptr;
    void* m_hKey = nullptr;
};

// The publisher of every road's site.
const CTestPublisher& RoadPublisher();

}  // namespace testsupport
