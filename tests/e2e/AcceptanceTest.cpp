// Every road of the wizard, one after the other, with the real zepsetup.exe
// against the test web site: what each leaves on disk and in the registry.
// Each road's pages are screenshots wizard-acceptance_ROAD_NN-page.bmp,
// which tools/test.sh puts on one contact sheet per road.
#include "app/Registry.h"
#include "res/resource.h"
#include "support/ChildProcess.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace roads;
using namespace wizard;
using testsupport::FileExists;
using testsupport::Lines;
using testsupport::SortedFilesIn;

namespace {

const std::string kDownloads = std::string(kTarget) + "-downloads";
const std::string kCarried = std::string(kTarget) + "-carried";
const char kWineVersion[] = "Software\\Wine\\AppDefaults\\zepsetup.exe";

std::string Group() {
    char programs[MAX_PATH] = "";
    ::SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    return std::string(programs) + "\\ZEP Road";
}

std::string Record(const char* key) {
    return std::to_string(ReadRegDword((std::string(ZEP_CLIENT_KEY "\\") + key).c_str(), "Version", 0));
}

// A file's modification time in the local calendar.
std::string Modified(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    SYSTEMTIME time{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &time))
        return "unreadable";
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond);
    return text;
}

// Welcome to the Install or download page, which is given the folder (and
// download only).
std::vector<Step> Intro(const std::string& folder, bool downloadOnly = false) {
    std::vector<Step> steps{{Act::Look, &kWelcomeOfRoad, Next},
                            {Act::Next, &kLicense, Back},
                            {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
                            {Act::Next, &kInstallOrDownload, Back | Next}};
    if (downloadOnly) steps.push_back({Act::Click, &kInstallOrDownload, Back | Next, {}, IDC_MODE_DOWNLOAD_ONLY});
    steps.push_back({Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, folder});
    return steps;
}

// From the Preparing page, whose total is shown, to the mirror in row.
std::vector<Step> ToMirror(const char* total, int row) {
    return {{Act::Next, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, total}}},
            {Act::Next, &kChooseSiteOfRoad, Back, {{Sites, kSitesShown}}},
            {Act::Row, &kChooseSiteOfRoad, Back | Next, {}, IDC_SITES_LIST, std::to_string(row)}};
}

std::vector<Step> operator+(std::vector<Step> first, const std::vector<Step>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// The rows show once the updated list has been fetched: Next pressed while
// the fetch runs would reach the sheet behind its wait dialog.
const Step kComponentsShown{Act::Next, &kComponentsOfRoad, Back | Next,
                            {{ComponentRows, "ZEP Base|not installed|1.1|install,ZEP Tools|not installed|1.0|install,"
                                             "ZEP Bad|not installed|1.0|install"}}};
const Step kCancelled{Act::Answer, nullptr, None, {}, IDYES, kAskCancel};
const std::vector<Step> kInstalled = {{Act::Next, &kInstallingOfRoad, None},
                                      {Act::Answer, &kFinishOfRoad, Finish,
                                       {{IDC_FINISH_OUTCOME, kFinished}, {InstallingBars, "2/2 5/5 "}}, IDOK, kBadNamed},
                                      {Act::Finish, nullptr}};
const char kRowsInstalled[] = "ZEP Base|already installed|1.1|,ZEP Tools|already installed|1.0|,"
                              "ZEP Bad|not installed|1.0|install";

struct Road {
    const char* name;
    int minor;       // of Tools on the site
    bool siteUp;     // else the program's own catalogue points nowhere
    bool fresh;      // a computer that never had the product
    std::vector<Step> steps;
    std::function<void()> check;
};

HANDLE g_held = INVALID_HANDLE_VALUE;

const Road kRoads[] = {
    {"stalled-mirror", 0, true, true,
     Intro(kDownloads) + std::vector<Step>{kComponentsShown} + ToMirror("139", 1) +
         std::vector<Step>{{Act::Next, &kDownloadingOfRoad, None, {{IDC_DOWNLOADING_BYTES, "2  of  139"}}},
                           {Act::Cancel, &kDownloadingOfRoad, None},
                           kCancelled},
     [] {
         // The transfer's partial file went with the program.
         EXPECT_EQ((Lines{"bad.pki", "base.pki", "sites.ini", "tools.pki", "zep.sif"}), SortedFilesIn(kDownloads));
         EXPECT_FALSE(FileExists(kTarget));
     }},
    {"broken-mirror", 0, true, true,
     Intro(kDownloads) + std::vector<Step>{kComponentsShown} + ToMirror("139", 2) +
         std::vector<Step>{{Act::Next, &kDownloadingOfRoad, None,
                            {{IDC_DOWNLOADING_FILE, "base.dll  (attempt 2 failed, trying again in 1 sec)"}}},
                           {Act::Cancel, &kDownloadingOfRoad, None},
                           kCancelled},
     [] { EXPECT_FALSE(FileExists(kTarget)); }},
    {"first-install", 0, true, true,
     Intro(kDownloads) + std::vector<Step>{kComponentsShown} + ToMirror("139", 0) + kInstalled,
     [] {
         EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
         EXPECT_EQ((Lines{"Base.DeIsLog", "Tools.DeIsLog", "base.ini"}), SortedFilesIn(kTarget));
         EXPECT_EQ((Lines{"Base.lnk", "tools.lnk"}), SortedFilesIn(Group()));
         EXPECT_EQ(kBin + "\\base.dll", testsupport::ReadShortcut(Group() + "\\Base.lnk").at(0));
         EXPECT_EQ("257 256 0", Record("Base") + " " + Record("Tools") + " " + Record("Bad"));
         // A plain file takes the date its package info gives it.
         EXPECT_EQ("2003-01-02 04:05:06", Modified(kDownloads + "\\base.dll"));
     }},
    {"second-run", 0, true, false,
     Intro(kDownloads) + std::vector<Step>{{Act::Next, &kComponentsOfRoad, Back | Next, {{ComponentRows, kRowsInstalled}}},
                                          {Act::Cancel, &kComponentsOfRoad, Back | Next},
                                          kCancelled},
     [] { EXPECT_EQ("257 256 0", Record("Base") + " " + Record("Tools") + " " + Record("Bad")); }},
    {"upgrade-in-use", 1, true, false,
     Intro(kDownloads) +
         std::vector<Step>{{Act::Next, &kComponentsOfRoad, Back | Next,
                            {{ComponentRows, "ZEP Base|already installed|1.1|,ZEP Tools|upgrade available|1.1|upgrade,"
                                             "ZEP Bad|not installed|1.0|install"}}}} +
         ToMirror("63", 0) +
         std::vector<Step>{{Act::Next, &kInstallingOfRoad, None},
                           {Act::Answer, &kFinishOfRoad, Finish, {{IDC_FINISH_REBOOT_NOW, "Reboot now [x]"}}, IDOK,
                            kBadNamed},
                           {Act::Click, &kFinishOfRoad, Finish, {}, IDC_FINISH_REBOOT_LATER},
                           {Act::Finish, nullptr}},
     [] {
         ::CloseHandle(g_held);
         EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe")) << "replaced before the restart";
         DWORD exitCode = 1;
         EXPECT_TRUE(testsupport::RunChild("wineboot.exe -r", "", 120000, exitCode)) << "the prefix did not restart";
         EXPECT_EQ("tools 1.1", testsupport::FileText(kBin + "\\tools.exe"));
         EXPECT_EQ("257", Record("Tools"));
     }},
    {"removal", 1, true, false,
     Intro(kDownloads) +
         std::vector<Step>{{Act::Next, &kComponentsOfRoad, Back | Next,
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
         EXPECT_EQ(Lines{"base.ini"}, SortedFilesIn(kTarget)) << "only the file kept on removal stays";
         EXPECT_FALSE(FileExists(kBin) || FileExists(Group()));
         EXPECT_EQ("0 0", Record("Base") + " " + Record("Tools"));
     }},
    {"download-only", 0, true, true,
     Intro(kCarried, true) + ToMirror("143", 0) +
         std::vector<Step>{{Act::Next, &kDownloadingOfRoad, Finish,
                            {{IDC_DOWNLOADING_COMPONENT, "Download complete."}, {IDC_DOWNLOADING_BYTES, "143  of  143"}}},
                           {Act::Finish, nullptr}},
     [] {
         EXPECT_EQ((Lines{"9x.dll", "bad.ex_", "bad.pki", "base.dll", "base.ini", "base.pki", "nt.dll", "sites.ini",
                          "tools.ex_", "tools.pki", "zep.sif"}),
                   SortedFilesIn(kCarried));
         EXPECT_FALSE(FileExists(kTarget)) << "download only installed something";
     }},
    // The folder carried to a computer of the 95/98 family that never had
    // the product and cannot reach the site.
    {"offline-95-98", 0, false, true,
     Intro(kCarried) +
         std::vector<Step>{{Act::Next, &kComponentsOfRoad, Back | Next},
                           {Act::Answer, kComponentsShown.page, Back | Next, kComponentsShown.shows, IDYES, kAskLocal},
                           {Act::Next, &kPreparingOfRoad, Back | Next},
                           {Act::Answer, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}, IDYES,
                            kAskLocal}} +
         kInstalled,
     [] { EXPECT_EQ((Lines{"9x.dll", "base.dll", "tools.exe"}), SortedFilesIn(kBin)); }},
};

}  // namespace

TEST(Acceptance, EveryRoadEndToEnd) {
    ::CoInitialize(nullptr);
    const std::string site = testweb::RootDir() + "\\acceptance", url = testweb::BaseUrl() + "/acceptance/";
    std::string faults = "{";
    for (const File& file : PackageFiles(0))
        faults += std::string(faults.size() > 1 ? "," : "") + "\"/acceptance/stalled/files/" + file.first +
                  "\": {\"stall\": 60, \"stall_at\": 2}";
    testsupport::WriteFile(testweb::RootDir() + "\\faults.json", faults + "}");
    for (const std::string& folder : {std::string(kTarget), kDownloads, kCarried}) testsupport::RemoveTree(folder);
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        const std::string name = road.name;
        PublishSite(site, url, road.minor);
        if (road.fresh) testsupport::RemoveTree(kTarget);
        if (name == "upgrade-in-use")  // as a running program holds it
            g_held = ::CreateFileA((kBin + "\\tools.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (name == "offline-95-98") {
            ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, kWineVersion, "Version", REG_SZ, "win98"));
        }
        Wizard run;
        ASSERT_TRUE(run.Launch("acceptance-" + name, SetupInfo(road.minor, road.siteUp ? url : "http://127.0.0.1:9/"),
                               "", road.fresh));
        run.SetShotPrefix("acceptance_" + name + "_");
        ASSERT_TRUE(run.WaitForSheet());
        EXPECT_TRUE(run.Walk(road.steps));
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kWineVersion);
        EXPECT_TRUE(robot::WaitUntil([&] { return run.Gone(); }, kTimeoutMs)) << "the program did not end";
        road.check();
    }
}
