// The real zepsetup.exe makes the online roads' first installation from
// nginx, over HTTP and over HTTPS, and never accepts an HTTPS site whose
// certificate Windows would not trust for its address.
#include "download/HttpTransfer.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/stat.h>
#include <fstream>
#include <sstream>

using namespace roads;
using namespace wizard;
using testsupport::Lines;
using testsupport::SortedFilesIn;

namespace {

// nginx as tests/server/nginx_site.py started it: its folder and the ports
// of its servers (0 when it is not running).
struct Nginx {
    std::string dir;
    int http = 0, trusted = 0, unknownAuthority = 0, otherName = 0;
};

Nginx RunningNginx() {
    Nginx nginx;
    const char* dir = std::getenv("ZEP_NGINX");
    nginx.dir = dir ? dir : "";
    std::ifstream(nginx.dir + "\\state") >> nginx.http >> nginx.trusted >> nginx.unknownAuthority >> nginx.otherName;
    return nginx;
}

// Makes the authority of the PEM file one that every later program of the
// prefix trusts, as the users' Windows trusts a public one: Wine's chain
// check takes the registry's Root stores besides the host's authorities.
// It stays: Wine leaves the registry entry of a certificate deleted there.
bool TrustAuthority(const std::string& pemPath) {
    std::ostringstream pem;
    pem << std::ifstream(pemPath).rdbuf();
    BYTE der[8192];
    DWORD size = sizeof der;
    if (!::CryptStringToBinaryA(pem.str().c_str(), 0, CRYPT_STRING_BASE64HEADER, der, &size, nullptr, nullptr))
        return false;
    HCERTSTORE root = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    if (!root) return false;
    const bool added = ::CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der, size,
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(root, 0);
    return added;
}

// The first installation from the site at baseUrl, or (trusted false) a
// site that cannot be had: the Components page asks whether to go on with
// the local list, and No ends the run with nothing fetched.
void InstallFrom(const std::string& name, const std::string& baseUrl, bool trusted = true,
                 const std::function<void()>& plant = [] {}) {
    PublishSite(RunningNginx().dir + "\\site", baseUrl + "/", 0);
    testsupport::RemoveTree(kDownloads);
    ::CreateDirectoryA(kDownloads.c_str(), nullptr);
    plant();
    if (trusted) return Drive({name, FirstInstall(), CheckFirstInstall}, baseUrl + "/");
    Drive({name, Intro(kDownloads) + Steps{{Act::Next, &kComponentsOfRoad, Back | Next},
                                           {Act::Answer, nullptr, None, {}, IDNO, kAskLocal}},
           [] { EXPECT_EQ(Lines{}, SortedFilesIn(kDownloads)); }},
          baseUrl + "/");
}

std::string At(int port) { return "https://127.0.0.1:" + std::to_string(port); }

}  // namespace

// The first half of base.dll waits from an earlier run, with the ETag nginx
// gives the file ("<modified>-<size>" in hex): the install asks for the rest.
TEST(Nginx, FirstInstallFromAMirror) {
    const Nginx nginx = RunningNginx();
    ASSERT_NE(0, nginx.http) << "nginx is not running";
    InstallFrom("nginx-http", "http://127.0.0.1:" + std::to_string(nginx.http), true, [&] {
        struct _stat64 file;
        ASSERT_EQ(0, _stat64((nginx.dir + "\\site\\mirror\\files\\base.dll").c_str(), &file));
        char etag[64];
        std::snprintf(etag, sizeof etag, "\"%llx-%llx\"", (long long)file.st_mtime, (long long)file.st_size);
        const std::string partial = ResumablePartPath(kDownloads + "\\base.dll");
        ASSERT_TRUE(testsupport::WriteFile(partial, "ba") && testsupport::WriteFile(partial + ".validator", etag));
    });
    EXPECT_EQ("base", testsupport::FileText(kDownloads + "\\base.dll"));
    const std::vector<std::string> asked =
        testweb::RequestsFor("/mirror/files/base.dll", nginx.dir + "\\access.log");
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(0u, asked.back().find("range=bytes=2- if-range=\"")) << asked.back();
    EXPECT_NE(std::string::npos, asked.back().find("status=206")) << asked.back();
}

// The same installation over HTTPS once the server's authority is trusted;
// an authority nobody trusts, a certificate for another host name, or a
// redirect from the trusted site to plain HTTP is a site that cannot be had.
TEST(Https, TrustedSiteInstallsOthersAreRefused) {
    const Nginx nginx = RunningNginx();
    ASSERT_NE(0, nginx.otherName) << "nginx is not running";
    ASSERT_TRUE(TrustAuthority(nginx.dir + "\\tls\\ca.pem"));
    const struct {
        const char* name;
        int port;
        const char* path;
        bool trusted;
    } sites[] = {{"https-trusted", nginx.trusted, "", true},
                 {"https-unknown-authority", nginx.unknownAuthority, "", false},
                 {"https-other-name", nginx.otherName, "", false},
                 {"https-downgrade", nginx.trusted, "/downgrade", false}};
    for (const auto& site : sites) InstallFrom(site.name, At(site.port) + site.path, site.trusted);
}
