// The download wait dialog run modally on this thread while a worker ends it,
// the way the pages run it; the robot reads and closes it like a user.
#include "app/SetupApp.h"
#include "download/DownloadWaitDlg.h"
#include "res/DownloadWaitIds.h"
#include "robot/Robot.h"
#include "support/FolderListing.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using testsupport::FilesIn;
using testsupport::MakeScratchDir;

namespace {

// The wait dialog once it shows: the only top-level dialog of this process.
HWND WaitForDialog() {
    HWND found = nullptr;
    robot::WaitUntil(
        [&] {
            auto dialogs = robot::TopDialogs(::GetCurrentProcessId());
            found = dialogs.empty() ? nullptr : dialogs.front();
            return found != nullptr;
        },
        20000);
    return found;
}

void PressEscape(HWND hDlg) { ::PostMessageA(hDlg, WM_KEYDOWN, VK_ESCAPE, 0); }
void ClickCloseBox(HWND hDlg) { ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace

class HttpWaitDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::GetCurrentDirectoryA(MAX_PATH, m_oldDir);
        m_dir = MakeScratchDir("waitdialog");
        ::SetCurrentDirectoryA(m_dir.c_str());
    }
    void TearDown() override { ::SetCurrentDirectoryA(m_oldDir); }
    // One run as a page does it: the worker ends it with its result after
    // looking at the dialog. Returns the modal result.
    INT_PTR RunWithWorker(CDownloadWaitDlg& dlg, bool bFetched, const std::function<void(HWND)>& look) {
        unsigned run = dlg.NextRun();
        std::thread worker([&] {
            HWND hDlg = WaitForDialog();
            if (hDlg) look(hDlg);
            dlg.EndRun(run, bFetched);
        });
        INT_PTR result = dlg.DoModal();
        worker.join();
        return result;
    }

    char m_oldDir[MAX_PATH] = "";
    std::string m_dir;
};

TEST_F(HttpWaitDialogTest, WorkerEndsEachRunWithItsResultAndOnlyThatRunsSubjectShows) {
    CDownloadWaitDlg dlg;
    EXPECT_EQ("Downloading ", dlg.m_strText);
    std::string text, caption;
    auto look = [&](HWND hDlg) {
        text = robot::GetDlgText(hDlg, IDC_DOWNLOAD_WAIT_TEXT);
        caption = robot::GetText(hDlg);
    };

    dlg.m_strText = "Downloading components list...";
    EXPECT_EQ(IDOK, RunWithWorker(dlg, true, look));
    EXPECT_EQ("Downloading components list...", text);
    EXPECT_EQ("Dialog", caption);

    dlg.m_strText = "Downloading locations...";
    EXPECT_EQ(IDCANCEL, RunWithWorker(dlg, false, look));
    EXPECT_EQ("Downloading locations...", text);
}

TEST_F(HttpWaitDialogTest, ShowsTheGlobeBesideTheProgramAndWorksWithoutIt) {
    CDownloadWaitDlg dlg;
    HICON shown = nullptr;
    auto look = [&](HWND hDlg) {
        shown = reinterpret_cast<HICON>(
            ::SendMessageA(::GetDlgItem(hDlg, IDC_DOWNLOAD_WAIT_GLOBE), STM_GETICON, 0, 0));
    };
    EXPECT_EQ(IDOK, RunWithWorker(dlg, true, look));
    EXPECT_EQ(nullptr, shown);

    const std::string globe = testsupport::SourceDir() + "\\res\\globe.ani";
    ASSERT_TRUE(::CopyFileA(globe.c_str(), "globe.ani", FALSE)) << globe;
    dlg.m_strText = "Downloading package info files...";
    EXPECT_EQ(IDOK, RunWithWorker(dlg, true, [&](HWND hDlg) {
        look(hDlg);
        robot::SaveScreenshot(hDlg, testsupport::ArtefactsDir() + "\\wait-dialog.bmp");
    }));
    EXPECT_NE(nullptr, shown);
}

// Enter reaches a dialog as IDOK: it must not pass for the worker's report.
TEST_F(HttpWaitDialogTest, EnterNeverEndsARunAsFetched) {
    CDownloadWaitDlg dlg;
    EXPECT_EQ(IDCANCEL, RunWithWorker(dlg, false, [](HWND hDlg) { ::PostMessageA(hDlg, WM_KEYDOWN, VK_RETURN, 0); }));
    EXPECT_EQ(IDOK, RunWithWorker(dlg, true, [](HWND hDlg) { ::PostMessageA(hDlg, WM_KEYDOWN, VK_RETURN, 0); }));
}

// The user gives up on a run; its worker reports later, while the page runs
// the dialog again for the next fetch: that run ends only by its own worker.
TEST_F(HttpWaitDialogTest, EscapeAndTheCloseBoxEndARunAndItsLateWorkerLeavesTheNextRunAlone) {
    CDownloadWaitDlg dlg;
    for (auto close : {PressEscape, ClickCloseBox}) {
        unsigned abandonedRun = dlg.NextRun();
        std::thread user([&] {
            if (HWND hDlg = WaitForDialog()) close(hDlg);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        user.join();

        unsigned run = dlg.NextRun();
        std::thread worker([&] {
            WaitForDialog();
            dlg.EndRun(abandonedRun, true);
            dlg.EndRun(run, false);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        worker.join();
    }
}

// A fetch the user gave up on goes on writing only its own file; the next
// fetch of the same file succeeds beside it, and the local file is whole
// whichever of the two ends last.
TEST_F(HttpWaitDialogTest, AFetchTheUserGaveUpNeverDisturbsTheNextFetchOfTheSameFile) {
    const std::string base = testweb::BaseUrl();
    ASSERT_FALSE(base.empty()) << "the test web server is not running";
    const std::string siteDir = testweb::RootDir() + "\\wait";
    ::CreateDirectoryA(siteDir.c_str(), nullptr);
    std::string served = "[Product]\r\nName=ZEP\r\n[Components]\r\n";
    for (int i = 0; served.size() < 60000; ++i) served += "Component" + std::to_string(i) + "\r\n";
    ASSERT_TRUE(testsupport::WriteFile(siteDir + "\\zep.sif", served));
    const std::string url = base + "/wait/zep.sif";
    const std::string localPath = m_dir + "\\zep.sif";

    CSetupApp app;
    app.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(nullptr, app.m_hInternet);
    CDownloadWaitDlg& dlg = app.m_dlgDownloadWait;

    unsigned abandonedRun = dlg.NextRun();
    BOOL lateResult = FALSE;
    std::thread late([&] {
        lateResult = app.FetchIniFile(url + "?stall=3&stall_at=20000", localPath, "Product");
        dlg.EndRun(abandonedRun, lateResult);
    });
    std::thread user([&] {
        if (HWND hDlg = WaitForDialog()) PressEscape(hDlg);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    user.join();

    unsigned run = dlg.NextRun();
    std::thread worker([&] { dlg.EndRun(run, app.FetchIniFile(url, localPath, "Product")); });
    EXPECT_EQ(IDOK, dlg.DoModal());
    worker.join();
    std::string content;
    EXPECT_TRUE(testsupport::ReadFile(localPath, content));
    EXPECT_TRUE(served == content);

    late.join();
    EXPECT_TRUE(lateResult);
    EXPECT_TRUE(testsupport::ReadFile(localPath, content));
    EXPECT_TRUE(served == content);
    EXPECT_EQ(std::vector<std::string>{"zep.sif"}, FilesIn(m_dir));
    ::InternetCloseHandle(app.m_hInternet);
    app.m_hInternet = nullptr;
}
