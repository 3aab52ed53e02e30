// The Choose site page inside this test program, on a sites list of each
// run's own, worked from a second thread as a user would.
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "res/DownloadWaitIds.h"
#include "res/resource.h"
#include "support/SetupRun.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

using namespace wizard;
using testsupport::WriteFile;
using namespace std::string_literals;

namespace {

const Page kBefore{IDC_WELCOME_SUBTITLE, "Intelligent Setup Wizard", "welcome"};

// A run whose setup web site keeps its lists below sites/location.
void PrepareRun(const std::string& name, const std::string& location) {
    testsupport::PrepareRun(testsupport::MakeScratchDir(name), testsupport::SetupInfo("", ""), {},
                            testweb::BaseUrl() + "/sites/", location);
}

std::string SitesFile(const std::string& regions, const std::string& locations) {
    return "[Regions]\r\n" + regions + "[Locations]\r\n" + locations;
}

// The regions as the combo box lists them.
std::string Regions(HWND page) {
    HWND combo = ::GetDlgItem(page, IDC_SITES_REGIONS);
    std::string text;
    for (int i = 0; i < int(::SendMessageA(combo, CB_GETCOUNT, 0, 0)); ++i) {
        char name[256] = "";
        ::SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        text += (i ? "," : "") + std::string(name);
    }
    return text;
}
// The region chosen and its sites.
std::string Chosen(HWND page) {
    return robot::GetDlgText(page, IDC_SITES_REGIONS) + ": " + ListText(::GetDlgItem(page, IDC_SITES_LIST), 0, 1);
}

}  // namespace

// Regions 17 and 40 and 0 fall into later buckets of the map, and combo
// positions no longer match their numbers; position p shows the sites of
// region number p + 1, the last of the file on top.
TEST(ChooseSite, RegionsInMapOrderAndNextOnlyWhileASiteIsSelected) {
    PrepareRun("order", "missing");
    theApp.m_hInternet = nullptr;
    WriteFile(theApp.m_strDownloadDir + "sites.ini",
              SitesFile("1=Europe\r\n2=Asia\r\n3=America\r\n17=Far\r\n40=Farther\r\n0=Zero\r\n2=Asia Pacific\r\n",
                        "http://eu1/=1,EU one\r\nhttp://as1/=2,Asia one, Tokyo\r\nhttp://eu2/=1,EU two\r\n"
                        "http://no-comma/=1\r\nhttp://as2/=2,Asia two\r\nhttp://far/=17,Far\r\n"));
    const Page kSelected{IDC_SITES_TITLE, kChooseSite.text, "choose-site-selected"};
    const Page kRegion{IDC_SITES_TITLE, kChooseSite.text, "choose-site-other-region"};
    const Page kLeft{IDC_FINISH_TITLE, kFinish.text, "choose-site-left"};
    const std::string regions = "Zero,Farther,Far,Europe,Asia Pacific,America";
    const std::string asia = "Farther: Asia two,Asia one, Tokyo";
    const struct {
        int row;  // clicked first; -1: none
        UINT key; // pressed in the regions box first; 0: none
        Step step;
    } steps[] = {
        {-1, 0, {Act::Next, &kChooseSite, Back, {{Regions, regions}, {Chosen, "Zero: EU two,EU one"}}}},
        {1, 0, {Act::Look, &kSelected, Back | Next, {{Chosen, "Zero: EU two,EU one"}}}},
        {-1, VK_DOWN, {Act::Look, &kRegion, Back, {{Chosen, asia}}}},
        {0, 0, {Act::Look, &kSelected, Back | Next}},
        {-1, 0, {Act::Back, &kBefore, Next}},
        {-1, 0, {Act::Next, &kSelected, Back | Next, {{Regions, regions}, {Chosen, asia}}}},
        {-1, 0, {Act::Next, &kLeft, Finish}},
    };
    CWelcomePage welcome;
    CChooseSitePage sites;
    CFinishPage finish;
    Wizard::RunPages({&welcome, &sites, &finish}, [&](Wizard& wizard) {
        for (const auto& s : steps) {
            if (s.row >= 0) robot::ClickListRow(::GetDlgItem(wizard.Page(), IDC_SITES_LIST), s.row);
            if (s.key) ::PostMessageA(::GetDlgItem(wizard.Page(), IDC_SITES_REGIONS), WM_KEYDOWN, s.key, 0);
            ASSERT_TRUE(wizard.Walk({s.step}));
        }
    });
    ASSERT_NE(nullptr, theApp.m_pSelectedSite);
    EXPECT_EQ("http://as2/|Asia two", theApp.m_pSelectedSite->m_strURL + "|" + theApp.m_pSelectedSite->m_strDisplay);
}

// The list fetched from the site replaces the one in the download folder;
// without it the download folder's copy comes first, then the one beside the
// program, with no message; with none the run ends.
TEST(ChooseSite, TheListComesFromTheSiteElseFromALocalCopy) {
    const std::string site = testweb::RootDir() + "\\sites";
    ::CreateDirectoryA(site.c_str(), nullptr);
    ::CreateDirectoryA((site + "\\web").c_str(), nullptr);
    WriteFile(site + "\\web\\sites.ini", SitesFile("1=Web\r\n", "http://w/=1,W\r\n"));
    // Long enough to see the wait dialog.
    WriteFile(testweb::RootDir() + "\\faults.json", R"({"/sites/web/sites.ini": {"stall_before": 1}})");
    const struct {
        const char *location, *downloaded, *beside, *shown;  // shown: the region; null: the run ends
    } cases[] = {{"web", "Downloaded", nullptr, "Web"},
                 {"missing", nullptr, "Beside", "Beside"},
                 {"missing", "Downloaded", "Beside", "Downloaded"},
                 {"missing", nullptr, nullptr, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.location) + " " + (c.shown ? c.shown : "none"));
        PrepareRun(std::string("source-") + (c.shown ? c.shown : "none"), c.location);
        ::DeleteFileA(".\\sites.ini");
        for (const auto& [name, dir] : {std::pair{c.downloaded, theApp.m_strDownloadDir}, std::pair{c.beside, ""s}})
            if (name) WriteFile(dir + "sites.ini", SitesFile("1="s + name + "\r\n", "http://l/=1,L\r\n"));
        CWelcomePage welcome;
        CChooseSitePage sites;
        Wizard::RunPages({&welcome, &sites}, [&](Wizard& wizard) {
            robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
            if (c.location == std::string("web")) {
                HWND wait = WaitDialogWith(IDC_DOWNLOAD_WAIT_TEXT);
                EXPECT_EQ("Downloading locations...", robot::GetDlgText(wait, IDC_DOWNLOAD_WAIT_TEXT));
                wizard.Shot("choose-site-wait", wait);
            }
            if (c.shown) {
                EXPECT_TRUE(wizard.Walk({{Act::Look, &kChooseSite, Back, {{Regions, c.shown}}}}));
                EXPECT_EQ(nullptr, robot::FindMessageBox(::GetCurrentProcessId()));
            } else {
                EXPECT_TRUE(wizard.Walk({{Act::Answer, nullptr, None, {}, IDOK,
                                          "Setup Wizard was unable to load Locations List.\nCannot continue."}}));
            }
        });
    }
    ::DeleteFileA(".\\sites.ini");
}
