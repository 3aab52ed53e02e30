// Decisions the pages take that no test can watch them take, and byte
// counts as the pages show them (they only ever show 0 yet).
#include "app/PageFlow.h"
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
