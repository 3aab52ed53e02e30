// The Components and Preparing pages inside this test program, on a
// catalogue, registry, download folder and setup web site of each test's
// own, worked from a second thread as a user would.
#include "app/OldProducts.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "res/resource.h"
#include "select/ComponentStates.h"
#include "select/SkippedComponentsDlg.h"
#include "support/PackageTestFiles.h"
#include "support/SetupRun.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <thread>

using namespace wizard;
using testsupport::PackageInfoFile;
using testsupport::SetupInfo;
using testsupport::WriteFile;

namespace {

std::string Comp(const std::string& key, int version, const std::string& dependOn = "") {
    return testsupport::ComponentSection(key, version, dependOn);
}

// A run of its own on the site below selection/ of the test web site, whose
// updated list at "good" brings new components, at "plain" has none, and at
// "missing" is not there; "pki" holds package info files.
void PrepareRun(const std::string& name, const std::string& sif, const std::map<std::string, int>& installed = {},
                const std::string& location = "plain") {
    const std::string site = testweb::RootDir() + "\\selection\\";
    for (const char* folder : {"", "good", "plain", "pki"}) ::CreateDirectoryA((site + folder).c_str(), nullptr);
    WriteFile(site + "good\\zep.sif", SetupInfo("Base\r\nNew\r\n", Comp("Base", 770) + Comp("New", 256)));
    WriteFile(site + "plain\\zep.sif", "[Product]\r\n");
    WriteFile(site + "pki\\Web.pki", PackageInfoFile({{"w.dat", 3000}}));
    testsupport::PrepareRun(testsupport::MakeScratchDir(name), sif, installed, testweb::BaseUrl() + "/selection/",
                            location);
}

template <int List, int Column, int Columns = 4>
std::string Col(HWND page) { return ListText(::GetDlgItem(page, List), Column, Columns); }
const auto Names = Col<IDC_COMPONENTS_LIST, 0>, Actions = Col<IDC_COMPONENTS_LIST, 3>;
// The packages' boxes, then the total.
std::string Boxes(HWND page) {
    HWND list = ::GetDlgItem(page, IDC_PREPARING_PACKAGES);
    std::string text;
    for (int row = 0; row < 4; ++row)
        text += std::to_string(robot::ListViewItemState(list, row, LVIS_STATEIMAGEMASK) >> 12);
    return text + " " + robot::GetDlgText(page, IDC_PREPARING_TOTAL);
}

}  // namespace

// Keys of zepsetup.sif first, those the updated list brings at the bottom;
// clicks (and keys, which select nothing) reach the selection rules (whose
// table is the unit test's), every row shows what they decided, and the
// dependents dialog names every dependent before anything is removed.
TEST(Selection, ClicksFollowTheDependencyRules) {
    PrepareRun("clicks",
               SetupInfo("Base\r\nCore\r\nTools\r\nExtra\r\n",
                         Comp("Base", 513, "Nowhere") + Comp("Core", 513, "Base") + Comp("Tools", 513, "Core") +
                             Comp("Extra", 513, "Tools")),
               {{"Base", 512}, {"Core", 600}}, "good");
    CComponentsPage page;
    Wizard::RunPages({&page}, [](Wizard& wizard) {
        ASSERT_TRUE(wizard.Walk({{Act::Look, &kComponents, Back | Next, {{Col<IDC_COMPONENTS_LIST, -1>,
            "ZEP Base|upgrade available|3.2|upgrade,ZEP Core|already installed|2.1|,ZEP Tools|not installed|2.1|,"
            "ZEP Extra|not installed|2.1|,ZEP New|not installed|1.0|install"}}}}));
        HWND list = ::GetDlgItem(wizard.Page(), IDC_COMPONENTS_LIST);
        const struct {
            int row, x, answer;  // answer: the dependents dialog's button, IDCANCEL for Escape, 0: not asked
            const char *dependents, *actions;
        } clicks[] = {
            {4, 40, 0, "", "upgrade,,,,install"},  // beside the box
            {3, 8, 0, "", "upgrade,,install,install,install"},
            {1, 8, IDNO, "ZEP Extra,ZEP Tools", "upgrade,,install,install,install"},
            {1, 8, IDCANCEL, "ZEP Extra,ZEP Tools", "upgrade,,install,install,install"},
            {1, 8, IDYES, "ZEP Extra,ZEP Tools", "upgrade,remove,,,install"},
        };
        for (const auto& c : clicks) {
            SCOPED_TRACE(std::string("to ") + c.actions);
            ::PostMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
            ASSERT_TRUE(robot::ClickListRow(list, c.row, c.x));
            if (HWND dlg = c.answer ? WaitDialogWith(IDC_DEPENDENTS_LIST) : nullptr) {
                EXPECT_EQ("The following components depends on '" + robot::ReadListView(list, 1)[c.row][0] +
                              "' and will be also removed:|" + c.dependents,
                          robot::GetDlgText(dlg, IDC_DEPENDENTS_HEADING) + "|" +
                              ListText(::GetDlgItem(dlg, IDC_DEPENDENTS_LIST), 0));
                wizard.Shot("dependents", dlg);
                if (c.answer == IDCANCEL) ::PostMessageA(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
                else robot::AnswerMessageBox(dlg, c.answer);
            }
            EXPECT_TRUE(robot::WaitUntil([&] { return Actions(wizard.Page()) == c.actions; }, kTimeoutMs));
        }
        for (int row = 0; row < 5; ++row) {
            const auto* pComp = reinterpret_cast<const CComponent*>(CListViewCtrl(list).GetItemData(row));
            EXPECT_EQ(pComp->m_nState + 1, robot::ListViewItemState(list, row, LVIS_STATEIMAGEMASK) >> 12) << row;
            EXPECT_EQ(0, robot::ListViewItemState(list, row, LVIS_SELECTED)) << row;
        }
        EXPECT_EQ("2 1", std::to_string(theApp.m_nToInstall) + " " + std::to_string(theApp.m_nToRemove));
    });
}

// The updated list is fetched once per run; a failure (the faults are the
// fault matrix's) leaves a list an earlier run fetched in use. With nothing
// chosen only Back is offered, and coming back chooses the defaults again.
TEST(Selection, TheUpdatedListIsFetchedOnceAndOnlyAWholeListReplacesTheOldOne) {
    const std::string earlier = SetupInfo("Kept\r\n", Comp("Kept", 256));
    const struct {
        const char* location;
        int answer;  // to the question; 0: none asked, -1: the list is already fetched
        const char* names;
    } cases[] = {{"missing", IDYES, "ZEP Solo,ZEP Kept"}, {"good", 0, "ZEP Solo,ZEP Base,ZEP New"},
                 {"plain", -1, "ZEP Solo,ZEP Base,ZEP New"}};
    CWelcomePage welcome;
    CComponentsPage components;
    Wizard::RunPages({&welcome, &components}, [&](Wizard& wizard) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.location);
            theApp.m_strSetupInfoLocation = c.location;
            if (c.answer >= 0) {
                PrepareRun(std::string("list-") + c.location, SetupInfo("Solo\r\n", Comp("Solo", 256)), {}, c.location);
                WriteFile(theApp.m_strDownloadDir + "zep.sif", earlier);
            }
            std::vector<Step> steps{{Act::Next, &kComponents, Back | Next}};
            if (c.answer > 0) steps.push_back({Act::Answer, &kComponents, Back | Next, {}, c.answer, kAskLocal});
            steps.push_back({Act::Look, &kComponents, Back | Next, {{Names, c.names}}});
            ASSERT_TRUE(wizard.Walk(steps));
            HWND list = ::GetDlgItem(wizard.Page(), IDC_COMPONENTS_LIST);
            for (int row = 0; row < 3 && c.answer == 0; ++row) robot::ClickListRow(list, row);
            const unsigned buttons = c.answer ? Back | Next : Back;
            ASSERT_TRUE(wizard.Walk({{Act::Look, &kComponents, buttons}, {Act::Back, &kWelcomeOfAnyProduct, Next}}));
            // A list fetched again would have replaced the one kept: "plain" is whole.
            const std::string kept = testsupport::FileText(theApp.m_strDownloadDir + "zep.sif");
            EXPECT_EQ(c.answer > 0, kept == earlier);
            EXPECT_TRUE(c.answer > 0 || kept.find("[CompNew]") != std::string::npos) << "fetched again";
            EXPECT_EQ(testsupport::Lines{"zep.sif"}, testsupport::SortedFilesIn(theApp.m_strDownloadDir));
        }
    });
}

// Old products are found in either registry view (the 32-bit one of 64-bit
// Windows is its Wow6432Node) and offered once, when the page is made; Yes
// starts each uninstaller, quoted with blanks or not.
TEST(Selection, OldProductsFoundAreOfferedForUninstall) {
    PrepareRun("old-products", SetupInfo("Solo\r\n", Comp("Solo", 256)));
    theApp.m_bComponentListUpdated = true;
    const std::string started = testsupport::MakeScratchDir("old-products-started") + "\\";
    const std::vector<std::string> products{"ZEP Classic", "ZEP Strategy", "ZEP Puzzle 2", "ZEP Arcade"};
    const auto key = [](size_t i, const std::string& product) {
        return std::string(i % 2 ? "SOFTWARE\\Wow6432Node" : "SOFTWARE") +
               "\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
    };
    for (size_t i = 0; i < products.size(); ++i) {
        // The command processor as uninstaller, but the first in a folder with blanks in its name.
        const std::string program = (i ? "C:\\Program Files\\Old ZEP" : "C:\\OldZEP") + std::string("\\uninstall.exe");
        ::CreateDirectoryA(program.substr(0, program.rfind('\\')).c_str(), nullptr);
        ASSERT_TRUE(::CopyFileA("C:\\windows\\system32\\cmd.exe", program.c_str(), FALSE));
        const std::string quoted = i ? "\"" + program + "\"" : program;
        const std::string command = quoted + " /c echo>\"" + started + products[i] + "\"";
        ASSERT_TRUE(
            WriteRegValue(HKEY_LOCAL_MACHINE, key(i, products[i]).c_str(), "UninstallString", REG_SZ, command.c_str()));
    }
    std::vector<std::string> found;
    for (const auto& product : FindOldProducts()) found.push_back(product.first);
    EXPECT_EQ(std::vector<std::string>(products.rbegin(), products.rend()), found);
    CWelcomePage welcome;
    CComponentsPage components;
    Wizard::RunPages({&welcome, &components}, [&](Wizard& wizard) {
        robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
        EXPECT_TRUE(wizard.Walk({{Act::Answer, &kComponents, Back | Next, {{Names, "ZEP Solo"}}, IDYES,
                                  "Setup Wizard detected old versions of ZEP products installed on your computer.\n"
                                  "It is STRONGLY recommended to UNINSTALL them right now.\n"
                                  " Do you want Setup Wizard to start uninstall for these products?"}}));
    });
    const testsupport::Lines all{"ZEP Arcade", "ZEP Classic", "ZEP Puzzle 2", "ZEP Strategy"};
    EXPECT_TRUE(robot::WaitUntil([&] { return testsupport::SortedFilesIn(started) == all; }, kTimeoutMs));
    for (size_t i = 0; i < products.size(); ++i) ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, key(i, products[i]).c_str());
}

namespace {

// Packages Local (all here), Half (some here, its info beside the program),
// Web (its info on the site) and those of extra.
void PreparePackages(const std::string& name, const std::string& extraKeys, const std::string& extraSections) {
    PrepareRun(name, SetupInfo("Local\r\nHalf\r\nWeb\r\n" + extraKeys,
                               Comp("Local", 256) + Comp("Half", 256) + Comp("Web", 256) + extraSections));
    WriteFile(theApp.m_strDownloadDir + "Local.pki", PackageInfoFile({{"local.dat", 10}}));
    WriteFile(".\\Half.pki", PackageInfoFile({{"h1.dat", 10}, {"h2.dat", 2000}}));
    WriteFile(theApp.m_strDownloadDir + "Huge.pki", PackageInfoFile({{"a.dat", 2000000000}, {"b.dat", 2000000000}}));
    for (const char* file : {"local.dat", "h1.dat"}) WriteFile(theApp.m_strDownloadDir + file, "0123456789");
}

}  // namespace

// The packages' rows, what they fetch and the drives they need, once the
// components without package info are named. A destination that can be no
// folder is refused; a drive without the space stops Next.
TEST(Selection, PreparingListsPackagesSizesAndDrives) {
    PreparePackages("preparing", "Big\r\nGone\r\n", Comp("Big", 256) + Comp("Gone", 256));
    // More than the whole small drive holds.
    WriteFile(theApp.m_strDownloadDir + "Big.pki", PackageInfoFile({{"big.dat", 300000}}));
    WriteFile(theApp.m_strDownloadDir + "big.dat", std::string(300000, 'b'));
    CWelcomePage welcome;
    CPreparingPage preparing;
    Wizard::RunPages({&welcome, &preparing}, [&](Wizard& wizard) {
        robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
        HWND dlg = WaitDialogWith(IDC_SKIPPED_LIST);
        ASSERT_NE(nullptr, dlg) << "no components were skipped";
        EXPECT_EQ("Package Info files for the following components were not found locally and Setup Wizard was unable "
                  "to download them from Internet:|ZEP Gone",
                  robot::GetDlgText(dlg, IDC_SKIPPED_HEADING) + "|" + ListText(::GetDlgItem(dlg, IDC_SKIPPED_LIST), 0));
        wizard.Shot("skipped-info", dlg);
        robot::AnswerMessageBox(dlg, IDOK);
        ASSERT_TRUE(wizard.Walk({{Act::Look, &kPreparing, Back | Next,
                                  {{Col<IDC_PREPARING_PACKAGES, -1>,
                                    "ZEP Local|available locally|1.0|0,ZEP Half|upgrade available|1.0|1 K,"
                                    "ZEP Web|not downloaded|1.0|2 K,ZEP Big|available locally|1.0|0"},
                                   {IDC_PREPARING_TOTAL, "4 K"}, {Col<IDC_PREPARING_DRIVES, 0>, "Z:"}}}}));
        robot::ClickId(wizard.Page(), IDC_PREPARING_CHANGE);
        dlg = WaitDialogWith(IDC_DESTINATION_FOLDER);
        robot::ClickId(dlg, IDC_DESTINATION_OTHER);
        ASSERT_TRUE(robot::WaitUntil([&] { return robot::IsEnabled(dlg, IDC_DESTINATION_FOLDER); }, kTimeoutMs));
        // A name no folder can have, and a path below a file.
        for (const std::string& invalid : {std::string("C:\\b<>"), theApp.m_strDownloadDir + "local.dat\\sub"}) {
            robot::SetText(::GetDlgItem(dlg, IDC_DESTINATION_FOLDER), invalid);
            robot::ClickId(dlg, IDOK);
            HWND refused = robot::WaitMessageBox(wizard.Pid(), kTimeoutMs, "Invalid path was entered");
            ASSERT_NE(nullptr, refused) << invalid << " passed";
            wizard.Shot("destination-invalid", refused);
            robot::AnswerMessageBox(refused, IDOK);
        }
        // Typed with a trailing backslash, the folder is tried all the same and not kept.
        robot::SetText(::GetDlgItem(dlg, IDC_DESTINATION_FOLDER), "Y:\\new\\zep\\");
        robot::ClickId(dlg, IDOK);
        ASSERT_TRUE(wizard.Walk({{Act::Look, &kPreparing, Back | Next,
                                  {{IDC_PREPARING_INSTALL_TO, "Install to  Y:\\new\\zep\\"},
                                   {StoredInstallFolder, "Y:\\new\\zep\\"}}},
                                 {Act::Next, &kPreparing, Back | Next},
                                 {Act::Answer, &kPreparing, Back | Next, {}, IDOK,
                                  "You have not enough hard disk space.\nPlease, examine disk space requirements "
                                  "information,\nfree up space where needed and press Next button again."}}));
        EXPECT_TRUE(testsupport::FileExists("Y:\\new") && !testsupport::FileExists("Y:\\new\\zep"))
            << "tried by making it";
    });
    ::RemoveDirectoryA("Y:\\new");
}

// Downloading only, each package's box chooses it, sizes add up past 4 GB; a
// package with nothing to fetch has no box, and with none chosen Finish ends.
TEST(Selection, DownloadOnlyPackagesAreChosenByTheirBoxes) {
    PreparePackages("download-only", "Huge\r\n", Comp("Huge", 256));
    theApp.m_nDownloadOnly = 1;
    CWelcomePage welcome;
    CPreparingPage preparing;
    Wizard::RunPages({&welcome, &preparing}, [](Wizard& wizard) {
        const Page page{IDC_PREPARING_TITLE, "Preparing to setup", "preparing-download-only"};
        const Shows shows{{Boxes, "0222 3906254 K"}, {IDC_PREPARING_CHANGE, "hidden"}};
        ASSERT_TRUE(wizard.Walk({{Act::Next, &page, Back | Next, shows}}));
        const struct { int row; unsigned buttons; const char* boxes; } clicks[] = {
            {0, Back | Next, "0122 3906252 K"}, {2, Back | Next, "0112 3906250 K"},
            {3, Back | Finish, "0111 0"}, {2, Back | Next, "0121 2 K"}};
        for (const auto& c : clicks) {
            robot::ClickListRow(::GetDlgItem(wizard.Page(), IDC_PREPARING_PACKAGES), c.row);
            // The first row's click changes nothing: the next one tells it has been handled.
            if (c.row == 0) robot::ClickListRow(::GetDlgItem(wizard.Page(), IDC_PREPARING_PACKAGES), 1);
            EXPECT_TRUE(wizard.Walk({{Act::Look, &page, c.buttons, {{Boxes, c.boxes}}}}));
        }
    });
}

// Packages whose files could not all be downloaded; when nothing else would
// be installed, or downloaded when downloading only, only Cancel is offered.
TEST(Selection, SkippedFilesOfferOnlyCancelWhenNothingElseIsLeft) {
    PreparePackages("skipped-files", "", "");
    theApp.LoadPackageInfos();
    theApp.ComputePackageDownloads();
    const char kGoOn[] = "These components will not be processed.\nContinue setup with the rest of the packages ?";
    const char kOut[] = "These components will not be installed/upgraded.\nPress Cancel to exit Setup.";
    const struct { int downloadOnly, toInstall, toDownload; const char* question; } rows[] = {
        {0, 3, 0, kGoOn}, {0, 1, 3, kOut}, {1, 0, 2, kGoOn}, {1, 3, 1, kOut}};
    for (const auto& [downloadOnly, toInstall, toDownload, question] : rows) {
        theApp.m_nDownloadOnly = downloadOnly;
        theApp.m_nToInstall = toInstall;
        theApp.m_nToDownload = toDownload;
        CSkippedComponentsDlg dlg;
        dlg.m_nListMode = 2;
        std::thread user([&, question = question] {
            HWND shown = WaitDialogWith(IDC_SKIPPED_LIST);
            EXPECT_EQ(std::string("Setup was unable to download all needed files for the following components:|") +
                          question + "|ZEP Half|" + (question == kOut ? "hidden" : "OK"),
                      robot::GetDlgText(shown, IDC_SKIPPED_HEADING) + "|" +
                          robot::GetDlgText(shown, IDC_SKIPPED_QUESTION) + "|" +
                          ListText(::GetDlgItem(shown, IDC_SKIPPED_LIST), 0) + "|" + Shown(shown, IDOK));
            const std::string shot = question == kOut ? "skipped-files-cancel-only" : "skipped-files";
            robot::SavePaintedScreenshot(shown, testsupport::ArtefactsDir() + "\\pages-" + shot + ".bmp", kTimeoutMs);
            robot::AnswerMessageBox(shown, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        user.join();
    }
}
