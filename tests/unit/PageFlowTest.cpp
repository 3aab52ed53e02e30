// The page-flow decisions of the wizard, without windows.
#include "app/PageFlow.h"
#include "res/resource.h"
#include "select/SizeText.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

TEST(PageFlow, NextAndBackFollowTheRunMode) {
    EXPECT_EQ(kNeighbourPage, NextPageAfterInstallOrDownload(0));
    EXPECT_EQ(IDD_PREPARING, NextPageAfterInstallOrDownload(1));
    EXPECT_EQ(IDD_PREPARING, NextPageAfterComponents(0)) << "Removing is skipped";
    EXPECT_EQ(kNeighbourPage, NextPageAfterComponents(1));
    EXPECT_EQ(IDD_COMPONENTS, BackPageFromPreparing(0)) << "Removing is skipped going back";
    EXPECT_EQ(IDD_INSTALL_OR_DOWNLOAD, BackPageFromPreparing(1));
    EXPECT_EQ(IDD_INSTALLING, NextPageAfterPreparing(0));
    EXPECT_EQ(kNeighbourPage, NextPageAfterPreparing(3));
}

TEST(PageFlow, ButtonsOfEachState) {
    EXPECT_EQ(unsigned(PSWIZB_BACK), LicenseButtons(-1));
    EXPECT_EQ(unsigned(PSWIZB_BACK | PSWIZB_NEXT), LicenseButtons(0));
    EXPECT_EQ(unsigned(PSWIZB_BACK), LicenseButtons(1));
    EXPECT_EQ(unsigned(PSWIZB_BACK | PSWIZB_FINISH), PreparingButtons(1, 0));
    EXPECT_EQ(unsigned(PSWIZB_BACK | PSWIZB_NEXT), PreparingButtons(1, 2));
    EXPECT_EQ(unsigned(PSWIZB_BACK | PSWIZB_NEXT), PreparingButtons(0, 0));
    EXPECT_EQ(unsigned(PSWIZB_BACK | PSWIZB_FINISH), RemovalDoneButtons(0));
    EXPECT_EQ(unsigned(PSWIZB_BACK | PSWIZB_NEXT), RemovalDoneButtons(1));
    EXPECT_EQ(unsigned(PSWIZB_DISABLEDFINISH), DownloadingButtons(1));
    EXPECT_EQ(0u, DownloadingButtons(0));
}

TEST(PageFlow, CancelTableCoversEveryPage) {
    for (int page : {IDD_WELCOME, IDD_LICENSE, IDD_INSTALL_OR_DOWNLOAD, IDD_FINISH})
        EXPECT_EQ(CancelRule::Close, CancelRuleFor(page, 1)) << page;
    for (int page : {IDD_COMPONENTS, IDD_PREPARING, IDD_CHOOSE_SITE, IDD_DOWNLOADING})
        EXPECT_EQ(CancelRule::Ask, CancelRuleFor(page, 0)) << page;
    EXPECT_EQ(CancelRule::Close, CancelRuleFor(IDD_REMOVING, 0));
    EXPECT_EQ(CancelRule::Ask, CancelRuleFor(IDD_REMOVING, 1));
    EXPECT_EQ(CancelRule::Refuse, CancelRuleFor(IDD_INSTALLING, 0));
}

TEST(PageFlow, DownloadFolderAlwaysEndsInOneBackslash) {
    EXPECT_EQ("C:\\dl\\", WithTrailingBackslash("C:\\dl"));
    EXPECT_EQ("C:\\dl\\", WithTrailingBackslash("C:\\dl\\"));
    EXPECT_EQ("\\", WithTrailingBackslash("")) << "the root of the current drive";
}

TEST(PageFlow, RebootOnlyWhenNeededAndChosen) {
    EXPECT_TRUE(RebootOnFinish(true, 0));
    EXPECT_FALSE(RebootOnFinish(true, 1));
    EXPECT_FALSE(RebootOnFinish(false, 0));
}

TEST(SizeText, WholeKilobytesFrom1024On) {
    EXPECT_EQ("1023", FormatSizeK(1023));
    EXPECT_EQ("1 K", FormatSizeK(1024));
    EXPECT_EQ("1500 K", FormatSizeK(1536000));
    EXPECT_EQ("1023 K", FormatSizeK(1048575));
    EXPECT_EQ("-5", FormatSizeK(-5));
    EXPECT_EQ("16777216 K", FormatSizeK64(int64_t(4) << 32));
}
