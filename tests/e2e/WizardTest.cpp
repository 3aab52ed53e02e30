// Walks the real zepsetup.exe through its pages the way a user does; every
// page reached is kept as a screenshot (wizard-*.bmp in the artefacts folder).
#include "res/resource.h"
#include "support/WizardDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace wizard;

namespace {

const auto StoredFolder = StoredDownloadFolder;

std::string ComponentColumns(HWND page) {
    return std::to_string(Header_GetItemCount(ListView_GetHeader(::GetDlgItem(page, IDC_COMPONENTS_LIST))));
}

const Page kPreparingToDownload{IDC_PREPARING_TITLE, "Preparing to setup", "preparing-download-only"};
// The pages while they ask whether to go on without the site's updated list,
// which this wizard's site (nothing on the port) never gives.
const Page kComponentsAsking{IDC_COMPONENTS_TITLE, "Select components", "components-asking"};
const Page kPreparingAsking{IDC_PREPARING_TITLE, "Preparing to setup", "preparing-asking"};


// Without license.txt. The download folder is stored whichever way the page
// is left, with one backslash at its end. Nothing is to be downloaded, so
// Installing commits an empty queue and moves on by itself.
std::vector<Step> InstallRoad(const std::string& setupFolder) {
    return {
        {Act::Look, &kWelcome, Next, {{IDC_WELCOME_SUBTITLE, "Intelligent Setup Wizard"}}},
        {Act::Next, &kLicense, Back, {{IDC_LICENSE_TEXT, "License file not found"}}},
        {Act::Back, &kWelcome, Next},
        {Act::Next, &kLicense, Back},
        {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
        {Act::Click, &kLicense, Back, {}, IDC_LICENSE_DECLINE},
        {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
        {Act::Next, &kInstallOrDownload, Back | Next,
         {{IDC_MODE_INSTALL, "Install / Upgrade / Remove [x]"}, {IDC_MODE_FOLDER, setupFolder}}},
        {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, "C:\\zep-downloads"},
        {Act::Next, &kComponentsAsking, Back | Next, {{StoredFolder, "C:\\zep-downloads\\"}, {ComponentColumns, "4"}}},
        {Act::Answer, &kComponents, Back | Next, {{ComponentRows, "ZEP Core|not installed|2.1|install"}}, IDYES,
         kAskLocal},
        {Act::Back, &kInstallOrDownload, Back | Next, {{IDC_MODE_FOLDER, "C:\\zep-downloads\\"}}},
        {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, ""},
        {Act::Back, &kLicense, Back | Next, {{IDC_LICENSE_ACCEPT, "I accept the agreement [x]"}, {StoredFolder, "\\"}}},
        {Act::Next, &kInstallOrDownload, Back | Next, {{IDC_MODE_FOLDER, "\\"}}},
        {Act::Type, &kInstallOrDownload, Back | Next, {}, IDC_MODE_FOLDER, "C:\\zep-downloads\\"},
        {Act::Next, &kComponentsAsking, Back | Next, {{StoredFolder, "C:\\zep-downloads\\"}}},
        {Act::Answer, &kComponents, Back | Next, {}, IDYES, kAskLocal},
        {Act::Next, &kPreparingAsking, Back | Next},
        {Act::Answer, &kPreparing, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}, IDYES, kAskLocal},
        {Act::Back, &kComponentsAsking, Back | Next},
        {Act::Answer, &kComponents, Back | Next, {}, IDYES, kAskLocal},
        {Act::Next, &kPreparingAsking, Back | Next},
        {Act::Answer, &kPreparing, Back | Next, {}, IDYES, kAskLocal},
        {Act::Next, &kFinish, Finish,
         {{IDC_FINISH_OUTCOME, "Setup Wizard finished installing/upgrading components."},
          {IDC_FINISH_REBOOT_NOTICE, "hidden"},
          {IDC_FINISH_REBOOT_NOW, "hidden"}}},
        {Act::Finish, nullptr},
    };
}

// Download only skips the Components page both ways; with nothing to
// download the run ends on the Preparing page.
const std::vector<Step> kDownloadRoad = {
    {Act::Look, &kWelcome, Next},
    {Act::Next, &kLicense, Back},
    {Act::Click, &kLicense, Back | Next, {}, IDC_LICENSE_ACCEPT},
    {Act::Next, &kInstallOrDownload, Back | Next},
    {Act::Click, &kInstallOrDownload, Back | Next, {{IDC_MODE_DOWNLOAD_ONLY, "Download only [x]"}},
     IDC_MODE_DOWNLOAD_ONLY},
    {Act::Next, &kPreparingAsking, Back | Next, {{IDC_PREPARING_CHANGE, "hidden"}}},
    {Act::Answer, &kPreparingToDownload, Back | Finish, {}, IDYES, kAskLocal},
    {Act::Back, &kInstallOrDownload, Back | Next, {{IDC_MODE_DOWNLOAD_ONLY, "Download only [x]"}}},
    {Act::Next, &kPreparingAsking, Back | Next},
    {Act::Answer, &kPreparingToDownload, Back | Finish, {}, IDYES, kAskLocal},
    {Act::Finish, nullptr},
};

}  // namespace

TEST(Wizard, InstallRoadFromWelcomeToFinish) {
    Wizard run;
    ASSERT_TRUE(run.Start("install"));
    EXPECT_TRUE(run.Walk(InstallRoad(run.Dir())));
}

TEST(Wizard, DownloadOnlyRoadEndsOnThePreparingPage) {
    Wizard run;
    ASSERT_TRUE(run.Start("download-only"));
    EXPECT_TRUE(run.Walk(kDownloadRoad));
}

TEST(Wizard, CancelClosesAtOnceOrAsksFirstPageByPage) {
    const struct {
        const Page* page;
        Cancel rule;
    } cases[] = {{&kWelcome, Cancel::Closes},   {&kLicense, Cancel::Closes}, {&kInstallOrDownload, Cancel::Closes},
                 {&kComponents, Cancel::Asks},  {&kPreparing, Cancel::Asks}, {&kPreparingToDownload, Cancel::Asks},
                 {&kFinish, Cancel::Closes}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page->shot);
        Wizard run;
        ASSERT_TRUE(run.Start(std::string("cancel-") + c.page->shot));
        ASSERT_TRUE(run.Walk(UpTo(c.page == &kPreparingToDownload ? kDownloadRoad : InstallRoad(run.Dir()), *c.page)));
        run.ExpectCancel(c.rule, std::string(c.page->shot) + "-cancel");
    }
}

// Focus that comes from a click or from the keyboard (where a dialog selects
// the whole text of an edit box) selects nothing and shows the text's start.
TEST(Wizard, LicenseShowsTheWholeFileAndFocusingItSelectsNothing) {
    std::string license;
    for (int line = 1; license.size() <= 3000; ++line)
        license += "Clause " + std::to_string(line) + ": the licensee keeps every copy of the package files safe.\r\n";
    Wizard run;
    ASSERT_TRUE(run.Start("license-long", license));
    ASSERT_TRUE(run.Walk({{Act::Look, &kWelcome, Next}, {Act::Next, &kLicense, Back, {{IDC_LICENSE_TEXT, license}}}}));
    HWND page = run.Page(), edit = ::GetDlgItem(page, IDC_LICENSE_TEXT);
    HWND back = ::GetDlgItem(run.Sheet(), robot::kBackButton);
    auto focusOn = [&](HWND target) {
        return robot::WaitUntil(
            [&] {
                GUITHREADINFO input = robot::ThreadInput(edit);
                return input.hwndFocus == target && !input.hwndCapture;
            },
            kTimeoutMs);
    };
    const LPARAM inside = MAKELPARAM(60, 40);
    for (bool keyboard : {false, true}) {
        SCOPED_TRACE(keyboard ? "keyboard" : "click");
        ::SendMessageA(edit, EM_LINESCROLL, 0, 5);
        ::PostMessageA(run.Sheet(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(back), TRUE);
        ASSERT_TRUE(focusOn(back));
        ASSERT_NE(0, ::SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
        if (keyboard) {
            ::PostMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        } else {
            ::PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, inside);
            ::PostMessageA(edit, WM_LBUTTONUP, 0, inside);
        }
        ASSERT_TRUE(focusOn(edit));
        // The return value, not the out-pointers: those would point into this process.
        DWORD selection = DWORD(::SendMessageA(edit, EM_GETSEL, 0, 0));
        EXPECT_EQ(LOWORD(selection), HIWORD(selection)) << "selected from " << LOWORD(selection);
        // A click puts the caret where it lands.
        EXPECT_TRUE(!keyboard || LOWORD(selection) == 0) << "caret not at the start";
        EXPECT_EQ(0, ::SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    }
    run.Shot("license-long");
}
