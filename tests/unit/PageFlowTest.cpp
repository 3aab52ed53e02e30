// Decisions the pages take that no test can watch them take, and byte
// counts as the pages show them (they only ever show 0 yet).
#include "app/PageFlow.h"
#include "download/ProgressText.h"
#include "select/SizeText.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

// The Downloading page offers its disabled Finish only until its work
// starts, which follows at once: too briefly for the robot to see.
TEST(PageFlow, DownloadOnlyOffersNoWayOnWhileDownloading) {
    EXPECT_EQ(unsigned(PSWIZB_DISABLEDFINISH), DownloadingButtons(1));
}

TEST(SizeText, PlainBelow1024ThenWholeKilobytesWithoutOverflow) {
    const struct {
        int64_t bytes;
        const char* shown;
    } cases[] = {{1023, "1023"}, {1024, "1 K"}, {1536000, "1500 K"}, {1048575, "1023 K"}, {-5, "-5"}};
    for (const auto& c : cases) EXPECT_EQ(c.shown, FormatSizeK(int32_t(c.bytes))) << c.bytes;
    EXPECT_EQ("16777216 K", FormatSizeK64(int64_t(4) << 32));
}

// Bytes received against the total after elapsed seconds (the start's 2
// included), and what the Downloading page shows of them.
TEST(ProgressText, BytesAndTimeLeftFromTheMeanRate) {
    const int64_t kGB = int64_t(1) << 30;
    const struct {
        int64_t received, total, elapsed;
        const char *bytes, *timeLeft;
    } cases[] = {
        {0, 9381888, 2, "0  of  9162 K", "0 sec"},
        {2100000, 9381888, 2, "2050 K  of  9162 K", "6 sec"},
        {1000, 60000, 2, "1000  of  58 K", "1 min"},
        {1000, 60000, 1, "1000  of  58 K", "59 sec"},
        {1000, 3600000, 1, "1000  of  3515 K", "59 min"},
        {1000, 7501000, 1, "1000  of  7325 K", "2 hours5 min"},
        {1300, 1000, 13, "1 K  of  1000", "-3 sec"},  // more than announced
        {5 * kGB, 6 * kGB, 5, "5242880 K  of  6291456 K", "1 sec"},
        {kGB, 6 * kGB, 2, "1048576 K  of  6291456 K", "10 sec"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bytes, FormatBytesProgress(c.received, c.total)) << c.received;
        EXPECT_EQ(c.timeLeft, FormatTimeLeft(EstimateSecondsLeft(c.received, c.total, c.elapsed))) << c.received;
    }
    EXPECT_EQ((std::vector<unsigned>{500, 1000, 2000, 4000, 8000, 8000}),
              (std::vector<unsigned>{RetryPauseMs(1), RetryPauseMs(2), RetryPauseMs(3), RetryPauseMs(4),
                                     RetryPauseMs(5), RetryPauseMs(40)}));
}
