// The framework under the pages: control wrappers on real common controls,
// the worker thread, and how a run ends when something goes wrong.
#include "framework/Controls.h"
#include "framework/PropertySheet.h"
#include "framework/WinApp.h"
#include "framework/WorkerThread.h"
#include "res/resource.h"
#include "robot/Robot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

HWND MakeControl(const char* className, DWORD style) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    return ::CreateWindowExA(0, className, "", WS_POPUP | style, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

// A queue of more than 65,535 files and a download of more than 4 GB both
// still move the bar: 32-bit ranges, and 64-bit counts scaled alike.
TEST(Controls, ProgressBarTakesCountsBeyondSixteenAndThirtyTwoBits) {
    const int64_t kGB = int64_t(1) << 30;
    const struct {
        int64_t value, total;
        int expected;
    } scaled[] = {
        {70000, 100000, 70000}, {INT_MAX, INT_MAX, INT_MAX}, {3 * kGB, 6 * kGB, int((3 * kGB) >> 2)},
        {6 * kGB, 6 * kGB, int((6 * kGB) >> 2)}, {7 * kGB, 6 * kGB, int((7 * kGB) >> 2)}, {-5, 10, 0},
    };
    for (const auto& c : scaled) EXPECT_EQ(c.expected, ScaleProgress(c.value, c.total)) << c.value << " of " << c.total;

    const CProgressCtrl bar(MakeControl(PROGRESS_CLASSA, 0));
    bar.SetRange32(0, 100000);
    bar.SetPos(70000);
    EXPECT_EQ(70000, bar.GetPos());
    bar.SetRange64(6 * kGB);
    bar.SetPos64(3 * kGB, 6 * kGB);
    PBRANGE range{};
    ::SendMessageA(bar.m_hWnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iHigh / 2, bar.GetPos()) << "of " << range.iHigh;
    // As a worker records it.
    CWorkerProgress progress;
    progress.m_nTotal = 5 * kGB;
    progress.m_nDone = 4 * kGB;
    bar.ShowProgress(progress);
    EXPECT_EQ(ScaleProgress(4 * kGB, 5 * kGB), bar.GetPos());
    ::DestroyWindow(bar.m_hWnd);
}

// Rows as the pages fill them: each inserted in front of the previous one,
// with item data, column texts and a state image from the program's strip.
TEST(Controls, ListViewRowsColumnsAndStateImages) {
    const CListViewCtrl list(MakeControl(WC_LISTVIEWA, LVS_REPORT | LVS_SHAREIMAGELISTS));
    CImageList images;
    ASSERT_TRUE(images.LoadBitmapImages(IDB_STATE_IMAGES, 15, RGB(255, 0, 255)));
    EXPECT_EQ(3, ::ImageList_GetImageCount(images));
    list.SetStateImageList(images);
    list.InsertColumns({{"Component", LVCFMT_LEFT, 120}, {"Action", LVCFMT_RIGHT, 53}});
    EXPECT_EQ(53, ListView_GetColumnWidth(list.m_hWnd, 1));

    int second = 7, first = 9;
    EXPECT_EQ(0, list.InsertItem(0, "second", reinterpret_cast<LPARAM>(&second)));
    EXPECT_EQ(0, list.InsertItem(0, "first", reinterpret_cast<LPARAM>(&first)));
    list.SetItemText(1, 1, "Install");
    list.SetStateImage(1, 2);
    char text[16] = "";
    ListView_GetItemText(list.m_hWnd, 1, 1, text, sizeof text);
    EXPECT_STREQ("Install", text);
    EXPECT_EQ(2, list.GetStateImage(1));
    EXPECT_EQ(0, list.GetStateImage(0));
    EXPECT_EQ(reinterpret_cast<LPARAM>(&second), list.GetItemData(1));
    ::DestroyWindow(list.m_hWnd);
    // The list shared the image list: it is still whole for its owner.
    EXPECT_EQ(3, ::ImageList_GetImageCount(images));
}

// A worker keeps its result; one that throws reports failure instead of
// ending the process; a page can wait a bounded time and walk away.
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
    EXPECT_EQ(CWorkerThread::kFailed, worker.GetResult());
    ::SetEvent(release);
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
    const CListViewCtrl list(MakeControl(WC_LISTVIEWA, LVS_REPORT | WS_VISIBLE));
    list.InsertColumns({{"Name", LVCFMT_LEFT, 100}});
    {
        const CListFill fill(list);
        for (int i = 0; i < 200; ++i) list.InsertItem(i, "row", i);
    }
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
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
