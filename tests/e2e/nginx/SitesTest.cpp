// The real zepsetup.exe makes the online roads' first installation from
// nginx, over HTTP and over HTTPS, and never accepts an HTTPS site whose
// certificate Windows would not trust for its address.
#include "app/Registry.h"
#include "res/resource.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <wincrypt.h>

#include <cstdlib>
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

// A run from Welcome to the Components page, the package files to be kept in dl.
std::vector<Step> ToComponents(const Wizard& run) {
    return {{Act::Look, &kWelcomeOfRoad, Next},
            {Act::Next, &kLicense, Back},
            {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
            {Act::Next, &kInstallOrDownload, Back | Next},
            {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, run.Dir() + "\\dl"},
            {Act::Next, &kComponentsOfRoad, Back | Next}};
}

// The Components and Choose site pages fill their lists once their fetch has
// ended: a TLS handshake takes long enough for a Next pressed before to
// reach the wizard under the fetch's wait dialog, where no user could.
const Shows kFetchedComponents{{ComponentRows, "ZEP Base|not installed|1.1|install,ZEP Tools|not installed|1.0|install,"
                                               "ZEP Bad|not installed|1.0|install"}};

// The first installation with the site and the first mirror at baseUrl.
void InstallFrom(const std::string& name, const std::string& baseUrl) {
    PublishSite(RunningNginx().dir + "\\site", baseUrl + "/", 0);
    testsupport::RemoveTree(kTarget);
    Wizard run;
    ASSERT_TRUE(run.Launch(name, SetupInfo(0, baseUrl + "/")));
    ASSERT_TRUE(run.WaitForSheet());
    std::vector<Step> steps = ToComponents(run);
    steps.back().shows = kFetchedComponents;
    steps.insert(steps.end(),
                 {{Act::Next, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "139"}}},
                  {Act::Next, &kChooseSiteOfRoad, Back, {{Sites, kSitesShown}}},
                  {Act::Row, &kChooseSiteOfRoad, Back | Next, {}, IDC_SITES_LIST, "0"},
                  {Act::Next, &kInstallingOfRoad, None},
                  {Act::Answer, &kFinishOfRoad, Finish,
                   {{IDC_FINISH_OUTCOME, kFinished}, {InstallingBars, "2/2 5/5 "}}, IDOK, kBadNamed},
                  {Act::Finish, nullptr}});
    EXPECT_TRUE(run.Walk(steps));
    EXPECT_EQ((Lines{"bad.ex_", "bad.pki", "base.dll", "base.ini", "base.pki", "nt.dll", "sites.ini", "tools.ex_",
                     "tools.pki", "zep.sif"}),
              SortedFilesIn(run.Dir() + "\\dl"));
    EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
    EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe"));
    EXPECT_EQ(257u, ReadRegDword(ZEP_CLIENT_KEY "\\Base", "Version", 0));
}

// The site at baseUrl cannot be had: the Components page asks whether to go
// on with the local list, and No ends the run with nothing fetched.
void AsksForLocalList(const std::string& name, const std::string& baseUrl) {
    PublishSite(RunningNginx().dir + "\\site", baseUrl + "/", 0);
    Wizard run;
    ASSERT_TRUE(run.Launch(name, SetupInfo(0, baseUrl + "/")));
    ASSERT_TRUE(run.WaitForSheet());
    std::vector<Step> steps = ToComponents(run);
    steps.push_back({Act::Answer, nullptr, None, {}, IDNO, kAskLocal});
    EXPECT_TRUE(run.Walk(steps));
    EXPECT_EQ(Lines{}, SortedFilesIn(run.Dir() + "\\dl"));
}

std::string At(int port) { return "https://127.0.0.1:" + std::to_string(port); }

}  // namespace

TEST(Nginx, FirstInstallFromAMirror) {
    const Nginx nginx = RunningNginx();
    ASSERT_NE(0, nginx.http) << "nginx is not running";
    InstallFrom("nginx-http", "http://127.0.0.1:" + std::to_string(nginx.http));
}

// The same installation over HTTPS once the server's authority is trusted;
// an authority nobody trusts, or a certificate for another host name, is a
// site that cannot be had.
TEST(Https, TrustedSiteInstallsOthersAreRefused) {
    const Nginx nginx = RunningNginx();
    ASSERT_NE(0, nginx.otherName) << "nginx is not running";
    ASSERT_TRUE(TrustAuthority(nginx.dir + "\\tls\\ca.pem"));
    const struct {
        const char* name;
        int port;
        bool trusted;
    } sites[] = {{"https-trusted", nginx.trusted, true},
                 {"https-unknown-authority", nginx.unknownAuthority, false},
                 {"https-other-name", nginx.otherName, false}};
    for (const auto& site : sites) {
        SCOPED_TRACE(site.name);
        if (site.trusted)
            InstallFrom(site.name, At(site.port));
        else
            AsksForLocalList(site.name, At(site.port));
    }
}
