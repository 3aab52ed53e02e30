#include "support/Roads.h"

#include "app/Registry.h"
#include "install/FileHash.h"
#include "res/resource.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestPublisher.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>

using namespace wizard;

namespace roads {

const char kTarget[] = "C:\\zep-road";
const std::string kBin = std::string(kTarget) + "\\bin", kDownloads = std::string(kTarget) + "-downloads";
const char kFinished[] = "Setup Wizard finished installing/upgrading components.";
const char kBadNamed[] = "The following components could not be installed:\nZEP Bad";
const wizard::Page kWelcomeOfRoad{IDC_WELCOME_TITLE, "ZEP Road", "road-welcome"};
const wizard::Page kComponentsOfRoad{IDC_COMPONENTS_TITLE, "Select components", "road-components"};
const wizard::Page kPreparingOfRoad{IDC_PREPARING_TITLE, "Preparing to setup", "road-preparing"};
const wizard::Page kChooseSiteOfRoad{IDC_SITES_TITLE, "Choose download location", "road-choose-site"};
const wizard::Page kDownloadingOfRoad{IDC_DOWNLOADING_TITLE, "Downloading components", "road-downloading"};
const wizard::Page kInstallingOfRoad{IDC_INSTALLING_TITLE, "Installing / Upgrading", "road-installing"};
const wizard::Page kRemovingOfRoad{IDC_REMOVING_TITLE, "Removing components", "road-removing"};
const wizard::Page kFinishOfRoad{IDC_FINISH_TITLE, "Setup Wizard Finished", "road-finish"};

namespace {

// Flags 2: not on 95/98, 4: not on NT; the second field after the folder
// is the flags, 1 keeps the file on removal. Only base.dll is dated.
const char kBaseInfo[] =
    "[Package]\r\nVer=257\r\n[Folders]\r\n1=${Target}\\bin\r\n2=${Target}\r\n[Sources]\r\n0=files\r\n[Files]\r\n"
    "base.dll=,01/02/2003 04:05:06,4,,,0,1\r\nbase.ini=,,4,,,0,2,1\r\nnt.dll=,,4,,,0,1,2\r\n9x.dll=,,4,,,0,1,4\r\n"
    "[Shortcuts]\r\nBase=${Target}\\bin\\base.dll,\r\n";

// A compressed file holding text, at version 1.0.0.minor.
std::string Packed(const std::string& text, int minor) {
    return testsupport::MakeCompressedPackage(text, 946031400, 0x0001000000000000 + minor);
}

std::string Tools(int minor) { return Packed("tools 1." + std::to_string(minor), minor); }

std::string Bad() {
    std::string bad = Packed(std::string(4000, 'b') + "ad", 0);
    bad[bad.size() / 2] ^= 0x55;
    return bad;
}

// The publisher's [Hashes] section of files.
std::string Hashes(const std::vector<File>& files) {
    std::string section = "[Hashes]\r\n";
    for (const File& file : files) section += file.first + "=" + testsupport::Sha256Text(file.second) + "\r\n";
    return section;
}

// A package of one compressed file installed into bin, with a shortcut,
// dated after any copy installed before: an upgrade replaces it. The
// publisher's hash names the file packed.
std::string CompressedInfo(int version, const std::string& name, int minor, const std::string& packed) {
    return "[Package]\r\nVer=" + std::to_string(version) + "\r\n[Folders]\r\n1=${Target}\\bin\r\n[Sources]\r\n" +
           "0=files\r\n[Files]\r\n" + name + ".exe=1.0.0." + std::to_string(minor) + ",12/31/2037 00:00:00,9," + name +
           ".ex_," + std::to_string(packed.size()) + ",0,1\r\n[Shortcuts]\r\n" + name + "=${Target}\\bin\\" + name +
           ".exe,\r\n" + Hashes({{name + ".ex_", packed}});
}

}  // namespace

std::string SetupInfo(int minor, const std::string& baseUrl, int timeoutSec) {
    return "[Product]\r\n" + testsupport::RoadPublisher().KeyLine() +
           (timeoutSec ? "TransferTimeout=" + std::to_string(timeoutSec) + "\r\n" : "") +
           "Name=ZEP Road\r\nDestination=C:\\zep-road\r\nGroup=ZEP Road\r\nLocationsInfo=sites.ini\r\n"
           "BaseURL=" + baseUrl + "\r\nSetupInfoLocation=setup\r\n[Components]\r\nBase\r\nTools\r\nBad\r\n"
           "[CompBase]\r\nName=ZEP Base\r\nPkgInfo=base.pki\r\nPkgInfoLocation=pki\r\nVer=257\r\n"
           "[CompTools]\r\nName=ZEP Tools\r\nPkgInfo=tools.pki\r\nPkgInfoLocation=pki\r\nDependOn1=Base\r\nVer=" +
           std::to_string(256 + minor) + "\r\n[CompBad]\r\nName=ZEP Bad\r\nPkgInfo=bad.pki\r\nPkgInfoLocation=pki\r\n"
           "Ver=256\r\n";
}

std::vector<File> PackageInfos(int minor) {
    const std::vector<File> files = PackageFiles(minor);
    return {{"base.pki", kBaseInfo + Hashes({files.begin(), files.begin() + 4})},
            {"tools.pki", CompressedInfo(256 + minor, "tools", minor, Tools(minor))},
            {"bad.pki", CompressedInfo(256, "bad", 0, Bad())}};
}

std::vector<File> PackageFiles(int minor) {
    return {{"base.dll", "base"}, {"base.ini", "keep"}, {"nt.dll", "nt32"},
            {"9x.dll", "9x32"},   {"tools.ex_", Tools(minor)}, {"bad.ex_", Bad()}};
}

const char kSitesShown[] = "Europe,America, Europe: Good mirror,Stalled mirror,Broken mirror";

void PublishSite(const std::string& folder, const std::string& url, int minor) {
    for (const char* sub : {"", "\\setup", "\\pki", "\\mirror", "\\mirror\\files", "\\stalled",
                            "\\stalled\\files", "\\broken"})
        ::CreateDirectoryA((folder + sub).c_str(), nullptr);
    testsupport::WriteFile(folder + "\\setup\\zep.sif", SetupInfo(minor, url));
    testsupport::WriteFile(folder + "\\setup\\sites.ini",
                           "[Regions]\r\n1=Europe\r\n2=America\r\n[Locations]\r\n" + url + "broken/=1,Broken mirror\r\n" +
                               url + "stalled/=1,Stalled mirror\r\n" + url + "mirror=1,Good mirror\r\n" + url +
                               "far/=2,Far mirror\r\n");
    std::vector<std::string> signedFiles{folder + "\\setup\\sites.ini"};
    for (const File& file : PackageInfos(minor)) {
        testsupport::WriteFile(folder + "\\pki\\" + file.first, file.second);
        signedFiles.push_back(folder + "\\pki\\" + file.first);
    }
    testsupport::RoadPublisher().Sign(folder + "\\setup\\zep.sif", signedFiles);
    for (const File& file : PackageFiles(minor))
        for (const char* mirror : {"\\mirror\\files\\", "\\stalled\\files\\"})
            testsupport::WriteFile(folder + mirror + file.first, file.second);
}

std::string Sites(HWND page) {
    HWND combo = ::GetDlgItem(page, IDC_SITES_REGIONS);
    std::string text;
    DWORD_PTR count = 0;
    ::SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, wizard::kTimeoutMs, &count);
    for (WPARAM i = 0; i < count; ++i) {
        // Wine hands the entries of another process's box over in UTF-16 only.
        wchar_t name[64] = L"";
        ::SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name), SMTO_ABORTIFHUNG,
                              wizard::kTimeoutMs, nullptr);
        for (const wchar_t* c = name; *c; ++c) text += char(*c);
        text += ",";
    }
    return text + " " + robot::GetText(combo) + ": " + wizard::ListText(::GetDlgItem(page, IDC_SITES_LIST), 0, 1);
}

std::string InstallingBars(HWND page) {
    HWND installing = nullptr;
    while ((installing = ::FindWindowExA(::GetParent(page), installing, nullptr, nullptr)))
        if (::GetDlgItem(installing, IDC_INSTALLING_COPY_PROGRESS)) break;
    std::string bars;
    for (int id : {IDC_INSTALLING_UNPACK_PROGRESS, IDC_INSTALLING_COPY_PROGRESS}) {
        HWND bar = ::GetDlgItem(installing, id);
        bars += std::to_string(::SendMessageA(bar, PBM_GETPOS, 0, 0)) + "/" +
                std::to_string(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0)) + " ";
    }
    return bars;
}

std::string Record(const char* key) {
    return std::to_string(ReadRegDword((std::string(ZEP_CLIENT_KEY "\\") + key).c_str(), "Version", 0));
}

std::string Group() {
    char programs[MAX_PATH] = "";
    ::SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    return std::string(programs) + "\\ZEP Road";
}

Steps operator+(Steps first, const Steps& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

Steps Intro(const std::string& folder, bool downloadOnly) {
    Steps steps{{Act::Look, &kWelcomeOfRoad, Next},
                {Act::Next, &kLicense, Back},
                {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
                {Act::Next, &kInstallOrDownload, Back | Next}};
    if (downloadOnly) steps.push_back({Act::Click, &kInstallOrDownload, Back | Next, {}, IDC_MODE_DOWNLOAD_ONLY});
    steps.push_back({Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, folder});
    return steps;
}

// The rows show once the updated list has been fetched: Next pressed while
// the fetch runs (a TLS handshake takes a while) would reach the sheet behind
// its wait dialog, where no user could.
const Step kComponentsFetched{Act::Next, &kComponentsOfRoad, Back | Next,
                              {{ComponentRows, "ZEP Base|not installed|1.1|install,ZEP Tools|not installed|1.0|install,"
                                               "ZEP Bad|not installed|1.0|install"}}};

Steps ToMirror(const char* total, int row) {
    return {{Act::Next, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, total}}},
            {Act::Next, &kChooseSiteOfRoad, Back, {{Sites, kSitesShown}}},
            {Act::Row, &kChooseSiteOfRoad, Back | Next, {}, IDC_SITES_LIST, std::to_string(row)}};
}

const Steps kInstalled = {{Act::Next, &kInstallingOfRoad, None},
                          {Act::Answer, &kFinishOfRoad, Finish,
                           {{IDC_FINISH_OUTCOME, kFinished}, {InstallingBars, "2/2 5/5 "}}, IDOK, kBadNamed},
                          {Act::Finish, nullptr}};

Steps OfflineToPreparing(const std::string& folder, const std::string& total) {
    return Intro(folder) + Steps{{Act::Next, &kComponentsOfRoad, Back | Next},
                                 {Act::Answer, kComponentsFetched.page, Back | Next, kComponentsFetched.shows, IDYES,
                                  kAskLocal},
                                 {Act::Next, &kPreparingOfRoad, Back | Next},
                                 {Act::Answer, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, total}}, IDYES,
                                  kAskLocal}};
}

Steps FirstInstall() { return Intro(kDownloads) + Steps{kComponentsFetched} + ToMirror("139", 0) + kInstalled; }

namespace {

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

}  // namespace

void CheckFirstInstall() {
    ::CoInitialize(nullptr);  // the shortcut is read through the shell's objects
    using testsupport::Lines;
    using testsupport::SortedFilesIn;
    EXPECT_EQ((Lines{"bad.ex_", "bad.pki", "base.dll", "base.ini", "base.pki", "nt.dll", "sites.ini", "tools.ex_",
                     "tools.pki", "zep.sif", "zep.sif.sig"}),
              SortedFilesIn(kDownloads));
    EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
    EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe"));
    EXPECT_EQ((Lines{"Base.DeIsLog", "Tools.DeIsLog", "base.ini"}), SortedFilesIn(kTarget));
    EXPECT_EQ((Lines{"Base.lnk", "tools.lnk"}), SortedFilesIn(Group()));
    EXPECT_EQ(kBin + "\\base.dll", testsupport::ReadShortcut(Group() + "\\Base.lnk").at(0));
    EXPECT_EQ("257 256 0", Record("Base") + " " + Record("Tools") + " " + Record("Bad"));
    // A plain file takes the date its package info gives it.
    EXPECT_EQ("2003-01-02 04:05:06", Modified(kDownloads + "\\base.dll"));
}

void Drive(const Road& road, const std::string& baseUrl, const std::string& shotPrefix) {
    SCOPED_TRACE(road.name);
    if (road.fresh) testsupport::RemoveTree(kTarget);
    Wizard run;
    ASSERT_TRUE(run.Launch(road.name, SetupInfo(road.minor, baseUrl, road.timeoutSec), "", road.fresh));
    run.SetShotPrefix(shotPrefix);
    ASSERT_TRUE(run.WaitForSheet());
    EXPECT_TRUE(run.Walk(road.steps));
    EXPECT_TRUE(robot::WaitUntil([&] { return run.Gone(); }, kTimeoutMs)) << "the program did not end";
    road.check();
}

}  // namespace roads
