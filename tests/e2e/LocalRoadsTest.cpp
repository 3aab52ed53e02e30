// The real zepsetup.exe installs, finds installed, upgrades and removes
// components from package files already in its folder, with the setup web
// site out of reach.
#include "app/Registry.h"
#include "res/resource.h"
#include "support/ChildProcess.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

using namespace wizard;
using testsupport::Lines;
using testsupport::SortedFilesIn;
using testsupport::WriteFile;

namespace {

const char kTarget[] = "C:\\zep-road";
const std::string kBin = std::string(kTarget) + "\\bin";
// Base installs a plain file with a shortcut, a file kept on removal, and a
// file for each platform family only (flags 2: not on 95/98, 4: not on NT).
const char kBaseInfo[] =
    "[Package]\r\nVer=257\r\n[Folders]\r\n1=${Target}\\bin\r\n2=${Target}\r\n[Sources]\r\n0=files\r\n[Files]\r\n"
    "base.dll=,,4,,,0,1\r\nbase.ini=,,4,,,0,2,1\r\nnt.dll=,,4,,,0,1,2\r\n9x.dll=,,4,,,0,1,4\r\n"
    "[Shortcuts]\r\nBase=${Target}\\bin\\base.dll,\r\n";
const Page kComponentsOfRoad{IDC_COMPONENTS_TITLE, "Select components", "road-components"};
const Page kPreparingOfRoad{IDC_PREPARING_TITLE, "Preparing to setup", "road-preparing"};
const Page kInstallingOfRoad{IDC_INSTALLING_TITLE, "Installing / Upgrading", "road-installing"};
const Page kRemovingOfRoad{IDC_REMOVING_TITLE, "Removing components", "road-removing"};
const Page kFinishOfRoad{IDC_FINISH_TITLE, "Setup Wizard Finished", "road-finish"};
const char kFinished[] = "Setup Wizard finished installing/upgrading components.";

// Where the Installing page left its unpack and copy bars, as "position/end"
// each; read while a later page shows.
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

// A compressed file holding text, at version 1.0.0.minor.
std::string Packed(const std::string& text, int minor) {
    return testsupport::MakeCompressedPackage(text, 946031400, 0x0001000000000000 + minor);
}

// A package info file of one compressed file installed into bin, dated
// after any copy installed before: an upgrade replaces it.
std::string CompressedInfo(int version, const std::string& name, int minor, size_t packedSize) {
    return "[Package]\r\nVer=" + std::to_string(version) + "\r\n[Folders]\r\n1=${Target}\\bin\r\n[Sources]\r\n" +
           "0=files\r\n[Files]\r\n" + name + ".exe=1.0.0." + std::to_string(minor) + ",12/31/2037 00:00:00,9," + name +
           ".ex_," + std::to_string(packedSize) + ",0,1\r\n[Shortcuts]\r\n" + name + "=${Target}\\bin\\" + name +
           ".exe,\r\n";
}

// One run with the package files beside the program: Base, Tools at 1.minor,
// which depends on Base, and Bad, whose compressed file is damaged. It goes
// through Welcome to the Components page, which shows rows and offers
// buttons, then rest runs.
void RunWizard(const char* name, int minor, const std::string& rows, unsigned buttons,
               const std::function<void(Wizard&)>& rest = {}) {
    const std::string tools = Packed("tools 1." + std::to_string(minor), minor);
    std::string bad = Packed(std::string(4000, 'b') + "ad", 0);
    bad[bad.size() / 2] ^= 0x55;
    const std::string setupInfo =
        "[Product]\r\nName=ZEP Road\r\nDestination=C:\\zep-road\r\nGroup=ZEP Road\r\nLocationsInfo=sites.ini\r\n"
        "BaseURL=http://127.0.0.1:9/\r\nSetupInfoLocation=setup\r\n[Components]\r\nBase\r\nTools\r\nBad\r\n"
        "[CompBase]\r\nName=ZEP Base\r\nPkgInfo=base.pki\r\nVer=257\r\n[CompTools]\r\nName=ZEP Tools\r\n"
        "PkgInfo=tools.pki\r\nDependOn1=Base\r\nVer=" + std::to_string(256 + minor) +
        "\r\n[CompBad]\r\nName=ZEP Bad\r\nPkgInfo=bad.pki\r\nVer=256\r\n";
    Wizard run;
    ASSERT_TRUE(run.Launch(name, setupInfo, "", minor == 0));
    for (const auto& file : {std::pair<std::string, std::string>{"base.pki", kBaseInfo}, {"base.dll", "base"},
                             {"base.ini", "keep"}, {"nt.dll", "nt32"}, {"9x.dll", "9x32"}, {"tools.ex_", tools},
                             {"tools.pki", CompressedInfo(256 + minor, "tools", minor, tools.size())},
                             {"bad.ex_", bad}, {"bad.pki", CompressedInfo(256, "bad", 0, bad.size())}})
        WriteFile(run.Dir() + "\\" + file.first, file.second);
    ASSERT_TRUE(run.WaitForSheet());
    ASSERT_TRUE(run.Walk({{Act::Next, &kLicense, Back},
                          {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
                          {Act::Next, &kInstallOrDownload, Back | Next},
                          {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, run.Dir()},
                          {Act::Next, &kComponentsOfRoad, Back | Next},
                          {Act::Answer, &kComponentsOfRoad, buttons, {{ComponentRows, rows}}, IDYES, kAskLocal}}));
    if (rest) rest(run);
}

// From the Components page on: what is chosen is installed; Bad is named as
// not installed.
std::vector<Step> InstallSteps(const Shows& finish) {
    return {{Act::Next, &kPreparingOfRoad, Back | Next},
            {Act::Answer, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}, IDYES, kAskLocal},
            {Act::Next, &kInstallingOfRoad, None},
            {Act::Answer, &kFinishOfRoad, Finish, finish, IDOK,
             "The following components could not be installed:\nZEP Bad"}};
}

}  // namespace

TEST(LocalRoads, InstallFindInstalledUpgradeAndRemove) {
    ::CoInitialize(nullptr);
    testsupport::RemoveTree(kTarget);
    char programs[MAX_PATH] = "";
    ASSERT_TRUE(::SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE));
    const std::string group = std::string(programs) + "\\ZEP Road";
    // The first run reports a system of the 95/98 family.
    const char kWineVersion[] = "Software\\Wine\\AppDefaults\\zepsetup.exe";
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, kWineVersion, "Version", REG_SZ, "win98"));
    RunWizard("road-install", 0,
              "ZEP Base|not installed|1.1|install,ZEP Tools|not installed|1.0|install,"
              "ZEP Bad|not installed|1.0|install",
              Back | Next, [](Wizard& run) {
                  std::vector<Step> steps = InstallSteps({{IDC_FINISH_OUTCOME, kFinished}, {InstallingBars, "2/2 5/5 "}});
                  steps.push_back({Act::Finish, nullptr});
                  EXPECT_TRUE(run.Walk(steps));
              });
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kWineVersion);
    EXPECT_EQ((Lines{"9x.dll", "base.dll", "tools.exe"}), SortedFilesIn(kBin));
    EXPECT_EQ((Lines{"Base.DeIsLog", "Tools.DeIsLog", "base.ini"}), SortedFilesIn(kTarget));
    EXPECT_EQ((Lines{"Base.lnk", "tools.lnk"}), SortedFilesIn(group));
    EXPECT_EQ(kBin + "\\base.dll", testsupport::ReadShortcut(group + "\\Base.lnk").at(0));
    EXPECT_EQ(0u, ReadRegDword(ZEP_CLIENT_KEY "\\Bad", "Version", 0)) << "a failed package was recorded";
    // A newer Tools replaces its file at the next restart while the file is held open.
    HANDLE held = ::CreateFileA((kBin + "\\tools.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    RunWizard("road-upgrade", 1,
              "ZEP Base|already installed|1.1|,ZEP Tools|upgrade available|1.1|upgrade,"
              "ZEP Bad|not installed|1.0|install",
              Back | Next, [](Wizard& run) {
                  std::vector<Step> steps = InstallSteps({{IDC_FINISH_REBOOT_NOW, "Reboot now [x]"}});
                  steps.push_back({Act::Click, &kFinishOfRoad, Finish, {}, IDC_FINISH_REBOOT_LATER});
                  steps.push_back({Act::Finish, nullptr});
                  EXPECT_TRUE(run.Walk(steps));
              });
    ::CloseHandle(held);
    EXPECT_EQ("tools 1.0", testsupport::FileText(kBin + "\\tools.exe"));
    EXPECT_EQ(257u, ReadRegDword(ZEP_CLIENT_KEY "\\Tools", "Version", 0));
    DWORD exitCode = 1;
    EXPECT_TRUE(testsupport::RunChild("wineboot.exe -r", "", 120000, exitCode)) << "the prefix did not restart";
    EXPECT_EQ("tools 1.1", testsupport::FileText(kBin + "\\tools.exe"));
    // Removing Base removes Tools, which depends on it, too.
    RunWizard("road-remove", 1,
              "ZEP Base|already installed|1.1|,ZEP Tools|already installed|1.1|,ZEP Bad|not installed|1.0|install",
              Back | Next, [](Wizard& run) {
                  HWND list = ::GetDlgItem(run.Page(), IDC_COMPONENTS_LIST);
                  robot::ClickListRow(list, 2);
                  robot::ClickListRow(list, 0);
                  robot::AnswerMessageBox(WaitDialogWith(IDC_DEPENDENTS_LIST, run.Pid()), IDYES);
                  const char hint[] = "Press Finish to exit Setup Wizard, or Back to proceed with other setup options.";
                  EXPECT_TRUE(run.Walk({{Act::Look, &kComponentsOfRoad, Back | Next,
                                         {{ComponentRows, "ZEP Base|already installed|1.1|remove,"
                                                 "ZEP Tools|already installed|1.1|remove,ZEP Bad|not installed|1.0|"}}},
                                        {Act::Next, &kRemovingOfRoad, Back | Finish, {{IDC_REMOVING_HINT, hint}}},
                                        {Act::Finish, nullptr}}));
              });
    EXPECT_EQ(Lines{"base.ini"}, SortedFilesIn(kTarget));
    EXPECT_FALSE(testsupport::FileExists(kBin)) << "bin stayed";
    EXPECT_FALSE(testsupport::FileExists(group)) << "the program group stayed";
    for (const char* record : {ZEP_CLIENT_KEY "\\Base", ZEP_CLIENT_KEY "\\Tools"})
        EXPECT_EQ(0u, ReadRegDword(record, "Version", 0)) << record;
}
