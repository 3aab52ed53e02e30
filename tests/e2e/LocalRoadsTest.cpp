// The real zepsetup.exe installs, finds installed, upgrades and removes
// components from package files already in its folder, with the setup web
// site out of reach.
#include "app/Registry.h"
#include "res/resource.h"
#include "support/ChildProcess.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace roads;
using namespace wizard;
using testsupport::Lines;
using testsupport::SortedFilesIn;
using testsupport::WriteFile;

namespace {

// One run with the package files of the road's product at 1.minor beside
// the program. It goes through Welcome to the Components page, which shows
// rows and offers buttons, then rest runs.
void RunWizard(const char* name, int minor, const std::string& rows, unsigned buttons,
               const std::function<void(Wizard&)>& rest = {}) {
    Wizard run;
    ASSERT_TRUE(run.Launch(name, SetupInfo(minor, "http://127.0.0.1:9/"), "", minor == 0));
    for (const auto& files : {PackageInfos(minor), PackageFiles(minor)})
        for (const File& file : files) WriteFile(run.Dir() + "\\" + file.first, file.second);
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
            {Act::Answer, &kFinishOfRoad, Finish, finish, IDOK, kBadNamed}};
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
