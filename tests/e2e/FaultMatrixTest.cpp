// The online installation of the real program once per fault of the test web
// site on each kind of fetch: the wizard goes on or ends as it should, no
// earlier good copy is replaced, nothing half-fetched is installed or recorded.
#include "app/Registry.h"
#include "res/DownloadWaitIds.h"
#include "res/resource.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

using namespace roads;
using namespace wizard;

namespace {

enum class Kind { List, Info, Sites, File };
// What the wizard makes of a fault: the fetch succeeds slowly, fails, is
// tried again until Cancel (package files only), or stalls until given up.
enum class Outcome { Whole, Failed, Retried, Stalled };

const struct {
    const char* name;
    const char* fault;
    Outcome iniOutcome, fileOutcome;
} kFaults[] = {
    {"404", R"({"status": 404})", Outcome::Failed, Outcome::Retried},
    {"500", R"({"status": 500})", Outcome::Failed, Outcome::Retried},
    {"html", R"({"html_error": 1})", Outcome::Failed, Outcome::Failed},
    // An empty package file counts as no answer (no bytes), like a refused connection.
    {"empty", R"({"empty": 1})", Outcome::Failed, Outcome::Retried},
    {"cut", R"({"cut": 20})", Outcome::Failed, Outcome::Failed},
    {"cut-unannounced", R"({"cut": 20, "length": "none"})", Outcome::Failed, Outcome::Failed},
    {"stall-before", R"({"stall_before": 60})", Outcome::Stalled, Outcome::Stalled},
    {"stall-mid", R"({"stall": 60, "stall_at": 20})", Outcome::Stalled, Outcome::Stalled},
    {"drop", R"({"drop": 1})", Outcome::Failed, Outcome::Retried},
    {"trickle", R"({"trickle": 16, "tick": 0.02})", Outcome::Whole, Outcome::Whole},
};

const struct {
    Kind kind;
    const char* name;
    const char* path;  // below the site
} kFetches[] = {{Kind::List, "list", "setup/zep.sif"},
                {Kind::Info, "info", "pki/tools.pki"},
                {Kind::Sites, "sites", "setup/sites.ini"},
                {Kind::File, "file", "mirror/files/tools.ex_"}};

const std::string kDownloads = std::string(kTarget) + "-faults";
const char kEarlier[] = "; the copy of an earlier run\r\n";
const std::string kWait = std::to_string(IDC_DOWNLOAD_WAIT_TEXT), kSkipped = std::to_string(IDC_SKIPPED_LIST);

// The wait dialog given up with its close box, as a user would after a while.
Step GiveUpWaiting(const Page* page, int buttons = Back | Next) {
    return {Act::Dialog, page, buttons, {}, IDCANCEL, kWait};
}

// Without the updated list, package info files that are not here take no
// part in the run; giving up the wait for one gives up the rest as well.
bool NothingToInstall(Kind kind, Outcome outcome) {
    return (kind == Kind::List && outcome != Outcome::Whole) || (kind == Kind::Info && outcome == Outcome::Stalled);
}

std::vector<Step> Road(Kind kind, Outcome outcome) {
    const bool failed = outcome != Outcome::Whole;
    std::vector<Step> steps{{Act::Look, &kWelcomeOfRoad, Next},
                            {Act::Next, &kLicense, Back},
                            {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
                            {Act::Next, &kInstallOrDownload, Back | Next},
                            {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, kDownloads},
                            {Act::Next, &kComponentsOfRoad, Back | Next}};
    if (kind == Kind::List && outcome == Outcome::Stalled) steps.push_back(GiveUpWaiting(&kComponentsOfRoad));
    if (kind == Kind::List && failed) steps.push_back({Act::Answer, &kComponentsOfRoad, Back | Next, {}, IDYES, kAskLocal});
    steps.push_back({Act::Look, &kComponentsOfRoad, Back | Next,
                     {{ComponentRows, "ZEP Base|not installed|1.1|install,ZEP Tools|not installed|1.0|install,"
                                      "ZEP Bad|not installed|1.0|install"}}});
    steps.push_back({Act::Next, &kPreparingOfRoad, Back | Next});
    // Preparing fetches the list again when it has none, then the package info files.
    if ((kind == Kind::List || kind == Kind::Info) && outcome == Outcome::Stalled)
        steps.push_back(GiveUpWaiting(&kPreparingOfRoad));
    if (kind == Kind::List && failed) steps.push_back({Act::Answer, &kPreparingOfRoad, Back | Next, {}, IDYES, kAskLocal});
    if (kind == Kind::Info && failed) steps.push_back({Act::Dialog, &kPreparingOfRoad, Back | Next, {}, IDOK, kSkipped});
    if (NothingToInstall(kind, outcome)) {
        steps.push_back({Act::Look, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}});
        steps.push_back({Act::Next, &kFinishOfRoad, Finish, {{IDC_FINISH_OUTCOME, kFinished}}});
        steps.push_back({Act::Finish, nullptr});
        return steps;
    }
    steps.push_back({Act::Look, &kPreparingOfRoad, Back | Next,
                     {{IDC_PREPARING_TOTAL, kind == Kind::Info && failed ? "75" : "139"}}});
    steps.push_back({Act::Next, &kChooseSiteOfRoad, Back});
    if (kind == Kind::Sites && outcome == Outcome::Stalled) steps.push_back(GiveUpWaiting(&kChooseSiteOfRoad, Back));
    steps.push_back({Act::Look, &kChooseSiteOfRoad, Back, {{Sites, kSitesShown}}});
    steps.push_back({Act::Row, &kChooseSiteOfRoad, Back | Next, {}, IDC_SITES_LIST, "0"});
    if (outcome == Outcome::Retried || (kind == Kind::File && outcome == Outcome::Stalled)) {
        const Shows retrying{{IDC_DOWNLOADING_FILE, "tools.ex_  (attempt 2 failed, trying again in 1 sec)"}};
        steps.push_back({Act::Next, &kDownloadingOfRoad, None, outcome == Outcome::Retried ? retrying : Shows{}});
        steps.push_back({Act::Cancel, &kDownloadingOfRoad, None});
        steps.push_back({Act::Answer, nullptr, None, {}, IDYES, kAskCancel});
        return steps;
    }
    if (kind == Kind::File && failed) {
        steps.push_back({Act::Next, &kDownloadingOfRoad, None});
        steps.push_back({Act::Dialog, &kDownloadingOfRoad, None, {}, IDOK, kSkipped});
        steps.push_back({Act::Answer, &kInstallingOfRoad, None, {}, IDOK,
                         "You may later RE-RUN ZEP Setup Wizard and it will\ndownload files which it failed to "
                         "download this time\n and will complete installing ZEP."});
    } else {
        steps.push_back({Act::Next, &kInstallingOfRoad, None});
    }
    steps.push_back({Act::Answer, &kFinishOfRoad, Finish, {{IDC_FINISH_OUTCOME, kFinished}}, IDOK, kBadNamed});
    steps.push_back({Act::Finish, nullptr});
    return steps;
}

// Every fault on one kind of fetch.
void RunFaults(Kind kind) {
    const std::string site = testweb::RootDir() + "\\faults", url = testweb::BaseUrl() + "/faults/";
    PublishSite(site, url, 0);
    for (const auto& fetch : kFetches) {
        if (fetch.kind != kind) continue;
        for (const auto& fault : kFaults) {
            const std::string name = std::string(fetch.name) + "-" + fault.name;
            SCOPED_TRACE(name);
            testsupport::WriteFile(testweb::RootDir() + "\\faults.json",
                                   std::string("{\"/faults/") + fetch.path + "\": " + fault.fault + "}");
            for (const std::string& folder : {std::string(kTarget), kDownloads}) testsupport::RemoveTree(folder);
            ::CreateDirectoryA(kDownloads.c_str(), nullptr);
            // Copies an earlier run left: the catalogue and the sites list.
            testsupport::WriteFile(kDownloads + "\\zep.sif", kEarlier + SetupInfo(0, url));
            testsupport::WriteFile(kDownloads + "\\sites.ini",
                                   kEarlier + testsupport::FileText(site + "\\setup\\sites.ini"));
            Wizard run;
            ASSERT_TRUE(run.Launch("faults-" + name, SetupInfo(0, url)));
            ASSERT_TRUE(run.WaitForSheet());
            const Outcome outcome = fetch.kind == Kind::File ? fault.fileOutcome : fault.iniOutcome;
            const bool whole = outcome == Outcome::Whole, stalled = outcome == Outcome::Stalled;
            EXPECT_TRUE(run.Walk(Road(fetch.kind, outcome)));
            EXPECT_TRUE(robot::WaitUntil([&] { return run.Gone(); }, kTimeoutMs)) << "the program did not end";
            // The earlier copies give way only to whole lists; the sites list
            // is fetched only when there is something to fetch from the sites.
            const bool nothing = NothingToInstall(fetch.kind, outcome);
            for (const auto& [copy, replacedByNow] :
                 {std::pair{"zep.sif", fetch.kind != Kind::List || whole},
                  {"sites.ini", !nothing && (fetch.kind != Kind::Sites || whole)}})
                EXPECT_EQ(replacedByNow, testsupport::FileText(kDownloads + "\\" + copy).find(kEarlier) != 0) << copy;
            const bool installed = outcome != Outcome::Retried && (fetch.kind != Kind::File || !stalled) && !nothing;
            const bool toolsInstalled = whole || fetch.kind == Kind::Sites;
            EXPECT_EQ(std::string(installed ? "257 " : "0 ") + (installed && toolsInstalled ? "256" : "0"),
                      std::to_string(ReadRegDword(ZEP_CLIENT_KEY "\\Base", "Version", 0)) + " " +
                          std::to_string(ReadRegDword(ZEP_CLIENT_KEY "\\Tools", "Version", 0)));
            EXPECT_EQ(installed && toolsInstalled ? "tools 1.0" : "<missing>", testsupport::FileText(kBin + "\\tools.exe"));
        }
    }
}

}  // namespace

TEST(FaultMatrix, ComponentList) { RunFaults(Kind::List); }
TEST(FaultMatrix, PackageInfo) { RunFaults(Kind::Info); }
TEST(FaultMatrix, SitesList) { RunFaults(Kind::Sites); }
TEST(FaultMatrix, PackageFile) { RunFaults(Kind::File); }
