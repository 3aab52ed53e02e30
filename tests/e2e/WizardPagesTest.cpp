// Runs pages of the wizard inside this test program, with the shared state
// each case needs, and works them from a second thread as a user would.
// Screenshots: pages-*.bmp in the artefacts folder.
#include "app/SetupApp.h"
#include "app/SetupWizard.h"
#include "app/WizardPages.h"
#include "res/resource.h"
#include "support/TestSupport.h"
#include "tests/robot/Robot.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace testsupport;

namespace {

constexpr int kTimeoutMs = 20000;
const char kAskCancel[] = "Setup process is incomplete.\nAre you sure you want to cancel ?";

// No test may restart the machine: the reboot's privilege step always fails here.
const bool kShutdownRefused = ::SetEnvironmentVariableA("ZEP_TEST_REFUSE_SHUTDOWN_PRIVILEGE", "1") != FALSE;

DWORD Self() { return ::GetCurrentProcessId(); }

void ResetSharedState() {
    theApp.m_nDownloadOnly = 0;
    theApp.m_nToInstall = 0;
    theApp.m_nToRemove = 0;
    theApp.m_nPackagesToDownload = 0;
    theApp.m_bInstallSucceeded = TRUE;
    theApp.m_bRebootRequired = FALSE;
    theApp.m_bWinNT = true;
}

// Runs a wizard of the given pages on this thread while drive() works it;
// whatever the case leaves open is closed afterwards, so no case can hang.
void RunWizard(std::initializer_list<CPropertyPage*> pages, const std::function<void(HWND)>& drive) {
    ASSERT_TRUE(kShutdownRefused);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    CSetupWizard wizard;
    for (CPropertyPage* page : pages) wizard.AddPage(page);
    wizard.SetWizardMode();
    std::thread driver([&] {
        HWND sheet = robot::WaitWizard(Self(), kTimeoutMs);
        if (!sheet) return;
        drive(sheet);
        while (HWND box = robot::FindMessageBox(Self())) {
            robot::AnswerMessageBox(box, IDOK);
            robot::AnswerMessageBox(box, IDNO);
            ::Sleep(200);
        }
        if (::IsWindow(sheet)) robot::PressButton(sheet, PSBTN_FINISH);
    });
    wizard.DoModal();
    driver.join();
}

bool SheetCloses(HWND sheet) {
    return robot::WaitUntil([&] { return !::IsWindow(sheet); }, kTimeoutMs);
}

void Shot(HWND sheet, const std::string& name) {
    ::Sleep(300);
    robot::SaveScreenshot(sheet, ArtefactsDir() + "\\pages-" + name + ".bmp");
}

// Cancel asks; No keeps the wizard, Yes closes it.
void ExpectCancelAsks(HWND sheet) {
    robot::PressButton(sheet, PSBTN_CANCEL);
    HWND box = robot::WaitMessageBox(Self(), kTimeoutMs);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kAskCancel, robot::MessageBoxText(box));
    EXPECT_FALSE(robot::MessageBoxHasIcon(box)) << "a page asks with its own box, without an icon";
    robot::AnswerMessageBox(box, IDNO);
    ASSERT_TRUE(robot::WaitUntil([] { return robot::FindMessageBox(Self()) == nullptr; }, kTimeoutMs));
    EXPECT_TRUE(::IsWindow(sheet));
    robot::PressButton(sheet, PSBTN_CANCEL);
    box = robot::WaitMessageBox(Self(), kTimeoutMs);
    ASSERT_NE(nullptr, box);
    robot::AnswerMessageBox(box, IDYES);
    EXPECT_TRUE(SheetCloses(sheet));
}

// The Finish page offers the reboot choice once a reboot is required.
bool WaitForRebootChoice(HWND sheet) {
    return robot::WaitUntil([&] { return robot::IsVisible(robot::CurrentPage(sheet), IDC_FINISH_REBOOT_NOW); },
                            kTimeoutMs);
}

// Pressing the sheet button closes the wizard without any message box.
void ExpectClosesWithoutABox(HWND sheet, int psbtn) {
    robot::PressButton(sheet, psbtn);
    bool asked = false;
    EXPECT_TRUE(robot::WaitUntil(
        [&] {
            asked = asked || robot::FindMessageBox(Self()) != nullptr;
            return !::IsWindow(sheet);
        },
        kTimeoutMs));
    EXPECT_FALSE(asked);
}

}  // namespace

TEST(WizardPages, CancelAsksOnThePagesThatWouldLoseWork) {
    ResetSharedState();
    CComponentsPage components;
    CPreparingPage preparing;
    CChooseSitePage chooseSite;
    CDownloadingPage downloading;
    for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{&components, &preparing, &chooseSite, &downloading}) {
        SCOPED_TRACE(page->m_nIDTemplate);
        RunWizard({page}, [](HWND sheet) {
            ASSERT_NE(nullptr, robot::CurrentPage(sheet));
            ExpectCancelAsks(sheet);
        });
    }
}

TEST(WizardPages, RemovingAsksOnCancelOnlyWhileSomethingIsToBeInstalled) {
    ResetSharedState();
    CRemovingPage removing;
    RunWizard({&removing}, [](HWND sheet) {
        ASSERT_TRUE(robot::WaitPageWithControl(sheet, IDC_REMOVING_PROGRESS, "Components removing complete.", kTimeoutMs));
        HWND page = robot::CurrentPage(sheet);
        EXPECT_EQ("Press Finish to exit Setup Wizard, or Back to proceed with other setup options.",
                  robot::GetDlgText(page, IDC_REMOVING_HINT));
        EXPECT_FALSE(robot::IsVisible(page, IDC_REMOVING_COMPONENT)) << "placeholder hidden";
        EXPECT_TRUE(robot::WaitUntil([&] { return robot::IsEnabled(sheet, robot::kFinishButton); }, kTimeoutMs));
        Shot(sheet, "removing");
        ExpectClosesWithoutABox(sheet, PSBTN_CANCEL);
    });

    theApp.m_nToInstall = 2;
    CRemovingPage removingBeforeInstall;
    RunWizard({&removingBeforeInstall}, [](HWND sheet) {
        ASSERT_TRUE(robot::WaitPageWithControl(sheet, IDC_REMOVING_HINT,
                                               "Press Next to continue, or Back to proceed with other setup options.",
                                               kTimeoutMs));
        ExpectCancelAsks(sheet);
    });
}

TEST(WizardPages, CancelOnTheInstallingPageDoesNothing) {
    ResetSharedState();
    theApp.m_bInstallSucceeded = FALSE;
    CInstallingPage installing;
    RunWizard({&installing}, [](HWND sheet) {
        ASSERT_TRUE(robot::WaitPageWithControl(sheet, IDC_INSTALLING_STAGE, "Processing queue...", kTimeoutMs));
        HWND page = robot::CurrentPage(sheet);
        EXPECT_FALSE(robot::IsVisible(page, IDC_INSTALLING_PACKAGE));
        EXPECT_EQ("", robot::GetDlgText(page, IDC_INSTALLING_FILE));
        Shot(sheet, "installing");
        robot::PressButton(sheet, PSBTN_CANCEL);
        ::Sleep(1000);
        EXPECT_TRUE(::IsWindow(sheet));
        EXPECT_EQ(nullptr, robot::FindMessageBox(Self()));
    });
    EXPECT_TRUE(theApp.m_bInstallSucceeded) << "an empty queue commits";
}

TEST(WizardPages, DownloadingWithNothingToFetchCompletesAndOffersFinishWhenOnlyDownloading) {
    ResetSharedState();
    theApp.m_nDownloadOnly = 1;
    CDownloadingPage downloading;
    RunWizard({&downloading}, [](HWND sheet) {
        ASSERT_TRUE(robot::WaitPageWithControl(sheet, IDC_DOWNLOADING_COMPONENT, "Download complete.", kTimeoutMs));
        HWND page = robot::CurrentPage(sheet);
        EXPECT_EQ("0  of  0", robot::GetDlgText(page, IDC_DOWNLOADING_BYTES));
        EXPECT_FALSE(robot::IsVisible(page, IDC_DOWNLOADING_FILE));
        EXPECT_TRUE(robot::WaitUntil([&] { return robot::IsEnabled(sheet, robot::kFinishButton); }, kTimeoutMs));
        Shot(sheet, "downloading");
    });
}

TEST(WizardPages, FinishAfterAFailedInstallShowsItAndNoRebootChoice) {
    ResetSharedState();
    theApp.m_bInstallSucceeded = FALSE;
    CFinishPage finish;
    RunWizard({&finish}, [](HWND sheet) {
        ASSERT_TRUE(robot::WaitPageWithControl(
            sheet, IDC_FINISH_OUTCOME,
            "Setup Wizard failed to copy files. Selected components were not installed.", kTimeoutMs));
        HWND page = robot::CurrentPage(sheet);
        EXPECT_FALSE(robot::IsVisible(page, IDC_FINISH_REBOOT_NOTICE));
        EXPECT_FALSE(robot::IsVisible(page, IDC_FINISH_REBOOT_NOW));
        EXPECT_FALSE(robot::IsVisible(page, IDC_FINISH_REBOOT_LATER));
        Shot(sheet, "finish-failed");
        robot::PressButton(sheet, PSBTN_FINISH);
        EXPECT_TRUE(SheetCloses(sheet));
        EXPECT_EQ(nullptr, robot::FindMessageBox(Self()));
    });
}

TEST(WizardPages, RebootLaterEndsTheRunWithoutARebootAttempt) {
    ResetSharedState();
    theApp.m_bRebootRequired = TRUE;
    CFinishPage finish;
    RunWizard({&finish}, [](HWND sheet) {
        ASSERT_TRUE(WaitForRebootChoice(sheet));
        HWND page = robot::CurrentPage(sheet);
        EXPECT_TRUE(robot::IsVisible(page, IDC_FINISH_REBOOT_NOTICE));
        EXPECT_EQ(BST_CHECKED, ::SendMessageA(::GetDlgItem(page, IDC_FINISH_REBOOT_NOW), BM_GETCHECK, 0, 0));
        Shot(sheet, "finish-reboot");
        robot::ClickId(page, IDC_FINISH_REBOOT_LATER);
        ASSERT_TRUE(robot::WaitUntil(
            [&] { return ::SendMessageA(::GetDlgItem(page, IDC_FINISH_REBOOT_LATER), BM_GETCHECK, 0, 0) == BST_CHECKED; },
            kTimeoutMs));
        ExpectClosesWithoutABox(sheet, PSBTN_FINISH);
    });
}

TEST(WizardPages, RebootNowWithoutTheShutdownPrivilegeTellsTheUserAndEnds) {
    ResetSharedState();
    theApp.m_bRebootRequired = TRUE;
    CFinishPage finish;
    RunWizard({&finish}, [](HWND sheet) {
        ASSERT_TRUE(WaitForRebootChoice(sheet));
        robot::PressButton(sheet, PSBTN_FINISH);
        HWND box = robot::WaitMessageBox(Self(), kTimeoutMs);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Failed to initiate system reboot. You must reboot manually", robot::MessageBoxText(box));
        robot::SaveScreenshot(box, ArtefactsDir() + "\\pages-reboot-refused.bmp");
        robot::AnswerMessageBox(box, IDOK);
        EXPECT_TRUE(SheetCloses(sheet));
    });
}
