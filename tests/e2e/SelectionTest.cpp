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
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

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
    for (const auto& file : files) text += file.first + "=,,0," + file.first + "," + std::to_string(file.second) + ",0,1\r\n";
    return text;
}

// The setup web site below the test server: "good" has an updated list,
// "html" a page with brackets, "cut" a list that breaks off, "missing" none.
void PrepareSite() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    const std::string site = testweb::RootDir() + "\\selection";
    for (const char* folder : {"", "\\good", "\\html", "\\cut", "\\pki"}) ::CreateDirectoryA((site + folder).c_str(), nullptr);
    const std::string updated = Catalogue("Base\r\nNew\r\n", "[CompBase]\r\nName=ZEP Base\r\nPkgInfo=Base.pki\r\nVer=770\r\n" + Comp("New", 256));
    WriteFile(site + "\\good\\zep.sif", updated);
    WriteFile(site + "\\cut\\zep.sif", updated);
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
    for (const auto& entry : theApp.m_mapComponents) {
        const std::string key = std::string(ZEP_CLIENT_KEY "\\") + entry.first;
        DeleteRegKey(key.c_str());
        if (installed.count(entry.first)) WriteRegDword(key.c_str(), "Version", installed.at(entry.first));
    }
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
