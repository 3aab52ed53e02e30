// The download wait dialog run modally on this thread while a worker fetches,
// the way the pages run it; the robot reads and closes it like a user.
#include "app/SetupApp.h"
#include "download/HttpTransfer.h"
#include "download/DownloadWaitDlg.h"
#include "res/DownloadWaitIds.h"
#include "robot/Robot.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <thread>

using namespace testsupport;

namespace {

// The wait dialog once it shows: the only top-level dialog of this process.
HWND WaitForDialog() { return robot::WaitTopDialog(::GetCurrentProcessId(), 20000); }

void PressEscape(HWND hDlg) { ::PostMessageA(hDlg, WM_KEYDOWN, VK_ESCAPE, 0); }
void ClickCloseBox(HWND hDlg) { ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace

class HttpWaitDialogTest : public ::testing::Test {
protected:
    std::string m_dir = MakeScratchDir("waitdialog");
    WorkingFolder m_folder{m_dir};
};

// Only the worker's report ends a run as fetched: Enter, pressed in every
// run, reaches a dialog as IDOK too and must not pass for it. The globe
// beside the program shows; the dialog works without it.
TEST_F(HttpWaitDialogTest, EachRunShowsItsSubjectAndEndsWithItsWorkersResult) {
    const struct {
        const char* subject;
        int missing;
        bool globe;
        INT_PTR result;
    } cases[] = {{"components list...", 0, false, IDOK}, {"locations...", 2, true, IDCANCEL}};
    CDownloadWaitDlg dlg;
    CWorkerThread worker;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subject);
        ASSERT_TRUE(!c.globe || ::CopyFileA((SourceDir() + "\\res\\globe.ani").c_str(), "globe.ani", FALSE));
        std::string text, caption;
        HICON globe = nullptr;
        const INT_PTR result = dlg.RunFetch(nullptr, worker, c.subject, [&] {
            if (HWND hDlg = WaitForDialog()) {
                text = robot::GetDlgText(hDlg, IDC_DOWNLOAD_WAIT_TEXT);
                caption = robot::GetText(hDlg);
                globe = reinterpret_cast<HICON>(
                    ::SendMessageA(::GetDlgItem(hDlg, IDC_DOWNLOAD_WAIT_GLOBE), STM_GETICON, 0, 0));
                if (c.globe) robot::SaveScreenshot(hDlg, ArtefactsDir() + "\\wait-dialog.bmp");
                ::PostMessageA(hDlg, WM_KEYDOWN, VK_RETURN, 0);
            }
            return c.missing;
        });
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(std::string("Downloading ") + c.subject, text);
        EXPECT_EQ("Dialog", caption);
        EXPECT_EQ(c.globe, globe != nullptr);
        ASSERT_TRUE(worker.Wait(20000));
        EXPECT_EQ(c.missing, worker.GetResult());
    }
}

// The user gives up on a run; its worker reports later, a fetch or a
// failure, while the page runs the dialog again for the next fetch: that run
// ends only by its own worker.
TEST_F(HttpWaitDialogTest, EscapeAndTheCloseBoxEndARunAndItsLateWorkerLeavesTheNextRunAlone) {
    CDownloadWaitDlg dlg;
    const std::pair<void (*)(HWND), int> givenUp[] = {{PressEscape, 0}, {ClickCloseBox, 1}};
    for (const auto& run : givenUp) {
        CWorkerThread late, next;
        HANDLE nextRunShows = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        EXPECT_EQ(IDCANCEL, dlg.RunFetch(nullptr, late, "components list...", [&] {
            if (HWND hDlg = WaitForDialog()) run.first(hDlg);
            ::WaitForSingleObject(nextRunShows, 20000);
            return run.second;
        }));
        EXPECT_EQ(run.second ? IDOK : IDCANCEL, dlg.RunFetch(nullptr, next, "components list...", [&] {
            WaitForDialog();
            ::SetEvent(nextRunShows);
            late.Wait(20000);
            return 1 - run.second;
        }));
        EXPECT_TRUE(late.Wait(20000));
        ::CloseHandle(nextRunShows);
    }
}

// A fetch the user gave up on goes on alone: it writes only a file of its
// own, removes it when it ends, and shows no box, also when that file cannot
// be made.
TEST_F(HttpWaitDialogTest, AFetchGivenUpLeavesNothingBehindAndSaysNothing) {
    const std::string base = testweb::BaseUrl();
    ASSERT_FALSE(base.empty()) << "the test web server is not running";
    const std::string siteDir = testweb::RootDir() + "\\wait";
    ::CreateDirectoryA(siteDir.c_str(), nullptr);
    ASSERT_TRUE(WriteFile(siteDir + "\\zep.sif", testweb::IniFile(60000)));
    CSetupApp app;
    app.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    for (const std::string& folder : {m_dir, m_dir + "\\missing"}) {
        const std::string own = OwnFetchPath(folder + "\\zep.sif");
        CWorkerThread late;
        std::thread user([] {
            if (HWND hDlg = WaitForDialog()) PressEscape(hDlg);
        });
        const auto fetch = [&] {
            return app.FetchIniFile(base + "/wait/zep.sif?stall_before=2", own, "Locations") ? 0 : 1;
        };
        EXPECT_EQ(IDCANCEL, app.m_dlgDownloadWait.RunFetch(nullptr, late, "components list...", fetch,
                                                           [own] { ::DeleteFileA(own.c_str()); }));
        user.join();
        EXPECT_FALSE(late.Claim());
        const DWORD pid = ::GetCurrentProcessId();
        EXPECT_TRUE(robot::WaitUntil([&] { return late.Wait(0) || robot::FindMessageBox(pid); }, 60000));
        EXPECT_EQ(nullptr, robot::FindMessageBox(::GetCurrentProcessId()));
    }
    EXPECT_EQ(Lines{}, SortedFilesIn(m_dir));
    ::InternetCloseHandle(app.m_hInternet);
    app.m_hInternet = nullptr;
}
