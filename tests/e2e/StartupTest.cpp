// Starts the real zepsetup.exe in a folder without its setup information file.
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

TEST(Startup, WithoutSetupInformationFileOneExclamationBoxAndNoWizard) {
    wizard::Wizard run;
    ASSERT_TRUE(run.Launch("no-sif", ""));
    HWND box = robot::WaitMessageBox(run.Pid(), wizard::kTimeoutMs);
    ASSERT_NE(nullptr, box) << "no message box appeared";
    run.Shot("startup-no-sif", box);
    EXPECT_EQ("zepsetup", robot::GetText(box));
    EXPECT_EQ("Failed to load setup information file", robot::MessageBoxText(box));
    EXPECT_TRUE(robot::MessageBoxHasExclamation(box));
    EXPECT_EQ(1u, robot::TopDialogs(run.Pid()).size());

    ASSERT_TRUE(robot::AnswerMessageBox(box, IDOK));
    bool wizardSeen = false;
    EXPECT_TRUE(robot::WaitUntil(
        [&] {
            wizardSeen = wizardSeen || robot::FindWizard(run.Pid()) != nullptr;
            return run.Gone();
        },
        wizard::kTimeoutMs));
    EXPECT_FALSE(wizardSeen);
}
