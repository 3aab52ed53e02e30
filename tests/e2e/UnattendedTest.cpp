// The real zepsetup.exe run as deployment tools run it, without a window:
// one run after another against the test web site, each with its exit code,
// what it leaves on disk and in the registry, and the lines of its log.
#include "app/Registry.h"
#include "app/UninstallEntry.h"
#include "framework/Dpi.h"
#include "install/StopPoint.h"
#include "res/version.h"
#include "res/resource.h"
#include "support/ChildProcess.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/TestPublisher.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <functional>
#include <memory>

using namespace roads;
using testsupport::Lines;
using testsupport::SortedFilesIn;

namespace {

const std::string kCarried = std::string(kTarget) + "-unattended";
// What Wine shows of a folder everyone may write.
const char kEveryoneWrites[] = ";0x1301ff;;;WD)";
const std::string kBaseLog = std::string(kTarget) + "\\Base.DeIsLog";
std::string g_baseLog;
std::unique_ptr<robot::Process> g_first;

struct QuietRun {
    std::string name;
    std::string options;
    int exitCode;
    Lines logged;
    std::function<void()> check = [] {};
    int minor = 0;
    bool fresh = true;
    // Given the folder the run starts in, its download folder on a fresh computer.
    std::function<void(const std::string&)> before = [](const std::string&) {};
    // A file of the product held open through the run, as a running program holds it.
    std::string held = "";
};

// The newest default log in the temporary folder; "" when there is none.
std::string NewestDefaultLog() {
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    std::string newest;
    for (const std::string& name : SortedFilesIn(temp))
        if (name.rfind("zepsetup-", 0) == 0 && name.find(".log") == name.size() - 4) newest = name;
    return newest.empty() ? "" : temp + newest;
}

std::string SiteUrl() { return testweb::BaseUrl() + "/unattended/"; }
void Publish(int minor) { PublishSite(testweb::RootDir() + "\\unattended", SiteUrl(), minor); }

// A computer that never had the product.
void Fresh() {
    testsupport::RemoveTree(kTarget);
    testsupport::RemoveTree(Group());
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, ZEP_CLIENT_KEY);
}

// The exit code of a command run in folder to its end; 1 when it did not run.
DWORD RunToEnd(const std::string& commandLine, const std::string& folder) {
    DWORD exitCode = 1;
    EXPECT_TRUE(testsupport::RunChild(commandLine, folder, 120000, exitCode)) << commandLine;
    return exitCode;
}

std::vector<QuietRun> Runs(const std::string& url) {
    return {
        {"unknown-option", "/quiet /frobnicate", 87, {"ZEP Setup " ZEP_VERSION_TEXT " started: /quiet /frobnicate",
                                                      "Message: Unknown option or value: /frobnicate", "Exit code 87"}},
        // Nothing is done without the log asked for, not even a log elsewhere.
        {"log-uncreatable", "/quiet /log:C:\\no-such-folder\\setup.log", 1622, {},
         [] { EXPECT_FALSE(testsupport::FileExists(kTarget)); }},
        // Another run holds the computer: this one only logs why it ends.
        {"second-run",
         "/quiet /accept-license /components:Tools /site:3",
         1618,
         {"Message: Another ZEP Setup is running. Start this one again once it has ended.", "Exit code 1618"},
         [] { g_first.reset(); },
         0, true,
         [](const std::string&) {
             // Without a setup information file it waits on its message.
             g_first = std::make_unique<robot::Process>();
             ASSERT_TRUE(g_first->Start(testsupport::BinDir() + "\\zepsetup.exe",
                                        testsupport::MakeScratchDir("unattended-first")));
             EXPECT_NE(nullptr, robot::WaitMessageBox(g_first->Id(), wizard::kTimeoutMs));
         }},
        // Removal could never find a relative folder again.
        {"relative-dir", "/quiet /accept-license /dir:zep /components:Tools", 87,
         {"Message: Unknown option or value: /dir:zep", "Exit code 87"},
         [] { EXPECT_FALSE(testsupport::FileExists(kTarget)); }},
        {"no-license",
         "/quiet /components:Tools",
         1602,
         {"The license was not accepted (/accept-license): nothing is installed", "Exit code 1602"},
         [] { EXPECT_FALSE(testsupport::FileExists(kTarget)); }},
        {"unknown-key",
         "/quiet /accept-license /components:Tools,Frob /site:3",
         87,
         {"No component Frob in the components list", "Exit code 87"},
         [] { EXPECT_FALSE(testsupport::FileExists(kTarget)); }},
        {"site-down",
         "/quiet /accept-license /site:3",
         1603,
         {"Fetch http://127.0.0.1:9/setup/zep.sif: failed (HTTP 0, 0 bytes, error 12029)",
          "The updated components list could not be fetched: the local list is used",
          "3 package(s) without a package info file are skipped", "Exit code 1603",
          "No publisher's key in the setup information file: nothing is verified against a publisher's signature"}},
        {"install",
         "/QUIET -accept-license /components:tools /site:3",
         0,
         {"Product: ZEP Road", "Component Base (ZEP Base): not installed, available 1.1, to install",
          "Component Tools (ZEP Tools): not installed, available 1.0, to install",
          "Fetch " + url + "mirror/files/tools.ex_: fetched (HTTP 200, ",
          "Package Tools, tools.ex_: download: no copy in the download folder",
          "Installed " + kBin + "\\tools.exe", "Not the publisher's: ", "Exit code 0"},
         [] {
             EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
             EXPECT_EQ("257 256 0", Record("Base") + " " + Record("Tools") + " " + Record("Bad"));
             EXPECT_FALSE(testsupport::FileExists("C:\\zep-planted"));
         },
         0, true,
         // Left by another user, newer than the list's and with hashes of its own.
         [](const std::string& dir) {
             testsupport::WriteFile(dir + "\\tools.pki",
                                    "[Package]\r\nVer=999\r\n[Folders]\r\n1=C:\\zep-planted\r\n[Sources]\r\n0=files\r\n"
                                    "[Files]\r\ntools.exe=,,4,,,0,1\r\n[Hashes]\r\ntools.exe=" +
                                        std::string(64, '0') + "\r\n");
         }},
        // Tools held open: its upgrade waits for the restart, which a passive run never makes itself.
        {"restart",
         "/passive /accept-license /components:Tools /site:3",
         3010,
         {"Component Tools (ZEP Tools): upgrade available, available 1.1, to upgrade",
          "Replaced at the next restart: " + kBin + "\\tools.exe", "Exit code 3010"},
         [] {
             EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe"));
             EXPECT_NE(std::string::npos, testsupport::PendingRenames().find("tools.exe"));
         },
         1, false, [](const std::string&) {}, "tools.exe"},
        // Base's log changed after the install: Tools goes, Base and its record stay.
        {"removal-refused",
         "/quiet /remove:Base",
         1603,
         {"Removal left alone the install log record " + kBaseLog + " (refused: it changed after the install)",
          "Component Base is not removed: its install log was refused", "Exit code 1603"},
         [] {
             EXPECT_EQ("257 0", Record("Base") + " " + Record("Tools"));
             testsupport::WriteFile(kBaseLog, g_baseLog);
         },
         1, false,
         [](const std::string&) {
             g_baseLog = testsupport::FileText(kBaseLog);
             testsupport::WriteFile(kBaseLog, g_baseLog + "x");
         }},
        // A file held open goes at the next restart, which the run never makes itself.
        {"removal-in-use",
         "/quiet /remove:Base /norestart",
         3010,
         {"Deleted at the next restart: " + kBin + "\\base.dll", "Exit code 3010"},
         [] {
             EXPECT_EQ("0 0", Record("Base") + " " + Record("Tools"));
             EXPECT_NE(std::string::npos, testsupport::PendingRenames().find("\\base.dll|"));
         },
         1, false, [](const std::string&) {}, "base.dll"},
        {"download-only",
         "/quiet /download-only:" + kCarried + " /site:3",
         0,
         {"Package Bad, bad.ex_: download: no copy in the download folder", "Exit code 0"},
         [] {
             EXPECT_EQ((Lines{"9x.dll", "bad.ex_", "bad.pki", "base.dll", "base.ini", "base.pki", "nt.dll", "sites.ini",
                              "tools.ex_", "tools.pki", "zep.sif", "zep.sif.sig", "zepsetup.exe", "zepsetup.sif"}),
                       SortedFilesIn(kCarried));
             EXPECT_FALSE(testsupport::FileExists(kTarget)) << "download only installed something";
         }},
        // That layout, the site out of reach, whatever folder an earlier run stored.
        {"source",
         "/quiet /accept-license /components:Tools /source:" + kCarried,
         0,
         {"verified: release 20261208093000", "Installed " + kBin + "\\tools.exe", "Exit code 0"},
         [] { EXPECT_EQ("257 256 C:\\elsewhere\\", Record("Base") + " " + Record("Tools") + " " +
                                                          testsupport::StoredText(ZEP_CLIENT_KEY, "DownloadPath")); },
         0, true, [](const std::string&) { WriteRegString(ZEP_CLIENT_KEY, "DownloadPath", "C:\\elsewhere\\"); }},
        // Tools' file is on no site: the passive run gives it up once every site failed it; Base's files,
        // fetched at the same time, arrive and are installed.
        {"every-site-fails",
         "/passive /accept-license /components:Tools /site:3",
         1603,
         {"Package file tools.ex_: fetching from Far mirror", "Package file tools.ex_: not fetched",
          "Exit code 1603"},
         [] { EXPECT_EQ("257 0", Record("Base") + " " + Record("Tools")); },
         0, true,
         [](const std::string&) {
             for (const char* mirror : {"mirror", "stalled"})
                 ::DeleteFileA((testweb::RootDir() + "\\unattended\\" + mirror + "\\files\\tools.ex_").c_str());
         }},
    };
}

// The texts of the product's entry in the list of installed programs, "|" after each.
std::string EntryTexts() {
    std::string texts;
    for (const char* name : {"DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "InstallLocation",
                             "UninstallString", "ModifyPath", "QuietUninstallString"})
        texts += testsupport::StoredText(kUninstallEntryKey, name) + "|";
    return texts;
}

// Calls visit with the path and size of every file below folder.
void ForEachFileBelow(const std::string& folder, const std::function<void(const std::string&, int64_t)>& visit) {
    WIN32_FIND_DATAA found;
    const HANDLE hFind = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            visit(folder + "\\" + found.cFileName, int64_t(found.nFileSizeHigh) << 32 | found.nFileSizeLow);
        else if (found.cFileName[0] != '.')
            ForEachFileBelow(folder + "\\" + found.cFileName, visit);
    while (::FindNextFileA(hFind, &found));
    ::FindClose(hFind);
}

// What every file below the folders holds, in KB rounded up.
DWORD TreeKB(const std::vector<std::string>& folders) {
    int64_t bytes = 0;
    for (const std::string& folder : folders)
        ForEachFileBelow(folder, [&bytes](const std::string&, int64_t size) { bytes += size; });
    return DWORD((bytes + 1023) / 1024);
}

// The product as the runs left it: every file below the install folder with
// its bytes, the program group's shortcuts and every value of the records.
std::string ProductState() {
    std::string state;
    ForEachFileBelow(kTarget, [&state](const std::string& path, int64_t) {
        std::string bytes;
        testsupport::ReadFile(path, bytes);
        state += path + "=" + bytes + "\n";
    });
    for (const std::string& name : SortedFilesIn(Group())) state += name + "\n";
    for (const char* key : {"Base", "Tools", "Bad"}) {
        HKEY hKey = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(ZEP_CLIENT_KEY "\\") + key).c_str(), 0, KEY_READ,
                            &hKey) != ERROR_SUCCESS)
            continue;
        char name[256], data[1024];
        for (DWORD i = 0, nameSize = sizeof name, dataSize = sizeof data;
             ::RegEnumValueA(hKey, i, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &dataSize) ==
             ERROR_SUCCESS;
             ++i, nameSize = sizeof name, dataSize = sizeof data)
            state += std::string(key) + "\\" + name + "=" + std::string(data, dataSize) + "\n";
        ::RegCloseKey(hKey);
    }
    return state;
}

// The removal a person starts from the entry's command: it asks first and
// says at the end what became of it. The kept copy hands it over, so the
// boxes are another process's.
DWORD UninstallWithWindow(const std::string& kept) {
    robot::Process removal;
    if (!removal.Start(kept, testsupport::MakeScratchDir("unattended-entry-person"), "/uninstall")) return 1;
    const std::pair<const char*, int> boxes[] = {
        {"Remove ZEP Road and all of its components from this computer?", IDYES},
        {"ZEP Road was removed from this computer.", IDOK}};
    for (const auto& [text, answer] : boxes) {
        HWND box = nullptr;
        EXPECT_TRUE(robot::WaitUntil([&] {
            box = robot::WaitProgramDialog("zepsetup.exe", false, 0);
            return box && robot::MessageBoxText(box) == text;
        }, wizard::kTimeoutMs)) << text;
        robot::AnswerMessageBox(box, answer);
    }
    return removal.WaitExit(wizard::kTimeoutMs) ? removal.ExitCode() : 1;
}

}  // namespace

TEST(Unattended, EveryExitCodeWithItsLog) {
    testsupport::RemoveTree(kCarried);
    for (const QuietRun& run : Runs(SiteUrl())) {
        SCOPED_TRACE(run.name);
        Publish(run.minor);
        if (run.fresh) Fresh();
        const std::string dir = testsupport::MakeScratchDir("unattended-" + run.name);
        run.before(dir);
        const bool offline = run.name == "site-down" || run.name == "source";
        std::string setupInfo = SetupInfo(run.minor, offline ? "http://127.0.0.1:9/" : SiteUrl());
        // A product published before signatures.
        const std::string keyLine = testsupport::RoadPublisher().KeyLine();
        if (run.name == "site-down") setupInfo.erase(setupInfo.find(keyLine), keyLine.size());
        ASSERT_TRUE(testsupport::WriteFile(dir + "\\zepsetup.sif", setupInfo));
        // The first run's log goes where a run without /log: puts it.
        const std::string log = run.name == "unknown-option" || run.logged.empty() ? "" : dir + "\\setup.log";
        const std::string logOption = log.empty() ? "" : " /log:" + log;
        const std::string program = testsupport::BinDir() + "\\zepsetup.exe ";
        const HANDLE held = run.held.empty() ? INVALID_HANDLE_VALUE
                                             : ::CreateFileA((kBin + "\\" + run.held).c_str(), GENERIC_READ,
                                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(run.exitCode, int(RunToEnd(program + run.options + logOption, dir)));
        if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
        std::string text;
        EXPECT_TRUE(run.logged.empty() || testsupport::ReadFile(log.empty() ? NewestDefaultLog() : log, text));
        for (const std::string& line : run.logged) EXPECT_NE(std::string::npos, text.find(line)) << line;
        run.check();
    }
}

// The test build of the program ends itself at a point of the commit, as a
// power cut would; the next run repairs the product to what a run never cut
// short leaves, and a removal, right after the cut or after the repair,
// leaves what the removal of that leaves.
TEST(Unattended, InstallCutShortIsRepairedOrRemovedWhole) {
    const std::string dir = testsupport::MakeScratchDir("unattended-cut-short");
    const std::string install = "/quiet /accept-license /components:Tools /site:3", removal = "/quiet /remove:Base";
    const auto run = [&dir](const char* program, const std::string& options, const char* stopAt = nullptr) {
        ::SetEnvironmentVariableA("ZEP_STOP_AT", stopAt);
        const DWORD exitCode = RunToEnd(testsupport::BinDir() + "\\" + program + " " + options, dir);
        ::SetEnvironmentVariableA("ZEP_STOP_AT", nullptr);
        return exitCode;
    };
    // A computer that never had the product, then the product at 1.minor installed uninterrupted.
    const auto installed = [&](int minor) {
        Fresh();
        for (int m = 0; m <= minor; ++m) {
            Publish(m);
            ASSERT_TRUE(testsupport::WriteFile(dir + "\\zepsetup.sif", SetupInfo(m, SiteUrl())));
            if (m < minor) {
                EXPECT_EQ(0u, run("zepsetup.exe", install));
            }
        }
    };
    std::string whole[2], removed;
    for (int minor : {0, 1}) {
        installed(minor);
        EXPECT_EQ(0u, run("zepsetup.exe", install));
        whole[minor] = ProductState();
    }
    EXPECT_EQ(0u, run("zepsetup.exe", removal));
    removed = ProductState();
    // The first install copies base.dll, base.ini, nt.dll, then tools.exe; the upgrade tools.exe alone.
    const struct { const char* stopAt; int minor; bool repaired; } cuts[] = {
        {"copied-beside:2", 0, true}, {"installed:3", 0, false},       {"committed:1", 0, true},
        {"log-committed:1", 0, false}, {"before-record:2", 0, true},  {"copied-beside:1", 1, false},
        {"installed:1", 1, true},      {"log-committed:1", 1, false}, {"before-record:1", 1, true}};
    for (const auto& cut : cuts) {
        SCOPED_TRACE(std::string(cut.stopAt) + " of 1." + std::to_string(cut.minor));
        installed(cut.minor);
        EXPECT_EQ(kStoppedExitCode, run("zepsetup-stops.exe", install, cut.stopAt));
        if (cut.repaired) {
            EXPECT_EQ(0u, run("zepsetup.exe", install));
            EXPECT_EQ(whole[cut.minor], ProductState());
        }
        EXPECT_EQ(0u, run("zepsetup.exe", removal));
        EXPECT_EQ(removed, ProductState());
    }
}

// Wine's screen DPI for the programs started while it lives; 96 again after.
struct ScreenDpi {
    explicit ScreenDpi(DWORD dpi) { Set(dpi); }
    ~ScreenDpi() { Set(96); }
    static void Set(DWORD dpi) {
        ::RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
};

// The wizard's pages show and go on by themselves; each page met is kept as
// a screenshot of the acceptance suite's "passive" road, at 96 DPI and at
// 144 DPI ("passive-144dpi"), where the pages show the pictures for 150 %.
TEST(Unattended, PassiveShowsEveryPageAndAsksNothing) {
    Publish(0);
    for (const auto& [dpi, road] : {std::pair<DWORD, const char*>{96, "passive"}, {144, "passive-144dpi"}}) {
        SCOPED_TRACE(road);
        const ScreenDpi screen(dpi);
        Fresh();
        const std::string dir = testsupport::MakeScratchDir(std::string("unattended-") + road);
        ASSERT_TRUE(testsupport::WriteFile(dir + "\\zepsetup.sif", SetupInfo(0, SiteUrl())));
        robot::Process program;
        ASSERT_TRUE(program.Start(testsupport::BinDir() + "\\zepsetup.exe", dir,
                                  "/passive /accept-license /components:Tools /site:3 /log:" + dir + "\\setup.log"));
        const HWND sheet = robot::WaitWizard(program.Id(), wizard::kTimeoutMs);
        ASSERT_NE(nullptr, sheet);
        std::vector<HWND> pages;
        RECT strip{};
        EXPECT_TRUE(robot::WaitUntil(
            [&] {
                const HWND page = robot::CurrentPage(sheet);
                if (page && (pages.empty() || pages.back() != page) && ::IsWindowVisible(page)) {
                    pages.push_back(page);
                    char name[80];
                    std::snprintf(name, sizeof name, "\\wizard-acceptance_%s_%02zu-page.bmp", road, pages.size());
                    robot::SavePaintedScreenshot(sheet, testsupport::ArtefactsDir() + name, wizard::kTimeoutMs);
                    if (pages.size() == 1) ::GetWindowRect(::GetDlgItem(page, IDC_SIDE_PICTURE), &strip);
                }
                return !program.IsRunning();
            },
            60000));
        EXPECT_EQ(0u, program.ExitCode());
        EXPECT_EQ(PictureLength(122, dpi), strip.right - strip.left) << "the side picture drawn for the screen";
        std::string log, met;
        EXPECT_TRUE(testsupport::ReadFile(dir + "\\setup.log", log));
        for (size_t at = log.find("Page: "); at != std::string::npos; at = log.find("Page: ", at + 1))
            met += log.substr(at + 6, log.find('\r', at) - at - 6) + ",";
        EXPECT_EQ("End-User License Agreement,Install / Download Options,Select components,Preparing to setup,"
                  "Choose download location,Downloading components,Installing / Upgrading,Setup Wizard Finished,",
                  met);
        EXPECT_LE(5u, pages.size()) << "screenshots of the pages met";
        EXPECT_EQ((Lines{"base.dll", "nt.dll", "tools.exe"}), SortedFilesIn(kBin));
    }
}

// The product's entry follows every install and removal, and its removal,
// quiet as a deployment tool starts it, passive or asking a person, takes
// the whole product.
TEST(Unattended, AppsAndFeaturesEntryFollowsTheProduct) {
    Publish(0);
    Fresh();
    const std::string dir = testsupport::MakeScratchDir("unattended-entry"), kept = KeptSetupFolder();
    // Made first by somebody else, writable by everyone, with a DLL in it.
    testsupport::RemoveTree(kept);
    ASSERT_TRUE(::SHCreateDirectoryExA(nullptr, kept.c_str(), nullptr) == ERROR_SUCCESS &&
                testsupport::SetDescriptor(kept, "D:(A;OICI;FA;;;WD)") &&
                testsupport::WriteFile(kept + "\\version.dll", "planted"));
    ASSERT_NE(std::string::npos, testsupport::Descriptor(kept).find(kEveryoneWrites));
    ASSERT_TRUE(testsupport::WriteFile(dir + "\\zepsetup.sif", SetupInfo(0, SiteUrl())) &&
                testsupport::WriteFile(dir + "\\license.txt", "The license"));
    const std::string program = "\"" + kept + "\\zepsetup.exe\"";
    const std::string quiet = testsupport::BinDir() + "\\zepsetup.exe /quiet /accept-license /site:3 ";
    for (const char* step : {"/components:Base", "/components:Tools", "/remove:Tools"}) {
        SCOPED_TRACE(step);
        // A size the run must put right: every run measures anew.
        WriteRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, "EstimatedSize", REG_DWORD, "1");
        // A copy without a version resource is older than any wizard: it is replaced.
        if (testsupport::FileExists(kept)) testsupport::WriteFile(kept + "\\zepsetup.exe", "an older wizard");
        EXPECT_EQ(0u, RunToEnd(quiet + step, dir));
        EXPECT_EQ("ZEP Road|1.1|ORBEL|" + kept + "\\zepsetup.exe,0|" + kTarget + "|" + program + " /uninstall|" +
                      program + " /modify|" + program + " /uninstall /quiet|",
                  EntryTexts());
        EXPECT_EQ(TreeKB({kTarget, kept}), ReadRegDword(kUninstallEntryKey, "EstimatedSize", 0));
        EXPECT_EQ(std::string::npos, testsupport::Descriptor(kept).find(kEveryoneWrites));
        EXPECT_EQ(1u, ReadRegDword(kUninstallEntryKey, "NoRepair", 0));
        EXPECT_EQ((Lines{"license.txt", "zepsetup.exe", "zepsetup.sif"}), SortedFilesIn(kept));
        EXPECT_TRUE(testsupport::FileText(kept + "\\zepsetup.exe") ==
                    testsupport::FileText(testsupport::BinDir() + "\\zepsetup.exe"));
    }
    {
        robot::Process modify;
        ASSERT_TRUE(modify.Start(kept + "\\zepsetup.exe", testsupport::MakeScratchDir("unattended-entry-modify"),
                                 "/modify"));
        const HWND sheet = robot::WaitWizard(modify.Id(), wizard::kTimeoutMs);
        EXPECT_TRUE(robot::WaitUntil(
            [&] { return robot::GetDlgText(robot::CurrentPage(sheet), IDC_COMPONENTS_TITLE) == "Select components"; },
            wizard::kTimeoutMs))
            << "the entry's command opens the wizard at the Components page";
    }
    // The whole product goes, the kept wizard too, without a restart: it hands the removal to a copy of itself
    // in the temporary folder, which is the one file left. Without the file Base keeps, nothing else is left.
    for (const std::string& removal : {testsupport::StoredText(kUninstallEntryKey, "QuietUninstallString"),
                                       program + " /uninstall /passive", program + " /uninstall"}) {
        SCOPED_TRACE(removal);
        if (!testsupport::FileExists(kept)) {
            EXPECT_EQ(0u, RunToEnd(quiet + "/components:Base", dir));
        }
        ::DeleteFileA((std::string(kTarget) + "\\base.ini").c_str());
        EXPECT_EQ(0u, removal == program + " /uninstall" ? UninstallWithWindow(kept + "\\zepsetup.exe")
                                            : RunToEnd(removal, testsupport::MakeScratchDir("unattended-entry-tool")));
        EXPECT_EQ("0 0 -", Record("Base") + " " + Record("Tools") + " " +
                               testsupport::StoredText(kUninstallEntryKey, "DisplayName"));
        EXPECT_FALSE(testsupport::FileExists(kTarget)) << "the install folder goes with the last component";
        EXPECT_TRUE(robot::WaitUntil([&] { return !testsupport::FileExists(kept); }, wizard::kTimeoutMs));
        const std::string pending = testsupport::PendingRenames();
        EXPECT_TRUE(pending.find(kKeptSetupFolder) == std::string::npos &&
                    pending.find("\\zepsetup-uninstall-") != std::string::npos) << pending;
    }
}
