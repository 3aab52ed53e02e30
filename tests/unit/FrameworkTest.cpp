// The framework under the pages: progress scaling, list fills, the worker
// thread, and how a run or a sheet ends when something goes wrong; and what
// the platform needs of the program's resources: a manifest that asks for
// common controls 6, administrator rights and the DPI of every monitor and
// names the Windows versions the program knows, and pictures that load.
#include "framework/Controls.h"
#include "framework/Dpi.h"
#include "framework/PropertySheet.h"
#include "framework/WinApp.h"
#include "framework/WorkerThread.h"
#include "res/resource.h"
#include "res/version.h"
#include "robot/Robot.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using testsupport::BinDir;

// Counts up to INT_MAX go to the bar as they are; a download of more than
// 2 GB is scaled down by one power of two for its total and its progress.
TEST(Controls, ProgressCountsBeyondThirtyTwoBitsAreScaled) {
    const int64_t kGB = int64_t(1) << 30;
    const struct {
        int64_t value, total;
        int expected;
    } scaled[] = {
        {70000, 100000, 70000}, {INT_MAX, INT_MAX, INT_MAX}, {3 * kGB, 6 * kGB, int((3 * kGB) >> 2)},
        {6 * kGB, 6 * kGB, int((6 * kGB) >> 2)}, {7 * kGB, 6 * kGB, int((7 * kGB) >> 2)}, {-5, 10, 0},
    };
    for (const auto& c : scaled) EXPECT_EQ(c.expected, ScaleProgress(c.value, c.total)) << c.value << " of " << c.total;
}

// A bar 100 pixels wide is moved once per pixel of its 10,000 steps, and
// always to its ends, so that it shows exactly where the work ended.
TEST(Controls, PixelProgressMovesOncePerPixelAndToItsEnds) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    const HWND hBar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr,
                                        nullptr);
    static int s_nMoves = 0;
    static WNDPROC s_prevProc = nullptr;
    s_prevProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        hBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            s_nMoves += msg == PBM_SETPOS;
            return ::CallWindowProcA(s_prevProc, h, msg, w, l);
        })));
    CPixelProgress bar;
    bar.Attach(hBar);
    bar.SetRange(10000);
    RECT client{};
    ::GetClientRect(hBar, &client);
    for (int pos = 1; pos <= 9999; ++pos) bar.SetPos(pos);
    EXPECT_EQ(client.right - client.left, s_nMoves) << "the start, then one move per pixel but the last";
    bar.SetPos(10000);
    EXPECT_EQ(10000, CProgressCtrl(hBar).GetPos());
    ::DestroyWindow(hBar);
}

// A worker keeps its result; one that throws reports failure instead of
// ending the process; a page can wait a bounded time and walk away; the
// program's end waits for every worker, given up or not, until it ends.
TEST(WorkerThread, ResultReportAndFailure) {
    CWorkerThread worker;
    EXPECT_FALSE(worker.IsRunning());
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> reported{0};
    std::atomic<DWORD> reportThread{0};
    ASSERT_TRUE(worker.Start(
        [&] {
            ::WaitForSingleObject(release, 20000);
            return 42;
        },
        [&](int result) {
            reportThread = ::GetCurrentThreadId();
            reported = result;
        }));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Wait(50));
    EXPECT_FALSE(CWorkerThread::WaitForAll(50));
    EXPECT_EQ(CWorkerThread::kFailed, worker.GetResult());
    ::SetEvent(release);
    EXPECT_TRUE(CWorkerThread::WaitForAll(20000));
    ASSERT_TRUE(worker.Wait(20000));
    EXPECT_EQ(42, worker.GetResult());
    EXPECT_EQ(42, reported);
    EXPECT_NE(::GetCurrentThreadId(), reportThread) << "the report runs on the worker";

    ASSERT_TRUE(worker.Start([]() -> int { throw std::runtime_error("fault in the work"); }, [&](int result) {
        reported = result;
    }));
    ASSERT_TRUE(worker.Wait(20000));
    EXPECT_EQ(CWorkerThread::kFailed, worker.GetResult());
    EXPECT_EQ(CWorkerThread::kFailed, reported);

    ::ResetEvent(release);
    std::atomic<bool> cleaned{false};
    ASSERT_TRUE(worker.Start([&] { return int(::WaitForSingleObject(release, 20000)); }, {}, [&] { cleaned = true; }));
    EXPECT_FALSE(worker.Claim());
    EXPECT_FALSE(CWorkerThread::WaitForAll(50));
    ::SetEvent(release);
    EXPECT_TRUE(CWorkerThread::WaitForAll(20000));
    EXPECT_TRUE(cleaned);

    // Its owner gone, a worker still running ends by itself.
    ::ResetEvent(release);
    std::atomic<bool> ended{false};
    {
        CWorkerThread abandoned;
        ASSERT_TRUE(abandoned.Start([&] {
            ::WaitForSingleObject(release, 20000);
            return 0;
        }, [&](int) { ended = true; }));
    }
    ::SetEvent(release);
    EXPECT_TRUE(robot::WaitUntil([&] { return ended.load(); }, 20000));
    ::CloseHandle(release);
}

namespace {

class ThrowingApp : public CWinApp {
public:
    BOOL InitInstance() override { throw std::runtime_error("fault in the run"); }
    int ExitInstance() override {
        m_bExited = true;
        return CWinApp::ExitInstance();
    }
    bool m_bExited = false;
};

}  // namespace

// What the run opened is closed on every way out.
TEST(WinApp, ExitInstanceRunsAfterAnExceptionInTheRun) {
    ThrowingApp app;
    EXPECT_EQ(CWinApp::kExitCodeFault, app.Run());
    EXPECT_TRUE(app.m_bExited);
}

// Rows filled while the list does not draw: once the fill ends, the list
// scrolls over every one of them.
TEST(Controls, ListFilledWithoutDrawingScrollsOverEveryRow) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    const CListViewCtrl list(::CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | WS_VISIBLE | LVS_REPORT, 0, 0, 300, 200,
                                               nullptr, nullptr, nullptr, nullptr));
    list.InsertColumns({{"Name", LVCFMT_LEFT, 100}});
    {
        const CListFill fill(list);
        for (int i = 0; i < 200; ++i) list.InsertItem(i, "row", i);
    }
    SCROLLINFO info{sizeof info, SIF_RANGE, 0, 0, 0, 0, 0};
    ASSERT_TRUE(::GetScrollInfo(list.m_hWnd, SB_VERT, &info));
    EXPECT_EQ(199, info.nMax);
    ::DestroyWindow(list.m_hWnd);
}

// A sheet whose window cannot be made (here: its owner is no window) says so
// instead of ending as if the user had closed it.
TEST(Sheet, SheetThatCannotBeCreatedAnswersMinusOne) {
    CPropertySheet sheet(IDS_WIZARD_CAPTION, reinterpret_cast<HWND>(0x7654320));
    CPropertyPage page(IDD_WELCOME);
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    EXPECT_EQ(-1, sheet.DoModal());
}

// Each picture is drawn for 100, 150 and 200 %: a window takes the largest
// scale not above its DPI, and each drawing has its scale's size.
TEST(Resources, PicturesOfEveryScaleLoadInTheirSizes) {
    EXPECT_EQ((std::vector<int>{100, 100, 100, 150, 150, 150, 200, 200}),
              (std::vector<int>{PicturePercent(96), PicturePercent(120), PicturePercent(143), PicturePercent(144),
                                PicturePercent(168), PicturePercent(191), PicturePercent(192), PicturePercent(288)}));
    HINSTANCE self = ::GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_ANIMATE_CLASS};
    ::InitCommonControlsEx(&icc);
    for (UINT dpi : {96u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        for (int size : {32, 16}) {
            const int length = ScaledLength(size, dpi);
            EXPECT_NE(nullptr, ::LoadImageA(self, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, length, length, 0));
        }
        const auto width = [&](UINT nID) {
            BITMAP bitmap{};
            const HGDIOBJ hBitmap = ::LoadImageA(self, MAKEINTRESOURCEA(PictureForDpi(nID, dpi)), IMAGE_BITMAP, 0, 0, 0);
            ::GetObjectA(hBitmap, sizeof bitmap, &bitmap);
            ::DeleteObject(hBitmap);
            return bitmap.bmWidth;
        };
        EXPECT_EQ(PictureLength(122, dpi), width(IDB_SIDE_PICTURE));
        EXPECT_EQ(3 * PictureLength(15, dpi), width(IDB_STATE_IMAGES));
        HWND animation = ::CreateWindowExA(0, ANIMATE_CLASSA, "", WS_POPUP | ACS_CENTER, 0, 0, 272, 60, nullptr,
                                           nullptr, self, nullptr);
        EXPECT_TRUE(::SendMessageA(animation, ACM_OPENA, 0, PictureForDpi(IDR_DOWNLOAD_CLIP, dpi)))
            << "the RLE clip is refused";
        EXPECT_TRUE(::SendMessageA(animation, ACM_PLAY, 1, MAKELONG(0, 30)));
        ::DestroyWindow(animation);
    }
    EXPECT_NE(nullptr, ::LoadImageA(nullptr, (BinDir() + "\\globe.ani").c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
}

TEST(Resources, ManifestAsksForCommonControls6AdministratorAndEveryMonitorsDpiAndNamesItsWindows) {
    HMODULE module = ::LoadLibraryExA((BinDir() + "\\zepsetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC manifest = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, manifest);
    const std::string xml(static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
                          ::SizeofResource(module, manifest));
    for (const char* part :
         {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "level=\"requireAdministrator\"",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", ">PerMonitorV2"})
        EXPECT_NE(std::string::npos, xml.find(part)) << part << " in\n" << xml;
    // The version set once in the build: VS_FIXEDFILEINFO's signature, its layout's version, then the file's.
    const HRSRC version = ::FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    const std::string info(static_cast<const char*>(::LockResource(::LoadResource(module, version))),
                           ::SizeofResource(module, version));
    EXPECT_EQ(info.substr(info.find("\xBD\x04\xEF\xFE") + 8, 8),
              std::string({char(ZEP_VERSION_MINOR), 0, char(ZEP_VERSION_MAJOR), 0, char(ZEP_VERSION_BUILD), 0,
                           char(ZEP_VERSION_PATCH), 0}));
    ::FreeLibrary(module);
}
