// Runs pages of the wizard inside this test program, with shared state the
// real program cannot reach yet, and works them from a second thread as a
// user would. Screenshots: pages-*.bmp in the artefacts folder.
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "framework/Dpi.h"
#include "res/resource.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

#include <memory>

using namespace wizard;

namespace {

struct State {
    int downloadOnly, toRemove, toInstall, packagesToDownload;
    BOOL installSucceeded, rebootRequired;
    bool noRestart = false;
};

void Set(const State& state) {
    theApp.m_nDownloadOnly = state.downloadOnly;
    theApp.m_nToRemove = state.toRemove;
    theApp.m_nToInstall = state.toInstall;
    theApp.m_nPackagesToDownload = state.packagesToDownload;
    theApp.m_bInstallSucceeded = state.installSucceeded;
    theApp.m_bRebootRequired = state.rebootRequired;
    theApp.m_options.m_bNoRestart = state.noRestart;
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

enum class End { CancelAsks, CancelCloses, CancelRefused, FinishCloses, RebootNowFails };

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
    {IDD_REMOVING, {0, 1, 0, 0, TRUE, FALSE}, {IDC_REMOVING_HINT, kFinishHint, "removing-done"}, Back | Finish,
     {{IDC_REMOVING_PROGRESS, "Components removing complete."}, {IDC_REMOVING_COMPONENT, "hidden"}},
     End::CancelCloses},
    {IDD_INSTALLING, {0, 0, 0, 0, FALSE, FALSE}, {IDC_INSTALLING_STAGE, "Processing queue...", "installing"}, None,
     {{IDC_INSTALLING_PACKAGE, "hidden"}, {IDC_INSTALLING_FILE, ""}}, End::CancelRefused},
    {IDD_FINISH, {0, 0, 0, 0, FALSE, FALSE}, {IDC_FINISH_OUTCOME, kCopyFailed, "finish-failed"}, Finish,
     {{IDC_FINISH_REBOOT_NOTICE, "hidden"}, {IDC_FINISH_REBOOT_NOW, "hidden"}, {IDC_FINISH_REBOOT_LATER, "hidden"}},
     End::FinishCloses},
    {IDD_FINISH, {0, 0, 0, 0, TRUE, TRUE}, {IDC_FINISH_OUTCOME, kInstalled, "finish-reboot"}, Finish, kRebootChoice,
     End::RebootNowFails},
    // Told /norestart: "Reboot later" alone, and Finish restarts nothing (here the attempt would say it failed).
    {IDD_FINISH, {0, 0, 0, 0, TRUE, TRUE, true}, {IDC_FINISH_OUTCOME, kInstalled, "finish-norestart"}, Finish,
     {{IDC_FINISH_REBOOT_NOW, "hidden"}, {IDC_FINISH_REBOOT_LATER, "Reboot later [x]"}}, End::FinishCloses},
};

void EndCase(Wizard& wizard, const PageCase& c) {
    switch (c.end) {
    case End::CancelAsks: return wizard.ExpectCancel(Cancel::Asks, std::string(c.page.shot) + "-cancel");
    case End::CancelCloses: return wizard.ExpectCancel(Cancel::Closes, "");
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

// Back, Next and Finish as enabled (1) or not whenever the Removing page
// names its progress: the removal runs inside one message, its buttons off.
std::string g_buttonsWhileRemoving;

LRESULT CALLBACK RecordButtons(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const HWND page = ::GetParent(sent->hwnd);
    if (sent->message == WM_SETTEXT && ::GetDlgCtrlID(sent->hwnd) == IDC_REMOVING_PROGRESS &&
        robot::GetDlgText(page, IDC_REMOVING_TITLE) == kRemoving.text) {
        const HWND sheet = ::GetParent(page);
        for (int id : {robot::kBackButton, robot::kNextButton, robot::kFinishButton})
            g_buttonsWhileRemoving += ::IsWindowEnabled(::GetDlgItem(sheet, id)) ? "1" : "0";
        g_buttonsWhileRemoving += "|";
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST(WizardPages, EachPageShowsItsStateAndAnswersCancelOrFinish) {
    const HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, RecordButtons, nullptr, ::GetCurrentThreadId());
    for (const PageCase& c : kPageCases) {
        SCOPED_TRACE(c.page.shot);
        Set(c.state);
        g_buttonsWhileRemoving.clear();
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
        EXPECT_EQ(c.nIDTemplate == IDD_REMOVING ? "000|000|" : "", g_buttonsWhileRemoving);
    }
    ::UnhookWindowsHookEx(hook);
}
