// The real zepsetup.exe installs, finds installed and removes components from
// package files already in its folder, with the setup web site out of reach.
#include "app/Registry.h"
#include "res/resource.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace wizard;
using testsupport::Lines;
using testsupport::SortedFilesIn;
using testsupport::WriteFile;

namespace {

const char kTarget[] = "C:\\zep-road";
const char kSetupInfo[] =
    "[Product]\r\nName=ZEP Road\r\nDestination=C:\\zep-road\r\nGroup=ZEP Road\r\nLocationsInfo=sites.ini\r\n"
    "BaseURL=http://127.0.0.1:9/\r\nSetupInfoLocation=setup\r\n[Components]\r\nBase\r\nTools\r\n"
    "[CompBase]\r\nName=ZEP Base\r\nPkgInfo=base.pki\r\nVer=257\r\n"
    "[CompTools]\r\nName=ZEP Tools\r\nPkgInfo=tools.pki\r\nVer=258\r\nDependOn1=Base\r\n";
// Base installs a plain file with a shortcut, and a file kept on removal;
// Tools a compressed one.
const char kBaseInfo[] =
    "[Package]\r\nVer=257\r\n[Folders]\r\n1=${Target}\\bin\r\n2=${Target}\r\n[Sources]\r\n0=files\r\n[Files]\r\n"
    "base.dll=,,4,,,0,1\r\nbase.ini=,,4,,,0,2,1\r\n[Shortcuts]\r\nBase=${Target}\\bin\\base.dll,\r\n";
const Page kComponentsOfRoad{IDC_COMPONENTS_TITLE, "Select components", "road-components"};
const Page kPreparingOfRoad{IDC_PREPARING_TITLE, "Preparing to setup", "road-preparing"};
const Page kRemovingOfRoad{IDC_REMOVING_TITLE, "Removing components", "road-removing"};
const Page kFinishOfRoad{IDC_FINISH_TITLE, "Setup Wizard Finished", "road-finish"};

std::string Rows(HWND page) { return ListText(::GetDlgItem(page, IDC_COMPONENTS_LIST), -1); }

// One run with the package files beside the program: through Welcome to the
// Components page, which shows rows and offers buttons, then the rest of the run.
void RunWizard(const char* name, bool fresh, const std::string& rows, unsigned buttons,
               const std::function<void(Wizard&)>& rest = {}) {
    Wizard run;
    ASSERT_TRUE(run.Launch(name, kSetupInfo, "", fresh));
    const std::string packed = testsupport::MakeCompressedPackage("tools", 946031400, 0x0001000000000000);
    const std::string toolsInfo = "[Package]\r\nVer=258\r\n[Folders]\r\n1=${Target}\\bin\r\n[Sources]\r\n0=files\r\n"
                                  "[Files]\r\ntools.exe=1.0.0.0,,5,tools.ex_," +
                                  std::to_string(packed.size()) + ",0,1\r\n";
    for (const auto& file : {std::pair<std::string, std::string>{"base.pki", kBaseInfo}, {"base.dll", "base"},
                             {"base.ini", "keep"}, {"tools.ex_", packed}, {"tools.pki", toolsInfo}})
        WriteFile(run.Dir() + "\\" + file.first, file.second);
    ASSERT_TRUE(run.WaitForSheet());
    ASSERT_TRUE(run.Walk({{Act::Next, &kLicense, Back},
                          {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
                          {Act::Next, &kInstallOrDownload, Back | Next},
                          {Act::Next, &kComponentsOfRoad, Back | Next},
                          {Act::Answer, &kComponentsOfRoad, buttons, {{Rows, rows}}, IDYES, kAskLocal}}));
    if (rest) rest(run);
}

}  // namespace

TEST(LocalRoads, InstallFindInstalledAndRemove) {
    ::CoInitialize(nullptr);
    testsupport::RemoveTree(kTarget);
    char programs[MAX_PATH] = "";
    ASSERT_TRUE(::SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE));
    const std::string bin = std::string(kTarget) + "\\bin", group = std::string(programs) + "\\ZEP Road";
    const std::string installed = "ZEP Base|already installed|1.1|,ZEP Tools|already installed|1.2|";
    const std::string missing = "ZEP Base|not installed|1.1|install,ZEP Tools|not installed|1.2|install";
    RunWizard("road-install", true, missing, Back | Next, [](Wizard& run) {
        EXPECT_TRUE(run.Walk({{Act::Next, &kPreparingOfRoad, Back | Next},
                              {Act::Answer, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}, IDYES,
                               kAskLocal},
                              {Act::Next, &kFinishOfRoad, Finish,
                               {{IDC_FINISH_OUTCOME, "Setup Wizard finished installing/upgrading components."}}},
                              {Act::Finish, nullptr}}));
    });
    EXPECT_EQ((Lines{"base.dll", "tools.exe"}), SortedFilesIn(bin));
    EXPECT_EQ((Lines{"Base.DeIsLog", "Tools.DeIsLog", "base.ini"}), SortedFilesIn(kTarget));
    EXPECT_EQ(bin + "\\base.dll", testsupport::ReadShortcut(group + "\\Base.lnk").at(0));
    RunWizard("road-installed", false, installed, Back);
    // Removing Base removes Tools, which depends on it, too.
    RunWizard("road-remove", false, installed, Back, [](Wizard& run) {
        robot::ClickListRow(::GetDlgItem(run.Page(), IDC_COMPONENTS_LIST), 0);
        robot::AnswerMessageBox(WaitDialogWith(IDC_DEPENDENTS_LIST, run.Pid()), IDYES);
        const std::string removed = "ZEP Base|already installed|1.1|remove,ZEP Tools|already installed|1.2|remove";
        const char hint[] = "Press Finish to exit Setup Wizard, or Back to proceed with other setup options.";
        EXPECT_TRUE(run.Walk({{Act::Look, &kComponentsOfRoad, Back | Next, {{Rows, removed}}},
                              {Act::Next, &kRemovingOfRoad, Back | Finish, {{IDC_REMOVING_HINT, hint}}},
                              {Act::Finish, nullptr}}));
    });
    EXPECT_EQ(Lines{"base.ini"}, SortedFilesIn(kTarget));
    EXPECT_FALSE(testsupport::FileExists(bin) || testsupport::FileExists(group)) << "a folder stayed";
    for (const char* record : {ZEP_CLIENT_KEY "\\Base", ZEP_CLIENT_KEY "\\Tools"})
        EXPECT_EQ(0u, ReadRegDword(record, "Version", 0)) << record;
}
