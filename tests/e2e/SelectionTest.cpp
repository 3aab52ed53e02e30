// The Components and Preparing pages inside this test program, on a
// catalogue, registry, download folder and setup web site of each test's
// own, worked from a second thread as a user would.
#include "app/OldProducts.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "download/DownloadWaitDlg.h"
#include "res/DownloadWaitIds.h"
#include "res/resource.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>

using namespace wizard;
using testsupport::FileExists;
using testsupport::WriteFile;

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kAskLocal[] = "Setup was unable to get updated components list from ZEP Setup internet site.\n"
                         " Do you want to preceed with local components list ?";
const char kNoSpace[] = "You have not enough hard disk space.\nPlease, examine disk space requirements information,\n"
                        "free up space where needed and press Next button again.";

std::string Comp(const std::string& key, int version, const std::string& dependOn = "") {
    return "[Comp" + key + "]\r\nName=ZEP " + key + "\r\nPkgInfo=" + key + ".pki\r\nPkgInfoLocation=pki\r\nVer=" +
           std::to_string(version) + "\r\n" + (dependOn.empty() ? "" : "DependOn1=" + dependOn + "\r\n");
}

std::string Catalogue(const std::string& keys, const std::string& sections) {
    return "[Product]\r\nName=ZEP\r\n[Components]\r\n" + keys + sections;
}

// A package info file whose files (name=size) install into the install folder.
std::string PackageInfo(int version, const std::map<std::string, long long>& files) {
    std::string text = "[Package]\r\nVer=" + std::to_string(version) + "\r\n[Folders]\r\n1=${Target}\r\n"
                       "[Sources]\r\n0=files\r\n[Files]\r\n";
    for (const auto& file : files) text += file.first + "=,," + std::to_string(file.second) + ",,,0,1\r\n";
    return text;
}

// The setup web site below the test server: "good" has an updated list,
// "html" a page with brackets, "cut" a list that breaks off, "plain" one
// without components, "missing" none; "pki" the package info files.
void PrepareSite() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    const std::string site = testweb::RootDir() + "\\selection";
    for (const char* folder : {"", "\\good", "\\html", "\\cut", "\\plain", "\\pki"}) ::CreateDirectoryA((site + folder).c_str(), nullptr);
    const std::string updated = Catalogue("Base\r\nNew\r\n", "[CompBase]\r\nName=ZEP Base\r\nPkgInfo=Base.pki\r\nVer=770\r\n" + Comp("New", 256));
    WriteFile(site + "\\good\\zep.sif", updated);
    WriteFile(site + "\\cut\\zep.sif", updated);
    WriteFile(site + "\\plain\\zep.sif", "[Product]\r\nName=ZEP\r\n");
    WriteFile(site + "\\html\\zep.sif", "<html><script>var list = a[1];\n[Product]</script></html>");
    WriteFile(site + "\\pki\\Web.pki", PackageInfo(256, {{"w.dat", 3000}}));
    WriteFile(site + "\\pki\\Stall.pki", PackageInfo(256, {{"s.dat", 1}}));
    WriteFile(testweb::RootDir() + "\\faults.json",
              "{\"/selection/cut/zep.sif\": {\"cut\": 60}, \"/selection/pki/Stall.pki\": {\"stall_before\": 30}}");
}

// theApp as a run on a computer where the given components are installed
// (a new computer when none is): the catalogue of sif, a download folder of
// the test's own, the setup web site's list at location.
std::string PrepareRun(const std::string& name, const std::string& sif, const std::map<std::string, int>& installed,
                       const std::string& location = "good") {
    PrepareSite();
    const std::string dir = testsupport::MakeScratchDir(name);
    WriteFile(dir + "\\zepsetup.sif", sif);
    theApp.m_mapComponents.RemoveAll();
    theApp.m_mapPackages.RemoveAll();
    theApp.LoadComponents((dir + "\\zepsetup.sif").c_str());
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, ZEP_CLIENT_KEY);
    for (const auto& entry : installed)
        WriteRegDword((std::string(ZEP_CLIENT_KEY "\\") + entry.first).c_str(), "Version", entry.second);
    theApp.m_bNewInstall = installed.empty();
    theApp.m_strDownloadDir = dir + "\\dl\\";
    theApp.m_strInstallDir = theApp.m_strTempDir = dir + "\\ZEP";
    theApp.m_strBaseURL = testweb::BaseUrl() + "/selection/";
    theApp.m_strSetupInfoLocation = location;
    theApp.m_nDownloadOnly = 0;
    theApp.m_bComponentListUpdated = false;
    g_nComCtlMajor = 5;  // as the program reads it at start: clicks tell where they land
    g_nComCtlMinor = 81;
    static HINTERNET session = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    theApp.m_hInternet = session;
    ::CreateDirectoryA(theApp.m_strDownloadDir.c_str(), nullptr);
    return dir;
}

// The column of a list, rows joined by commas.
std::string Column(HWND page, int listId, int column) {
    std::string text;
    for (const auto& row : robot::ReadListView(::GetDlgItem(page, listId), 4)) text += row[column] + ",";
    return text.substr(0, text.size() - 1);
}
std::string Names(HWND page) { return Column(page, IDC_COMPONENTS_LIST, 0); }
std::string States(HWND page) { return Column(page, IDC_COMPONENTS_LIST, 1); }
std::string Versions(HWND page) { return Column(page, IDC_COMPONENTS_LIST, 2); }
std::string Actions(HWND page) { return Column(page, IDC_COMPONENTS_LIST, 3); }
std::string Packages(HWND page) {
    std::string text;
    for (const auto& row : robot::ReadListView(::GetDlgItem(page, IDC_PREPARING_PACKAGES), 4))
        text += row[0] + "|" + row[1] + "|" + row[2] + "|" + row[3] + "\n";
    return text;
}
std::string Drives(HWND page) { return Column(page, IDC_PREPARING_DRIVES, 0); }

// A dialog of this program, other than the wizard, that has the control.
HWND WaitDialogWith(int controlId) {
    HWND found = nullptr;
    robot::WaitUntil([&] {
        for (HWND dlg : robot::TopDialogs(::GetCurrentProcessId()))
            if (::GetDlgItem(dlg, controlId) && !::GetDlgItem(dlg, robot::kNextButton)) found = dlg;
        return found != nullptr;
    }, kTimeoutMs);
    return found;
}

// The Welcome page, as a page to come from.
const Page kBefore{IDC_WELCOME_SUBTITLE, "Intelligent Setup Wizard", "welcome"};

std::string ListRows(HWND dlg, int listId) { return Column(dlg, listId, 0); }

}  // namespace

// Keys of zepsetup.sif first, those the updated list brings at the bottom;
// each click follows the dependency rules, and the dependents dialog names
// every dependent at any depth (a cycle included) before anything is removed.
TEST(Selection, ClicksFollowTheDependencyRules) {
    PrepareRun("clicks",
               Catalogue("Base\r\nCore\r\nTools\r\nExtra\r\nDocs\r\nLoop1\r\nLoop2\r\nOrphan\r\n",
                         Comp("Base", 513) + Comp("Core", 513, "Base") + Comp("Tools", 513, "Core") +
                             Comp("Extra", 513, "Tools") + Comp("Docs", 513) + Comp("Loop1", 513, "Loop2") +
                             Comp("Loop2", 513, "Loop1") + Comp("Orphan", 513, "Nowhere")),
               {{"Base", 512}, {"Core", 513}, {"Docs", 256}, {"Loop2", 513}});
    CComponentsPage page;
    Wizard::RunPages({&page}, [](Wizard& wizard) {
        const Page components{IDC_COMPONENTS_TITLE, "Select components", "components-rules"};
        ASSERT_TRUE(wizard.Walk({{Act::Look, &components, Back | Next,
                                  {{Names, "ZEP Base,ZEP Core,ZEP Tools,ZEP Extra,ZEP Docs,ZEP Loop1,ZEP Loop2,ZEP Orphan,ZEP New"},
                                   {States, "upgrade available,already installed,not installed,not installed,upgrade available,"
                                    "not installed,already installed,not installed,not installed"},
                                   {Versions, "3.2,2.1,2.1,2.1,2.1,2.1,2.1,2.1,1.0"},
                                   {Actions, "upgrade,,,,upgrade,,,,install"}}}}));
        HWND list = ::GetDlgItem(wizard.Page(), IDC_COMPONENTS_LIST);
        const struct {
            int row, x, answer;  // answer: the dependents dialog's button, IDCANCEL for Escape, 0: no dialog
            const char* dependents;
            const char* actions;
        } clicks[] = {
            {8, 40, 0, "", "upgrade,,,,upgrade,,,,install"},        // beside the box: nothing changes
            {3, 8, 0, "", "upgrade,,install,install,upgrade,,,,install"},  // prerequisites, transitively
            {1, 8, IDNO, "ZEP Extra,ZEP Tools", "upgrade,,install,install,upgrade,,,,install"},
            {1, 8, IDCANCEL, "ZEP Extra,ZEP Tools", "upgrade,,install,install,upgrade,,,,install"},
            {1, 8, IDYES, "ZEP Extra,ZEP Tools", "upgrade,remove,,,upgrade,,,,install"},
            {0, 8, 0, "", "remove,remove,,,upgrade,,,,install"},     // its dependent is leaving anyway
            {1, 8, 0, "", ",,,,upgrade,,,,install"},                // unmarking clears the chain's marks
            {4, 8, 0, "", ",,,,remove,,,,install"},                 // upgrade, remove, none, upgrade
            {4, 8, 0, "", ",,,,,,,,install"},
            {4, 8, 0, "", ",,,,upgrade,,,,install"},
            {5, 8, 0, "", ",,,,upgrade,install,,,install"},         // the chain ends where it began
            {6, 8, IDYES, "ZEP Loop1", ",,,,upgrade,,remove,,install"},
            {7, 8, 0, "", ",,,,upgrade,,remove,install,install"},   // a prerequisite nobody has
        };
        for (const auto& c : clicks) {
            SCOPED_TRACE("row " + std::to_string(c.row) + " to " + c.actions);
            // Keys that would select a row change nothing.
            ::PostMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
            ASSERT_TRUE(robot::ClickListRow(list, c.row, c.x));
            if (c.answer) {
                HWND dlg = WaitDialogWith(IDC_DEPENDENTS_LIST);
                ASSERT_NE(nullptr, dlg) << "nothing was asked";
                std::string rows = ListRows(dlg, IDC_DEPENDENTS_LIST);
                EXPECT_EQ(c.dependents, rows);
                EXPECT_EQ("The following components depends on '" + robot::ReadListView(list, 1)[c.row][0] +
                              "' and will be also removed:", robot::GetDlgText(dlg, IDC_DEPENDENTS_HEADING));
                wizard.Shot("dependents", dlg);
                if (c.answer == IDCANCEL) ::PostMessageA(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
                else robot::AnswerMessageBox(dlg, c.answer);
            }
            EXPECT_TRUE(robot::WaitUntil([&] { return Actions(wizard.Page()) == c.actions; }, kTimeoutMs))
                << Actions(wizard.Page());
        }
        for (int row = 0; row < 9; ++row) {
            const auto* pComp = reinterpret_cast<const CComponent*>(CListViewCtrl(list).GetItemData(row));
            EXPECT_EQ(pComp->m_nState + 1, robot::ListViewItemState(list, row, LVIS_STATEIMAGEMASK) >> 12) << row;
            EXPECT_EQ(0, robot::ListViewItemState(list, row, LVIS_SELECTED)) << row;
        }
        EXPECT_EQ(3, theApp.m_nToInstall);
        EXPECT_EQ(1, theApp.m_nToRemove);
    });
}

// The updated list is fetched once per run; a failure asks, and what fails
// leaves the list from an earlier run in the download folder in use.
TEST(Selection, TheUpdatedListIsFetchedOnceAndOnlyAWholeListReplacesTheOldOne) {
    const std::string earlier = Catalogue("Kept\r\n", Comp("Kept", 256));
    const struct {
        const char* location;
        bool updated;  // already fetched in this run
        int answer;    // to the question; 0: none asked
        const char* names;
    } cases[] = {
        {"missing", false, IDYES, "ZEP Solo,ZEP Kept"}, {"html", false, IDYES, "ZEP Solo,ZEP Kept"},
        {"cut", false, IDYES, "ZEP Solo,ZEP Kept"},     {"good", false, 0, "ZEP Solo,ZEP Base,ZEP New"},
        {"missing", true, 0, "ZEP Solo,ZEP Base,ZEP New"}, {"missing", false, IDNO, nullptr},
    };
    CWelcomePage welcome;
    CComponentsPage components;
    Wizard::RunPages({&welcome, &components}, [&](Wizard& wizard) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.location);
            theApp.m_strSetupInfoLocation = c.location;
            if (!c.updated) {
                PrepareRun(std::string("list-") + c.location, Catalogue("Solo\r\n", Comp("Solo", 256)), {}, c.location);
                WriteFile(theApp.m_strDownloadDir + "zep.sif", earlier);
            }
            std::vector<Step> steps{{Act::Next, &kComponents, Back | Next}};
            if (c.answer) steps.push_back({Act::Answer, c.names ? &kComponents : nullptr, Back | Next, {}, c.answer, kAskLocal});
            if (c.names) steps.push_back({Act::Look, &kComponents, Back | Next, {{Names, c.names}}});
            ASSERT_TRUE(wizard.Walk(steps));
            if (std::string(c.location) == "good") {
                for (int row : {0, 1, 2}) robot::ClickListRow(::GetDlgItem(wizard.Page(), IDC_COMPONENTS_LIST), row);
                ASSERT_TRUE(wizard.Walk({{Act::Look, &kComponents, Back, {{Actions, ",,"}}}})) << "Next without a choice";
            }
            EXPECT_EQ(c.answer != 0, testsupport::FileText(theApp.m_strDownloadDir + "zep.sif") == earlier);
            EXPECT_EQ(testsupport::Lines{"zep.sif"}, testsupport::SortedFilesIn(theApp.m_strDownloadDir));
            if (c.names) {
                ASSERT_TRUE(wizard.Walk({{Act::Back, &kBefore, Next}}));
            }
        }
    });
}

// Old products are found in either registry view and offered once, when the
// page is first made; Yes starts each uninstaller found, quoted or not.
TEST(Selection, OldProductsFoundAreOfferedForUninstall) {
    const std::string dir = PrepareRun("old-products", Catalogue("Solo\r\n", Comp("Solo", 256)), {});
    theApp.m_bComponentListUpdated = true;
    // Uninstallers that leave a file named after the case and product: the
    // command processor under two names, one with blanks in its path.
    const std::string quoted = "C:\\Program Files\\Old ZEP", plain = "C:\\OldZEP";
    for (const std::string& folder : {quoted, plain}) {
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileA("C:\\windows\\system32\\cmd.exe", (folder + "\\uninstall.exe").c_str(), FALSE));
    }
    const std::vector<std::string> all{"ZEP Classic", "ZEP Strategy", "ZEP Puzzle 2", "ZEP Arcade"};
    const struct {
        std::vector<std::string> products;
        int answer;  // 0: nothing is asked
    } cases[] = {{{}, 0}, {{"ZEP Arcade"}, IDYES}, {all, IDNO}, {all, IDYES}};
    auto marker = [&](size_t row, const std::string& product) { return dir + "\\" + std::to_string(row) + product + ".txt"; };
    for (size_t row = 0; row < std::size(cases); ++row) {
        for (const std::string& product : all)
            for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY)})
                ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (kUninstallKey + product).c_str(), view, 0);
        for (size_t i = 0; i < cases[row].products.size(); ++i) {
            const std::string& product = cases[row].products[i];
            const std::string program = product == "ZEP Classic" ? plain + "\\uninstall.exe" : "\"" + quoted + "\\uninstall.exe\"";
            const std::string command = program + " /c echo " + product + "> \"" + marker(row, product) + "\"";
            HKEY key = nullptr;
            ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstallKey + product).c_str(), 0, nullptr, 0,
                                                       KEY_WRITE | (i % 2 ? KEY_WOW64_32KEY : 0), nullptr, &key, nullptr));
            ::RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), DWORD(command.size() + 1));
            ::RegCloseKey(key);
        }
        std::vector<std::string> found;
        for (const auto& product : FindOldProducts()) found.push_back(product.first);
        EXPECT_EQ(std::vector<std::string>(cases[row].products.rbegin(), cases[row].products.rend()), found);
        CWelcomePage welcome;
        CComponentsPage components;
        Wizard::RunPages({&welcome, &components}, [&](Wizard& wizard) {
            robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
            if (cases[row].answer) {
                ASSERT_TRUE(wizard.Walk({{Act::Answer, &kComponents, Back | Next, {}, cases[row].answer,
                                          "Setup Wizard detected old versions of ZEP products installed on your computer.\n"
                                          "It is STRONGLY recommended to UNINSTALL them right now.\n"
                                          " Do you want Setup Wizard to start uninstall for these products?"}}));
            }
            ASSERT_TRUE(wizard.Walk({{Act::Look, &kComponents, Back | Next, {{Names, "ZEP Solo"}}}}));
            EXPECT_EQ(nullptr, robot::FindMessageBox(wizard.Pid()));
        });
        for (const std::string& product : cases[row].products)
            EXPECT_TRUE(cases[row].answer == IDNO || robot::WaitUntil([&] { return FileExists(marker(row, product)); }, kTimeoutMs))
                << product << " was not started";
    }
    for (const std::string& product : all) EXPECT_FALSE(FileExists(marker(2, product))) << product << " started after No";
    for (const std::string& product : all) ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (kUninstallKey + product).c_str(), KEY_WOW64_32KEY, 0);
    for (const std::string& product : all) ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (kUninstallKey + product).c_str(), 0, 0);
}

namespace {

// A run whose packages are Local (all here), Half (some here), Web (its
// package info on the site), plus those of extra: Huge (over 4 GB) among them.
void PreparePackages(const std::string& name, const std::string& extraKeys, const std::string& extraSections,
                     const std::map<std::string, int>& installed = {}) {
    PrepareRun(name, Catalogue("Local\r\nHalf\r\nWeb\r\n" + extraKeys,
                               Comp("Local", 256) + Comp("Half", 256) + Comp("Web", 256) + extraSections),
               installed, "plain");
    theApp.ComputeComponentStates();
    WriteFile(theApp.m_strDownloadDir + "Local.pki", PackageInfo(256, {{"local.dat", 10}}));
    WriteFile(".\\Half.pki", PackageInfo(256, {{"h1.dat", 10}, {"h2.dat", 2000}}));
    WriteFile(theApp.m_strDownloadDir + "Huge.pki", PackageInfo(256, {{"a.dat", 2000000000}, {"b.dat", 2000000000}}));
    for (const char* file : {"local.dat", "h1.dat"}) WriteFile(theApp.m_strDownloadDir + file, "0123456789");
}

const char kPackages[] = "ZEP Local|available locally|1.0|0\nZEP Half|upgrade available|1.0|1 K\n"
                         "ZEP Web|not downloaded|1.0|2 K\nZEP Huge|not downloaded|1.0|3906250 K\n";

std::string InstallTo(HWND page) { return robot::GetDlgText(page, IDC_PREPARING_INSTALL_TO); }

// The skipped-components dialog, once it shows: its rows, then the answer.
void ExpectSkipped(Wizard& wizard, const char* rows, int answer) {
    HWND dlg = WaitDialogWith(IDC_SKIPPED_LIST);
    ASSERT_NE(nullptr, dlg) << "no components were skipped";
    EXPECT_EQ(rows, ListRows(dlg, IDC_SKIPPED_LIST));
    wizard.Shot("skipped-info", dlg);
    robot::AnswerMessageBox(dlg, answer);
}

}  // namespace

// Package info from the download folder, beside the program and from the
// site; what is still missing is skipped; sizes add up beyond 4 GB; a new
// install folder on a small drive is too small, and Next then stays.
TEST(Selection, PreparingListsPackagesSizesAndDrives) {
    PreparePackages("preparing", "Huge\r\nGone\r\n", Comp("Huge", 256) + Comp("Gone", 256));
    CWelcomePage welcome;
    CPreparingPage preparing;
    Wizard::RunPages({&welcome, &preparing}, [](Wizard& wizard) {
        robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
        ExpectSkipped(wizard, "ZEP Gone", IDOK);
        const std::string folder = theApp.m_strInstallDir;
        ASSERT_TRUE(wizard.Walk({{Act::Look, &kPreparing, Back | Next,
                                  {{Packages, kPackages}, {IDC_PREPARING_TOTAL, "3906254 K"}, {Drives, "Z:"},
                                   {InstallTo, "Install to  " + folder}}}}));
        EXPECT_EQ(0, theApp.m_mapComponents.Lookup("Gone")[0]->m_nState) << "a skipped component stayed selected";
        robot::ClickId(wizard.Page(), IDC_PREPARING_CHANGE);
        HWND dlg = WaitDialogWith(IDC_DESTINATION_FOLDER);
        ASSERT_NE(nullptr, dlg);
        robot::ClickId(dlg, IDC_DESTINATION_OTHER);
        ASSERT_TRUE(robot::WaitUntil([&] { return robot::IsEnabled(dlg, IDC_DESTINATION_FOLDER); }, kTimeoutMs));
        robot::SetText(::GetDlgItem(dlg, IDC_DESTINATION_FOLDER), "Y:\\zep");
        robot::ClickId(dlg, IDOK);
        ASSERT_TRUE(wizard.Walk({{Act::Look, &kPreparing, Back | Next, {{InstallTo, "Install to  Y:\\zep"}, {Drives, "Y:,Z:"}}},
                                 {Act::Next, &kPreparing, Back | Next},
                                 {Act::Answer, &kPreparing, Back | Next, {{Packages, kPackages}}, IDOK, kNoSpace}}));
    });
}

// The small drive's row of the drive list: space required | available.
std::string SmallDrive(HWND page) {
    const auto rows = robot::ReadListView(::GetDlgItem(page, IDC_PREPARING_DRIVES), 3);
    return rows.empty() ? "" : rows[0][0] + " " + rows[0][1] + "|" + rows[0][2];
}

// The space a drive has is enough when it is exactly what is required.
TEST(Selection, NextNeedsNoMoreSpaceThanTheDriveHas) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(::GetDiskFreeSpaceA("Y:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        << "the tests' small drive is missing";
    const long long available = 1LL * sectorsPerCluster * bytesPerSector * freeClusters;
    for (long long required : {available + 1, available}) {
        PrepareRun("space", Catalogue("Fit\r\n", Comp("Fit", 256)), {}, "plain");
        theApp.ComputeComponentStates();
        theApp.m_strInstallDir = "Y:\\fit";
        WriteFile(theApp.m_strDownloadDir + "Fit.pki", PackageInfo(256, {{"fit.dat", required}}));
        const std::string space = "Y: " + std::to_string(required / 1024) + " K|" + std::to_string(available / 1024) + " K";
        CWelcomePage welcome;
        CPreparingPage preparing;
        CChooseSitePage chooseSite;
        Wizard::RunPages({&welcome, &preparing, &chooseSite}, [&](Wizard& wizard) {
            ASSERT_TRUE(wizard.Walk({{Act::Next, &kPreparing, Back | Next, {{SmallDrive, space}}}}));
            if (required > available)
                EXPECT_TRUE(wizard.Walk({{Act::Next, &kPreparing, Back | Next},
                                         {Act::Answer, &kPreparing, Back | Next, {}, IDOK, kNoSpace}}));
            else
                EXPECT_TRUE(wizard.Walk({{Act::Next, &kChooseSite, Back}}));
        });
    }
}

std::string Boxes(HWND page) {
    HWND list = ::GetDlgItem(page, IDC_PREPARING_PACKAGES);
    std::string boxes;
    for (int row = 0; row < ListView_GetItemCount(list); ++row)
        boxes += std::to_string(robot::ListViewItemState(list, row, LVIS_STATEIMAGEMASK) >> 12);
    return boxes;
}

// Downloading only, each package's box chooses it; one with nothing to fetch
// has none, and with none chosen Finish ends the run.
TEST(Selection, DownloadOnlyPackagesAreChosenByTheirBoxes) {
    PreparePackages("download-only", "Huge\r\n", Comp("Huge", 256));
    theApp.m_nDownloadOnly = 1;
    CWelcomePage welcome;
    CPreparingPage preparing;
    Wizard::RunPages({&welcome, &preparing}, [](Wizard& wizard) {
        const Page page{IDC_PREPARING_TITLE, "Preparing to setup", "preparing-download-only"};
        ASSERT_TRUE(wizard.Walk({{Act::Next, &page, Back | Next, {{Boxes, "0222"}, {IDC_PREPARING_CHANGE, "hidden"}}}}));
        HWND list = ::GetDlgItem(wizard.Page(), IDC_PREPARING_PACKAGES);
        const struct {
            int row;
            unsigned buttons;
            const char* boxes;
            const char* total;
        } clicks[] = {{0, Back | Next, "0122", "3906252 K"}, {2, Back | Next, "0112", "3906250 K"},
                      {3, Back | Finish, "0111", "0"},       {2, Back | Next, "0121", "2 K"}};
        for (const auto& c : clicks) {
            robot::ClickListRow(list, c.row);
            // A click on the first row changes nothing: the next one shows when it has been handled.
            if (c.row == 0) robot::ClickListRow(list, 1);
            EXPECT_TRUE(wizard.Walk({{Act::Look, &page, c.buttons, {{Boxes, c.boxes}, {IDC_PREPARING_TOTAL, c.total}}}}));
        }
    });
}

// A package info fetch that stalls is given up with Escape: the page goes on
// at once without it, and the skipped dialog's Cancel ends the run.
TEST(Selection, AStalledFetchGivenUpLeavesThePackageMissing) {
    PrepareRun("stall", Catalogue("Stall\r\n", Comp("Stall", 256)), {}, "plain");
    theApp.ComputeComponentStates();
    CWelcomePage welcome;
    CPreparingPage preparing;
    Wizard::RunPages({&welcome, &preparing}, [](Wizard& wizard) {
        robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
        HWND wait = WaitDialogWith(IDC_DOWNLOAD_WAIT_TEXT);
        ASSERT_NE(nullptr, wait);
        ASSERT_TRUE(robot::WaitUntil([&] { return robot::GetDlgText(wait, IDC_DOWNLOAD_WAIT_TEXT) == "Downloading package info files..."; }, kTimeoutMs));
        ::PostMessageA(wait, WM_KEYDOWN, VK_ESCAPE, 0);
        ExpectSkipped(wizard, "ZEP Stall", IDCANCEL);
        EXPECT_TRUE(wizard.Walk({{Act::Look, nullptr}}));
    });
}

// Removing is visited only going forward and only with something to
// remove; the site is chosen only when something is to be downloaded.
TEST(Selection, RemovingAndChooseSiteJoinTheFlowWhenThereIsWorkForThem) {
    PreparePackages("flow", "Old\r\n", Comp("Old", 256), {{"Old", 256}});
    CComponent& old = *theApp.m_mapComponents.Lookup("Old")[0];
    old.m_nState = 2;
    old.m_nAction = 3;
    CComponentsPage components;
    CRemovingPage removing;
    CPreparingPage preparing;
    CChooseSitePage chooseSite;
    Wizard::RunPages({&components, &removing, &preparing, &chooseSite}, [](Wizard& wizard) {
        ASSERT_TRUE(wizard.Walk({
            {Act::Look, &kComponents, Back | Next, {{Actions, "install,install,install,remove"}}},
            {Act::Next, &kRemoving, Back | Next},
            {Act::Next, &kPreparing, Back | Next, {{IDC_PREPARING_CHANGE, "Change..."}}},
            {Act::Back, &kComponents, Back | Next},
            {Act::Next, &kRemoving, Back | Next},
            {Act::Next, &kPreparing, Back | Next},
            {Act::Next, &kChooseSite, Back},
        }));
        wizard.ExpectCancel(Cancel::Asks, "choose-site-cancel");
    });
}
