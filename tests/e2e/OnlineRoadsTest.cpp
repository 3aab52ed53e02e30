// The real zepsetup.exe installs from the test web site: the catalogue,
// sites list and package info files from the setup site, the package files
// from the mirror the user picks; and downloads only, for an installation
// elsewhere with the site out of reach.
#include "app/Registry.h"
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
using testsupport::Lines;
using testsupport::SortedFilesIn;
using testsupport::WriteFile;

namespace {

// Below online/ of the test web site: the setup site (setup/, pki/), a good
// mirror and one whose every file stalls after its first bytes.
std::string PrepareSite() {
    const std::string root = testweb::RootDir() + "\\online\\", url = testweb::BaseUrl() + "/online/";
    for (const char* folder : {"", "setup", "pki", "mirror", "mirror\\files", "stalled", "stalled\\files"})
        ::CreateDirectoryA((root + folder).c_str(), nullptr);
    WriteFile(root + "setup\\zep.sif", SetupInfo(0, url));
    WriteFile(root + "setup\\sites.ini", "[Regions]\r\n1=Europe\r\n2=America\r\n[Locations]\r\n" + url +
                                             "stalled/=1,Stalled mirror\r\n" + url + "mirror=1,Good mirror\r\n" +
                                             url + "far/=2,Far mirror\r\n");
    for (const File& file : PackageInfos(0)) WriteFile(root + "pki\\" + file.first, file.second);
    std::string faults = "{";
    for (const File& file : PackageFiles(0)) {
        WriteFile(root + "mirror\\files\\" + file.first, file.second);
        WriteFile(root + "stalled\\files\\" + file.first, file.second);
        faults += std::string(faults.size() > 1 ? "," : "") + "\"/online/stalled/files/" + file.first +
                  "\": {\"stall\": 60, \"stall_at\": 2}";
    }
    WriteFile(testweb::RootDir() + "\\faults.json", faults + "}");
    return url;
}

// The regions box's entries, the region shown and its sites.
std::string Sites(HWND page) {
    HWND combo = ::GetDlgItem(page, IDC_SITES_REGIONS);
    std::string text;
    DWORD_PTR count = 0;
    ::SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &count);
    for (WPARAM i = 0; i < count; ++i) {
        // Wine hands the entries of another process's box over in UTF-16 only.
        wchar_t name[64] = L"";
        ::SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name), SMTO_ABORTIFHUNG, kTimeoutMs,
                              nullptr);
        for (const wchar_t* c = name; *c; ++c) text += char(*c);
        text += ",";
    }
    return text + " " + robot::GetText(combo) + ": " + ListText(::GetDlgItem(page, IDC_SITES_LIST), 0, 1);
}

const char kSites[] = "Europe,America, Europe: Good mirror,Stalled mirror";

// A run on the site, from Welcome to the Choose site page with the mirror
// in row picked; what the Install or download page is given comes first.
void RunToMirror(Wizard& run, const std::vector<Step>& mode, int row) {
    ASSERT_TRUE(run.WaitForSheet());
    std::vector<Step> steps{{Act::Next, &kLicense, Back}, {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
                            {Act::Next, &kInstallOrDownload, Back | Next}};
    steps.insert(steps.end(), mode.begin(), mode.end());
    steps.push_back({Act::Next, &kChooseSiteOfRoad, Back, {{Sites, kSites}}});
    ASSERT_TRUE(run.Walk(steps));
    robot::ClickListRow(::GetDlgItem(run.Page(), IDC_SITES_LIST), row);
    ASSERT_TRUE(run.Walk({{Act::Look, &kChooseSiteOfRoad, Back | Next}}));
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

const Shows kFinishedInstall{{IDC_FINISH_OUTCOME, kFinished}, {InstallingBars, "2/2 5/5 "}};

}  // namespace

// A first installation: the package files come from the mirror picked, are
// kept in the download folder and installed; Bad's damaged file is named.
// A mirror that stalls holds its transfer until Cancel, which ends the
// program within seconds without a partial file left.
TEST(OnlineRoads, FirstInstallFromAMirrorAndCancelOnAStalledOne) {
    const std::string url = PrepareSite();
    testsupport::RemoveTree(kTarget);
    const std::vector<Step> install{{Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, ""},
                                    {Act::Next, &kComponentsOfRoad, Back | Next},
                                    {Act::Next, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "139"}}}};
    for (int row : {1, 0}) {
        SCOPED_TRACE(row ? "stalled" : "good");
        Wizard run;
        ASSERT_TRUE(run.Launch(row ? "online-stalled" : "online-install", SetupInfo(0, url)));
        std::vector<Step> mode = install;
        mode[0].text = run.Dir() + "\\dl";
        RunToMirror(run, mode, row);
        if (row == 1) {
            ASSERT_TRUE(run.Walk({{Act::Next, &kDownloadingOfRoad, None, {{IDC_DOWNLOADING_BYTES, "2  of  139"}}}}));
            run.ExpectCancel(Cancel::Asks, "road-downloading-stalled");
            EXPECT_EQ((Lines{"bad.pki", "base.pki", "sites.ini", "tools.pki", "zep.sif"}),
                      SortedFilesIn(run.Dir() + "\\dl"));
            continue;
        }
        EXPECT_TRUE(run.Walk({{Act::Next, &kInstallingOfRoad, None},
                              {Act::Answer, &kFinishOfRoad, Finish, kFinishedInstall, IDOK, kBadNamed},
                              {Act::Finish, nullptr}}));
        EXPECT_EQ((Lines{"bad.ex_", "bad.pki", "base.dll", "base.ini", "base.pki", "nt.dll", "sites.ini",
                         "tools.ex_", "tools.pki", "zep.sif"}),
                  SortedFilesIn(run.Dir() + "\\dl"));
        // A plain file takes the date its package info gives it.
        EXPECT_EQ("2003-01-02 04:05:06", Modified(run.Dir() + "\\dl\\base.dll"));
    }
    EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
    EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe"));
    EXPECT_EQ(257u, ReadRegDword(ZEP_CLIENT_KEY "\\Base", "Version", 0));
}

// Download only into an empty folder; then, on a computer that never had
// the product and without the site, that folder installs it.
TEST(OnlineRoads, DownloadOnlyThenInstallFromThatFolderOffline) {
    const std::string url = PrepareSite();
    testsupport::RemoveTree(kTarget);
    const std::string folder = testsupport::MakeScratchDir("online-carried");
    Wizard download;
    ASSERT_TRUE(download.Launch("online-download-only", SetupInfo(0, url)));
    RunToMirror(download,
                {{Act::Click, &kInstallOrDownload, Back | Next, {}, IDC_MODE_DOWNLOAD_ONLY},
                 {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, folder},
                 {Act::Next, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "143"}}}},
                0);
    ASSERT_TRUE(download.Walk({{Act::Next, &kDownloadingOfRoad, Finish,
                                {{IDC_DOWNLOADING_COMPONENT, "Download complete."},
                                 {IDC_DOWNLOADING_BYTES, "143  of  143"}}},
                               {Act::Finish, nullptr}}));
    EXPECT_FALSE(testsupport::FileExists(kTarget)) << "download only installed something";

    Wizard install;
    ASSERT_TRUE(install.Launch("online-offline-install", SetupInfo(0, "http://127.0.0.1:9/")));
    ASSERT_TRUE(install.WaitForSheet());
    EXPECT_TRUE(install.Walk(
        {{Act::Next, &kLicense, Back},
         {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
         {Act::Next, &kInstallOrDownload, Back | Next},
         {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, folder},
         {Act::Next, &kComponentsOfRoad, Back | Next},
         {Act::Answer, &kComponentsOfRoad, Back | Next, {}, IDYES, kAskLocal},
         {Act::Next, &kPreparingOfRoad, Back | Next},
         {Act::Answer, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}, IDYES, kAskLocal},
         {Act::Next, &kInstallingOfRoad, None},
         {Act::Answer, &kFinishOfRoad, Finish, kFinishedInstall, IDOK, kBadNamed},
         {Act::Finish, nullptr}}));
    EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
}
