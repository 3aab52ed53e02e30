// Runs pages of the wizard inside this test program, with shared state the
// real program cannot reach yet, and works them from a second thread as a
// user would. Screenshots: pages-*.bmp in the artefacts folder.
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "framework/Dpi.h"
#include "install/InstallLog.h"
#include "res/resource.h"
#include "select/ComponentStates.h"
#include "support/InstallTestPackage.h"
#include "support/SetupRun.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

#include <memory>

using namespace wizard;

namespace {

struct State {
    int downloadOnly, toRemove, toInstall, packagesToDownload;
    BOOL installSucceeded, rebootRequired;
};

void Set(const State& state) {
    theApp.m_nDownloadOnly = state.downloadOnly;
    theApp.m_nToRemove = state.toRemove;
    theApp.m_nToInstall = state.toInstall;
    theApp.m_nPackagesToDownload = state.packagesToDownload;
    theApp.m_bInstallSucceeded = state.installSucceeded;
    theApp.m_bRebootRequired = state.rebootRequired;
    theApp.m_bWinNT = true;  // a reboot then goes through the privilege step, which fails in tests
}

std::unique_ptr<CPropertyPage> MakePage(int nIDTemplate) {
    switch (nIDTemplate) {
    case IDD_REMOVING: return std::make_unique<CRemovingPage>();
    case IDD_INSTALLING: return std::make_unique<CInstallingPage>();
    default: return std::make_unique<CFinishPage>();
    }
}

const char kNextHint[] = "Press Next to continue, or Back to proceed with other setup options.";
const char kFinishHint[] = "Press Finish to exit Setup Wizard, or Back to proceed with other setup options.";
const char kInstalled[] = "Setup Wizard finished installing/upgrading components.";
const char kCopyFailed[] = "Setup Wizard failed to copy files. Selected components were not installed.";
const Shows kRebootChoice{{IDC_FINISH_REBOOT_NOTICE, "System must be rebooted in order to complete setup."},
                          {IDC_FINISH_REBOOT_NOW, "Reboot now [x]"},
                          {IDC_FINISH_REBOOT_LATER, "Reboot later"}};

enum class End { CancelAsks, CancelRefused, FinishCloses, RebootNowFails };

// One page alone in a wizard: the state it is shown in, what it shows once
// its work is done, and how the case ends.
const struct PageCase {
    int nIDTemplate;
    State state;
    Page page;
    unsigned buttons;
    Shows shows;
    End end;
} kPageCases[] = {
    {IDD_REMOVING, {0, 1, 2, 0, TRUE, FALSE}, {IDC_REMOVING_HINT, kNextHint, "removing-then-install"}, Back | Next,
     {}, End::CancelAsks},
    {IDD_INSTALLING, {0, 0, 0, 0, FALSE, FALSE}, {IDC_INSTALLING_STAGE, "Processing queue...", "installing"}, None,
     {{IDC_INSTALLING_PACKAGE, "hidden"}, {IDC_INSTALLING_FILE, ""}}, End::CancelRefused},
    {IDD_FINISH, {0, 0, 0, 0, FALSE, FALSE}, {IDC_FINISH_OUTCOME, kCopyFailed, "finish-failed"}, Finish,
     {{IDC_FINISH_REBOOT_NOTICE, "hidden"}, {IDC_FINISH_REBOOT_NOW, "hidden"}, {IDC_FINISH_REBOOT_LATER, "hidden"}},
     End::FinishCloses},
    {IDD_FINISH, {0, 0, 0, 0, TRUE, TRUE}, {IDC_FINISH_OUTCOME, kInstalled, "finish-reboot"}, Finish, kRebootChoice,
     End::RebootNowFails},
};

void EndCase(Wizard& wizard, const PageCase& c) {
    switch (c.end) {
    case End::CancelAsks: return wizard.ExpectCancel(Cancel::Asks, std::string(c.page.shot) + "-cancel");
    case End::CancelRefused: return wizard.ExpectCancel(Cancel::Refused, "");
    case End::FinishCloses: EXPECT_TRUE(wizard.Walk({{Act::Finish, nullptr}})); return;
    case End::RebootNowFails:
        robot::PressButton(wizard.Sheet(), PSBTN_FINISH);
        HWND box = robot::WaitMessageBox(wizard.Pid(), kTimeoutMs);
        ASSERT_NE(nullptr, box) << "Finish showed nothing";
        EXPECT_EQ("Failed to initiate system reboot. You must reboot manually", robot::MessageBoxText(box));
        wizard.Shot("reboot-refused", box);
        robot::AnswerMessageBox(box, IDOK);
        EXPECT_TRUE(robot::WaitUntil([&] { return wizard.Gone(); }, kTimeoutMs));
    }
}

}  // namespace

TEST(WizardPages, EachPageShowsItsStateAndAnswersCancelOrFinish) {
    for (const PageCase& c : kPageCases) {
        SCOPED_TRACE(c.page.shot);
        Set(c.state);
        std::unique_ptr<CPropertyPage> page = MakePage(c.nIDTemplate);
        Wizard::RunPages({page.get()}, [&](Wizard& wizard) {
            if (!wizard.Walk({{Act::Look, &c.page, c.buttons, c.shows}})) return;
            // As after a move to a monitor of another DPI: the side picture shown anew is whole.
            ::SendMessageA(page->m_hWnd, WM_DPICHANGED_AFTERPARENT, 0, 0);
            BITMAP side{};
            EXPECT_TRUE(::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendDlgItemMessageA(
                                         page->m_hWnd, IDC_SIDE_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                                     sizeof side, &side) &&
                        side.bmWidth == PictureLength(122, WindowDpi(page->m_hWnd)));
            EndCase(wizard, c);
        });
    }
}

namespace {

// What showed when the Removing page named a file it deletes: the file, the
// progress line, Back, Next and Finish as enabled (1) or not, and whether
// the program group was there.
std::vector<std::string> g_removals;

LRESULT CALLBACK RecordRemoval(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (sent->message == WM_SETTEXT && ::GetDlgCtrlID(sent->hwnd) == IDC_REMOVING_FILE &&
        *reinterpret_cast<const char*>(sent->lParam)) {
        HWND page = ::GetParent(sent->hwnd), sheet = ::GetParent(page);
        std::string seen = reinterpret_cast<const char*>(sent->lParam);
        seen = seen.substr(seen.rfind('\\') + 1) + "|" + robot::GetDlgText(page, IDC_REMOVING_PROGRESS) + "|";
        for (int id : {robot::kBackButton, robot::kNextButton, robot::kFinishButton})
            seen += ::IsWindowEnabled(::GetDlgItem(sheet, id)) ? "1" : "0";
        const std::string group = theApp.m_strProgramsDir + "\\" + theApp.m_strGroup;
        g_removals.push_back(seen + (testsupport::FileExists(group) ? "|group" : "|no group"));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// The removal runs inside one message, watched from within it: every button
// stays disabled, the component last in the catalogue goes first, and the
// program group stays until its last shortcut has gone. A log that leads
// elsewhere (Evil's, an earlier version's without a hash) deletes nothing
// there, nor does one changed after the install (Forged's); both are named.
TEST(WizardPages, RemovalDisablesEveryButtonAndKeepsTheGroupToItsLastShortcut) {
    ::CoInitialize(nullptr);
    const std::string root = testsupport::MakeScratchDir("removing");
    testsupport::PrepareRun(root,
                            testsupport::SetupInfo("Base\r\nTools\r\nEvil\r\nForged\r\n",
                                                   testsupport::ComponentSection("Base", 256) +
                                                       testsupport::ComponentSection("Tools", 256) +
                                                       testsupport::ComponentSection("Evil", 256) +
                                                       testsupport::ComponentSection("Forged", 256)),
                            {}, "", "");
    testsupport::PrepareInstallFolders(root, theApp);
    std::vector<std::unique_ptr<CPackageInfo>> packages;
    for (const std::string key : {"Base", "Tools"}) {
        auto pkg = std::make_unique<CPackageInfo>(theApp, key, *theApp.m_mapComponents.Lookup(key));
        pkg->m_bNeedInfo = false;
        testsupport::AddPackageFolder(*pkg, 1, "${Target}\\" + key);
        testsupport::AddDownloadedFile(*pkg, key + ".dll", 1, key, false);
        pkg->m_listShortcuts.push_back(new CPackageShortcut{key, "${Target}\\" + key + "\\" + key + ".dll", ""});
        pkg->m_pComponent->m_nAction = ACTION_REMOVE;
        packages.push_back(std::move(pkg));
    }
    ASSERT_EQ("committed, 2 files done", testsupport::InstallPackages({packages[0].get(), packages[1].get()}));
    const std::string victims = root + "\\victims", evilLog = root + "\\Evil.DeIsLog";
    const std::string forgedLog = root + "\\Forged.DeIsLog";
    ::CreateDirectoryA(victims.c_str(), nullptr);
    testsupport::WriteFile(victims + "\\system.dll", "kept");
    CInstallLog evil, forged;
    ASSERT_TRUE(evil.Open(evilLog, CInstallLog::MODE_WRITE) && evil.AddFolder(1, victims + "\\..\\victims", 0) &&
                evil.AddFile(1, "system.dll", 0) && evil.AddLink(victims + "\\system.dll", 0) && evil.Commit());
    ASSERT_TRUE(forged.Open(forgedLog, CInstallLog::MODE_WRITE) && forged.AddFolder(1, victims, 0) &&
                forged.AddFile(1, "system.dll", 0) && forged.Commit());
    WriteRegString(ZEP_CLIENT_KEY "\\Evil", "DeIsLog", evilLog.c_str());
    WriteRegString(ZEP_CLIENT_KEY "\\Forged", "DeIsLog", forgedLog.c_str());
    WriteRegString(ZEP_CLIENT_KEY "\\Forged", kLogHashValue, std::string(64, '0').c_str());
    for (const char* key : {"Evil", "Forged"}) (*theApp.m_mapComponents.Lookup(key))->m_nAction = ACTION_REMOVE;
    Set({0, 4, 0, 0, TRUE, FALSE});
    g_removals.clear();
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, RecordRemoval, nullptr, ::GetCurrentThreadId());
    CRemovingPage page;
    const std::string skipped = "Removal left alone these install log records, which name no file of the product:\n" +
                                forgedLog + " (refused: it changed after the install)\n" + victims +
                                "\\..\\victims\n" + victims + "\\system.dll";
    Wizard::RunPages({&page}, [&skipped](Wizard& wizard) {
        const Page removed{IDC_REMOVING_HINT, kFinishHint, "removing-done"};
        if (wizard.Walk({{Act::Answer, &removed, Back | Finish,
                          {{IDC_REMOVING_PROGRESS, "Components removing complete."},
                           {IDC_REMOVING_COMPONENT, "hidden"}}, IDOK, skipped}}))
            wizard.ExpectCancel(Cancel::Closes, "");
    });
    ::UnhookWindowsHookEx(hook);
    const std::string during = "|Removing selected components...|000|";
    EXPECT_EQ((std::vector<std::string>{"Tools.dll" + during + "group", "Tools.lnk" + during + "group",
                                        "Base.dll" + during + "group", "Base.lnk" + during + "group"}),
              g_removals);
    EXPECT_FALSE(testsupport::FileExists(theApp.m_strInstallDir)) << "the install folder stayed";
    std::string victim;
    EXPECT_TRUE(testsupport::ReadFile(victims + "\\system.dll", victim) && victim == "kept");
    EXPECT_TRUE(testsupport::FileExists(evilLog)) << "a log outside the product's folders was deleted";
    EXPECT_FALSE(testsupport::FileExists(theApp.m_strProgramsDir + "\\" + theApp.m_strGroup)) << "the group stayed";
}
