// Every road of the wizard, one after the other, with the real zepsetup.exe
// against the test web site: what each leaves on disk and in the registry.
// Each road's pages are screenshots wizard-acceptance_ROAD_NN-page.bmp,
// which tools/test.sh puts on one contact sheet per road.
#include "app/Registry.h"
#include "res/resource.h"
#include "support/ChildProcess.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestPublisher.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

using namespace roads;
using namespace wizard;
using testsupport::FileExists;
using testsupport::Lines;
using testsupport::SortedFilesIn;

namespace {

const std::string kCarried = std::string(kTarget) + "-carried";
const char kWineVersion[] = "Software\\Wine\\AppDefaults\\zepsetup.exe";
const Step kCancelled{Act::Answer, nullptr, None, {}, IDYES, kAskCancel};
HANDLE g_held = INVALID_HANDLE_VALUE;

// Tools' file replaced at the next restart, by a copy beside it as an
// earlier version of the program left one for a file in use.
void PlantBeforeRemoval() {
    char waiting[MAX_PATH] = "";
    ASSERT_TRUE(::GetTempFileNameA(kBin.c_str(), "zep", 0, waiting) &&
                ::MoveFileExA(waiting, (kBin + "\\tools.exe").c_str(),
                              MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
}

std::vector<Road> Roads() {
    const char kRowsInstalled[] = "ZEP Base|already installed|1.1|,ZEP Tools|already installed|1.0|,"
                                  "ZEP Bad|not installed|1.0|install";
    return {
        {"first-install", FirstInstall(), CheckFirstInstall},
        // The site's list signed with another key: refused, and the copy of
        // the run before, the publisher's, stays.
        {"forged-list",
         Intro(kDownloads) +
             Steps{{Act::Next, &kComponentsOfRoad, Back | Next},
                   {Act::Answer, &kComponentsOfRoad, Back | Next, {}, IDOK,
                    "The components list of the ZEP Setup internet site is not signed by the publisher."},
                   {Act::Answer, &kComponentsOfRoad, Back | Next, {{ComponentRows, kRowsInstalled}}, IDYES, kAskLocal},
                   {Act::Cancel, &kComponentsOfRoad, Back | Next},
                   kCancelled},
         [] {
             EXPECT_NE(testsupport::FileText(testweb::RootDir() + "\\acceptance\\setup\\zep.sif.sig"),
                       testsupport::FileText(kDownloads + "\\zep.sif.sig"));
         },
         0, false},
        {"upgrade-in-use",
         Intro(kDownloads) +
             Steps{{Act::Next, &kComponentsOfRoad, Back | Next,
                    {{ComponentRows, "ZEP Base|already installed|1.1|,ZEP Tools|upgrade available|1.1|upgrade,"
                                     "ZEP Bad|not installed|1.0|install"}}}} +
             ToMirror("63", 0) +
             Steps{{Act::Next, &kInstallingOfRoad, None},
                   {Act::Answer, &kFinishOfRoad, Finish, {{IDC_FINISH_REBOOT_NOW, "Reboot now [x]"}}, IDOK, kBadNamed},
                   {Act::Click, &kFinishOfRoad, Finish, {}, IDC_FINISH_REBOOT_LATER},
                   {Act::Finish, nullptr}},
         [] {
             ::CloseHandle(g_held);
             EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe")) << "replaced before the restart";
             EXPECT_NE(std::string::npos, testsupport::PendingRenames().find("tools.exe"));
             DWORD exitCode = 1;
             EXPECT_TRUE(testsupport::RunChild("wineboot.exe -r", "", 120000, exitCode)) << "no restart of the prefix";
             EXPECT_EQ("tools 1.1", testsupport::FileText(kBin + "\\tools.exe"));
             EXPECT_EQ("257", Record("Tools"));
         },
         1, false},
        // Unmarking Bad leaves nothing chosen: only Back is offered. Tools is
        // removed before its replacement's restart (PlantBeforeRemoval).
        {"removal",
         Intro(kDownloads) +
             Steps{{Act::Next, &kComponentsOfRoad, Back | Next,
                    {{ComponentRows, "ZEP Base|already installed|1.1|,ZEP Tools|already installed|1.1|,"
                                     "ZEP Bad|not installed|1.0|install"}}},
                   {Act::Row, &kComponentsOfRoad, Back, {}, IDC_COMPONENTS_LIST, "2"},
                   {Act::Row, &kComponentsOfRoad, Back, {}, IDC_COMPONENTS_LIST, "0"},
                   {Act::Dialog, &kComponentsOfRoad, Back | Next,
                    {{ComponentRows, "ZEP Base|already installed|1.1|remove,ZEP Tools|already installed|1.1|"
                                     "remove,ZEP Bad|not installed|1.0|"}},
                    IDYES, std::to_string(IDC_DEPENDENTS_LIST)},
                   {Act::Next, &kRemovingOfRoad, Back | Finish,
                    {{IDC_REMOVING_HINT, "Press Finish to exit Setup Wizard, or Back to proceed with other "
                                         "setup options."}}},
                   {Act::Finish, nullptr}},
         [] {
             EXPECT_EQ((Lines{"base.ini"}), SortedFilesIn(kTarget)) << "no copy waits for the restart";
             EXPECT_EQ(std::string::npos, testsupport::PendingRenames().find("tools.exe"));
             EXPECT_FALSE(FileExists(Group()));
             EXPECT_EQ("0 0", Record("Base") + " " + Record("Tools"));
         },
         1, false},
        {"download-only",
         Intro(kCarried, true) + ToMirror("143", 0) +
             Steps{{Act::Next, &kDownloadingOfRoad, Finish,
                    {{IDC_DOWNLOADING_COMPONENT, "Download complete."}, {IDC_DOWNLOADING_BYTES, "143  of  143"}}},
                   {Act::Finish, nullptr}},
         [] {
             EXPECT_EQ((Lines{"9x.dll", "bad.ex_", "bad.pki", "base.dll", "base.ini", "base.pki", "nt.dll", "sites.ini",
                              "tools.ex_", "tools.pki", "zep.sif", "zep.sif.sig", "zepsetup.exe", "zepsetup.sif"}),
                       SortedFilesIn(kCarried));
             EXPECT_FALSE(FileExists(kTarget)) << "download only installed something";
         }},
        // The folder carried to a computer of the 95/98 family that never had
        // the product and cannot reach the site.
        {"offline-95-98", OfflineToPreparing(kCarried) + kInstalled,
         [] { EXPECT_EQ((Lines{"9x.dll", "base.dll", "tools.exe"}), SortedFilesIn(kBin)); }},
    };
}

}  // namespace

TEST(Acceptance, EveryRoadEndToEnd) {
    ::CoInitialize(nullptr);
    const std::string site = testweb::RootDir() + "\\acceptance", url = testweb::BaseUrl() + "/acceptance/";
    for (const std::string& folder : {std::string(kTarget), kDownloads, kCarried}) testsupport::RemoveTree(folder);
    for (const Road& road : Roads()) {
        const std::string name = road.name;
        PublishSite(site, url, road.minor);
        if (name == "upgrade-in-use")  // as a running program holds it
            g_held = ::CreateFileA((kBin + "\\tools.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (name == "removal") PlantBeforeRemoval();
        if (name == "forged-list") testsupport::CTestPublisher().Sign(site + "\\setup\\zep.sif", {});
        const bool offline = name.compare(0, 7, "offline") == 0;
        if (name == "offline-95-98") {
            ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, kWineVersion, "Version", REG_SZ, "win98"));
        }
        Drive(road, offline ? "http://127.0.0.1:9/" : url, "acceptance_" + name + "_");
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kWineVersion);
    }
}
