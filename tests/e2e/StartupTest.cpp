// Starts the real zepsetup.exe and watches it from outside.
#include "support/TestSupport.h"
#include "tests/robot/Robot.h"

#include <gtest/gtest.h>

using namespace testsupport;

static std::string SetupExe() { return BinDir() + "\\zepsetup.exe"; }

TEST(Startup, WithoutSetupInformationFileOnlyOneMessageBoxAndNoWizard) {
    std::string dir = MakeScratchDir("no-sif");
    robot::Process setup;
    ASSERT_TRUE(setup.Start(SetupExe(), dir));

    HWND box = robot::WaitMessageBox(setup.Id(), 20000);
    ASSERT_NE(nullptr, box) << "no message box appeared";
    EXPECT_EQ("zepsetup", robot::GetText(box));
    EXPECT_EQ("Failed to load setup information file", robot::MessageBoxText(box));
    EXPECT_TRUE(robot::MessageBoxHasExclamation(box));
    EXPECT_EQ(1u, robot::TopDialogs(setup.Id()).size());
    robot::SaveScreenshot(box, ArtefactsDir() + "\\startup-no-sif.bmp");

    ASSERT_TRUE(robot::AnswerMessageBox(box, IDOK));
    bool wizardSeen = false;
    bool ended = robot::WaitUntil(
        [&] {
            wizardSeen = wizardSeen || robot::FindWizard(setup.Id()) != nullptr;
            return !setup.IsRunning();
        },
        20000);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(wizardSeen);
}

TEST(Startup, WithAValidSetupInformationFileStartUpPasses) {
    std::string dir = MakeScratchDir("valid-sif");
    ASSERT_TRUE(WriteFile(dir + "\\zepsetup.sif",
                          "[Product]\r\nName=ZEP\r\nDestination=C:\\ZEP\r\nGroup=ZEP\r\nLocationsInfo=sites.ini\r\n"
                          "BaseURL=http://127.0.0.1:9/\r\nSetupInfoLocation=info\r\n[Components]\r\nCore\r\n"));
    robot::Process setup;
    ASSERT_TRUE(setup.Start(SetupExe(), dir));
    bool failureShown = false;
    robot::WaitUntil(
        [&] {
            failureShown = failureShown ||
                           robot::FindMessageBox(setup.Id(), "Failed to load setup information file") != nullptr;
            return failureShown || !setup.IsRunning() || robot::FindWizard(setup.Id()) != nullptr;
        },
        20000);
    EXPECT_FALSE(failureShown);
}
