// Walks the real zepsetup.exe through its pages the way a user does; every
// page seen is kept as a screenshot (wizard-*.bmp in the artefacts folder).
#include "app/Registry.h"
#include "res/resource.h"
#include "support/TestSupport.h"
#include "tests/robot/Robot.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr int kTimeoutMs = 20000;
const char kProductName[] = "ZEP Client 2.1";
const char kAskCancel[] = "Setup process is incomplete.\nAre you sure you want to cancel ?";

std::string ReadDownloadPath() {
    char value[1024] = "";
    ReadRegString(ZEP_CLIENT_KEY, "DownloadPath", "", value, sizeof value);
    return value;
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = char(::tolower((unsigned char)c));
    return text;
}

// One run of the program in a setup folder of its own, on a computer that
// has never stored a download folder.
class WizardRun {
public:
    bool Start(const std::string& name, const std::string& license = "") {
        m_dir = MakeScratchDir(name);
        WriteFile(m_dir + "\\zepsetup.sif",
                  "[Product]\r\nName=" + std::string(kProductName) +
                      "\r\nDestination=C:\\ZEP\r\nGroup=ZEP\r\nLocationsInfo=sites.ini\r\n"
                      "BaseURL=http://127.0.0.1:9/\r\nSetupInfoLocation=setup\r\n[Components]\r\nCore\r\n"
                      "[CompCore]\r\nName=ZEP Core\r\nPkgInfo=core.pki\r\nVer=513\r\n");
        if (!license.empty()) WriteFile(m_dir + "\\license.txt", license);
        DeleteRegValue(ZEP_CLIENT_KEY, "DownloadPath");
        if (!m_process.Start(BinDir() + "\\zepsetup.exe", m_dir)) return false;
        m_sheet = robot::WaitWizard(m_process.Id(), kTimeoutMs);
        return m_sheet != nullptr;
    }

    HWND Page() const { return robot::CurrentPage(m_sheet); }
    bool WaitPage(int titleId, const std::string& title) const {
        return robot::WaitPageWithControl(m_sheet, titleId, title, kTimeoutMs);
    }
    bool WaitButton(int id, bool enabled) const {
        return robot::WaitUntil([&] { return robot::IsEnabled(m_sheet, id) == enabled; }, kTimeoutMs);
    }
    void Press(int psbtn) const { robot::PressButton(m_sheet, psbtn); }
    void Shot(const std::string& name) const {
        ::Sleep(300);  // let the page paint
        robot::SaveScreenshot(m_sheet, ArtefactsDir() + "\\wizard-" + name + ".bmp");
    }
    bool Ended() { return m_process.WaitExit(kTimeoutMs); }

    bool ToLicense() {
        if (!WaitPage(IDC_WELCOME_TITLE, kProductName)) return false;
        Press(PSBTN_NEXT);
        return WaitPage(IDC_LICENSE_TITLE, "End-User License Agreement");
    }
    bool ToInstallOrDownload() {
        if (!ToLicense()) return false;
        robot::ClickId(Page(), IDC_LICENSE_ACCEPT);
        if (!WaitButton(robot::kNextButton, true)) return false;
        Press(PSBTN_NEXT);
        return WaitPage(IDC_MODE_TITLE, "Install / Download Options");
    }
    // Cancel on the current page brings the question; No keeps the page.
    bool CancelIsAskedAndDeclined(const std::string& shot) {
        Press(PSBTN_CANCEL);
        HWND box = robot::WaitMessageBox(m_process.Id(), kTimeoutMs);
        if (!box || robot::MessageBoxText(box) != kAskCancel) return false;
        robot::SaveScreenshot(box, ArtefactsDir() + "\\wizard-" + shot + ".bmp");
        robot::AnswerMessageBox(box, IDNO);
        return robot::WaitUntil([&] { return robot::FindMessageBox(m_process.Id()) == nullptr; }, kTimeoutMs) &&
               m_process.IsRunning();
    }
    // Cancel closes the wizard without any question.
    bool CancelClosesAtOnce() {
        Press(PSBTN_CANCEL);
        bool asked = false;
        bool ended = robot::WaitUntil(
            [&] {
                asked = asked || robot::FindMessageBox(m_process.Id()) != nullptr;
                return !m_process.IsRunning();
            },
            kTimeoutMs);
        return ended && !asked;
    }

    std::string m_dir;
    robot::Process m_process;
    HWND m_sheet = nullptr;
};

}  // namespace

TEST(Wizard, WelcomeShowsTheProductAndOnlyNextThenLicenseOffersBack) {
    WizardRun run;
    ASSERT_TRUE(run.Start("welcome"));
    ASSERT_TRUE(run.WaitPage(IDC_WELCOME_TITLE, kProductName));
    EXPECT_EQ("Intelligent Setup Wizard", robot::GetDlgText(run.Page(), IDC_WELCOME_SUBTITLE));
    EXPECT_TRUE(run.WaitButton(robot::kNextButton, true));
    EXPECT_FALSE(robot::IsEnabled(run.m_sheet, robot::kBackButton));
    run.Shot("welcome");

    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_LICENSE_TITLE, "End-User License Agreement"));
    EXPECT_TRUE(run.WaitButton(robot::kBackButton, true));
    EXPECT_FALSE(robot::IsEnabled(run.m_sheet, robot::kNextButton)) << "nothing accepted yet";

    run.Press(PSBTN_BACK);
    ASSERT_TRUE(run.WaitPage(IDC_WELCOME_TITLE, kProductName));
    EXPECT_TRUE(run.WaitButton(robot::kBackButton, false));
    EXPECT_TRUE(run.CancelClosesAtOnce());
}

TEST(Wizard, LicenseWithoutFileCanStillBeAcceptedAndDecliningTakesNextAway) {
    WizardRun run;
    ASSERT_TRUE(run.Start("license-missing"));
    ASSERT_TRUE(run.ToLicense());
    HWND page = run.Page();
    EXPECT_EQ("License file not found", robot::GetDlgText(page, IDC_LICENSE_TEXT));

    robot::ClickId(page, IDC_LICENSE_ACCEPT);
    EXPECT_TRUE(run.WaitButton(robot::kNextButton, true));
    run.Shot("license-missing");
    robot::ClickId(page, IDC_LICENSE_DECLINE);
    EXPECT_TRUE(run.WaitButton(robot::kNextButton, false));
    EXPECT_TRUE(run.WaitButton(robot::kBackButton, true));
    EXPECT_TRUE(run.CancelClosesAtOnce());
}

TEST(Wizard, LongLicenseAppearsWholeAndClickingIntoItSelectsNothing) {
    std::string license;
    for (int line = 1; license.size() <= 3000; ++line)
        license += "Clause " + std::to_string(line) + ": the licensee keeps every copy of the package files safe.\r\n";
    WizardRun run;
    ASSERT_TRUE(run.Start("license-long", license));
    ASSERT_TRUE(run.ToLicense());
    HWND edit = ::GetDlgItem(run.Page(), IDC_LICENSE_TEXT);
    EXPECT_EQ(license, robot::GetText(edit));

    LPARAM inside = MAKELPARAM(60, 40);
    ::PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    ::PostMessageA(edit, WM_LBUTTONUP, 0, inside);
    ::Sleep(500);  // the click is posted: let the page take it
    // The return value, not the out-pointers: those would point into this process.
    DWORD selection = DWORD(::SendMessageA(edit, EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), HIWORD(selection)) << "a click selected text";

    // Focus that arrives as from the keyboard makes a dialog select the whole
    // text; the page takes the selection away and shows the start again.
    ::SendMessageA(edit, EM_LINESCROLL, 0, 5);
    HWND back = ::GetDlgItem(run.m_sheet, robot::kBackButton);
    ::PostMessageA(run.m_sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(back), TRUE);
    ::PostMessageA(run.Page(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::Sleep(500);
    selection = DWORD(::SendMessageA(edit, EM_GETSEL, 0, 0));
    EXPECT_EQ(0, LOWORD(selection)) << "caret not at the start";
    EXPECT_EQ(0, HIWORD(selection)) << "text selected";
    EXPECT_EQ(0, ::SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    run.Shot("license-long");
    EXPECT_TRUE(run.CancelClosesAtOnce());
}

TEST(Wizard, InstallOrDownloadKeepsTheFolderWithABackslashEitherWay) {
    WizardRun run;
    ASSERT_TRUE(run.Start("folder"));
    ASSERT_TRUE(run.ToInstallOrDownload());
    HWND page = run.Page();
    EXPECT_EQ(LowerCase(run.m_dir), LowerCase(robot::GetDlgText(page, IDC_MODE_FOLDER)))
        << "a first run offers the current folder";
    EXPECT_EQ(BST_CHECKED, ::SendMessageA(::GetDlgItem(page, IDC_MODE_INSTALL), BM_GETCHECK, 0, 0));
    EXPECT_TRUE(run.WaitButton(robot::kBackButton, true));
    run.Shot("install-or-download");

    robot::SetText(::GetDlgItem(page, IDC_MODE_FOLDER), "C:\\zep-downloads");
    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_COMPONENTS_TITLE, "Select components"));
    EXPECT_EQ("C:\\zep-downloads\\", ReadDownloadPath());

    run.Press(PSBTN_BACK);
    ASSERT_TRUE(run.WaitPage(IDC_MODE_TITLE, "Install / Download Options"));
    EXPECT_EQ("C:\\zep-downloads\\", robot::GetDlgText(run.Page(), IDC_MODE_FOLDER));
    robot::SetText(::GetDlgItem(run.Page(), IDC_MODE_FOLDER), "C:\\elsewhere");
    run.Press(PSBTN_BACK);
    ASSERT_TRUE(run.WaitPage(IDC_LICENSE_TITLE, "End-User License Agreement"));
    EXPECT_EQ("C:\\elsewhere\\", ReadDownloadPath()) << "Back stores the folder too";
    EXPECT_TRUE(run.WaitButton(robot::kNextButton, true)) << "the license stays accepted";
    EXPECT_TRUE(run.CancelClosesAtOnce());
}

TEST(Wizard, DownloadOnlyGoesStraightToPreparingAndEndsThere) {
    WizardRun run;
    ASSERT_TRUE(run.Start("download-only"));
    ASSERT_TRUE(run.ToInstallOrDownload());
    robot::ClickId(run.Page(), IDC_MODE_DOWNLOAD_ONLY);
    ASSERT_TRUE(robot::WaitUntil(
        [&] {
            return ::SendMessageA(::GetDlgItem(run.Page(), IDC_MODE_DOWNLOAD_ONLY), BM_GETCHECK, 0, 0) == BST_CHECKED;
        },
        kTimeoutMs));
    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_PREPARING_TITLE, "Preparing to setup"));
    EXPECT_FALSE(robot::IsVisible(run.Page(), IDC_PREPARING_CHANGE)) << "no install folder when downloading";
    EXPECT_TRUE(run.WaitButton(robot::kFinishButton, true)) << "nothing to download: Finish";
    run.Shot("preparing-download-only");
    EXPECT_TRUE(run.CancelIsAskedAndDeclined("preparing-cancel"));

    run.Press(PSBTN_BACK);
    ASSERT_TRUE(run.WaitPage(IDC_MODE_TITLE, "Install / Download Options"));
    EXPECT_EQ(BST_CHECKED, ::SendMessageA(::GetDlgItem(run.Page(), IDC_MODE_DOWNLOAD_ONLY), BM_GETCHECK, 0, 0));
    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_PREPARING_TITLE, "Preparing to setup"));
    ASSERT_TRUE(run.WaitButton(robot::kFinishButton, true));
    run.Press(PSBTN_FINISH);
    EXPECT_TRUE(run.Ended());
    EXPECT_EQ(nullptr, robot::FindMessageBox(run.m_process.Id()));
}

TEST(Wizard, InstallModeWalksEveryPageToFinish) {
    WizardRun run;
    ASSERT_TRUE(run.Start("install", "ZEP licence.\r\n"));
    ASSERT_TRUE(run.ToInstallOrDownload());
    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_COMPONENTS_TITLE, "Select components"));
    HWND header = ListView_GetHeader(::GetDlgItem(run.Page(), IDC_COMPONENTS_LIST));
    EXPECT_EQ(4, Header_GetItemCount(header)) << "Component, Current state, Ver.avail, Action";
    run.Shot("components");
    EXPECT_TRUE(run.CancelIsAskedAndDeclined("components-cancel"));

    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_PREPARING_TITLE, "Preparing to setup"));
    EXPECT_TRUE(run.WaitButton(robot::kNextButton, true));
    EXPECT_EQ("0", robot::GetDlgText(run.Page(), IDC_PREPARING_TOTAL));
    run.Shot("preparing");
    run.Press(PSBTN_BACK);
    ASSERT_TRUE(run.WaitPage(IDC_COMPONENTS_TITLE, "Select components"));
    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_PREPARING_TITLE, "Preparing to setup"));
    ASSERT_TRUE(run.WaitButton(robot::kNextButton, true));

    // Nothing to download: Installing commits an empty queue and moves on by itself.
    run.Press(PSBTN_NEXT);
    ASSERT_TRUE(run.WaitPage(IDC_FINISH_TITLE, "Setup Wizard Finished"));
    HWND page = run.Page();
    EXPECT_EQ("Setup Wizard finished installing/upgrading components.", robot::GetDlgText(page, IDC_FINISH_OUTCOME));
    EXPECT_FALSE(robot::IsVisible(page, IDC_FINISH_REBOOT_NOTICE));
    EXPECT_FALSE(robot::IsVisible(page, IDC_FINISH_REBOOT_NOW));
    EXPECT_TRUE(run.WaitButton(robot::kFinishButton, true));
    EXPECT_FALSE(robot::IsEnabled(run.m_sheet, robot::kBackButton));
    run.Shot("finish");
    EXPECT_TRUE(run.CancelClosesAtOnce());
}

TEST(Wizard, CancelOnTheInstallOrDownloadPageClosesWithoutAsking) {
    WizardRun run;
    ASSERT_TRUE(run.Start("cancel-mode"));
    ASSERT_TRUE(run.ToInstallOrDownload());
    EXPECT_TRUE(run.CancelClosesAtOnce());
}
