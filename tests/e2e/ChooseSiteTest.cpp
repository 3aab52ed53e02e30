// The Choose site page inside this test program, on sites lists of each
// run's own, worked from a second thread as a user would.
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "res/resource.h"
#include "support/Roads.h"
#include "support/SetupRun.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

using namespace wizard;
using roads::Sites;
using namespace std::string_literals;
using testsupport::WriteFile;

namespace {

std::string List(const std::string& regions, const std::string& locations) {
    return "[Regions]\r\n" + regions + "[Locations]\r\n" + locations;
}

// A run whose setup site keeps its lists below sites/location, with list (if
// any) in the download folder.
void PrepareRun(const std::string& name, const std::string& location, const std::string& list) {
    testsupport::PrepareRun(testsupport::MakeScratchDir(name), testsupport::SetupInfo("", ""), {},
                            testweb::BaseUrl() + "/sites/", location);
    if (!list.empty()) WriteFile(theApp.m_strDownloadDir + "sites.ini", list);
}

}  // namespace

// Regions 17, 40 and 0 fall into later buckets of the map and region 2 is
// missing, so combo positions do not match region numbers: each region shows
// its own sites, and only those at web addresses.
TEST(ChooseSite, RegionsInMapOrderAndNextOnlyWhileASiteIsSelected) {
    PrepareRun("order", "missing",
               List("1=Europe\r\n3=America\r\n17=Far\r\n40=Farther\r\n0=Zero\r\n3=Americas\r\n",
                    "http://eu1/=1,EU one\r\nhttp://am1/=3,America one, N\r\nHTTPS://eu2/=1,EU two\r\n"
                    "http://no-comma/=1\r\nhttp://am2/=3,America two\r\nhttp://far/=17,Far\r\nftp://eu3/=1,FTP\r\n"
                    "file://eu4/=1,File\r\neu5/=1,Path\r\nhttp://zero/=0,Zero one\r\nhttp://40/=40,Farther one\r\n"));
    theApp.m_hInternet = nullptr;
    const Page kSelected{IDC_SITES_TITLE, kChooseSite.text, "choose-site-selected"},
        kRegion{IDC_SITES_TITLE, kChooseSite.text, "choose-site-other-region"},
        kLeft{IDC_FINISH_TITLE, kFinish.text, "choose-site-left"};
    const std::string regions = "Zero,Farther,Far,Europe,Americas, ";
    const std::string zero = regions + "Zero: Zero one", americas = regions + "Americas: America two,America one, N";
    const struct { int row; UINT key; Step step; } steps[] = {  // a row clicked, a key pressed in the regions box
        {-1, 0, {Act::Next, &kChooseSite, Back, {{Sites, zero}}}},
        {0, 0, {Act::Look, &kSelected, Back | Next, {{Sites, zero}}}},
        {-1, VK_DOWN, {Act::Look, &kRegion, Back, {{Sites, regions + "Farther: Farther one"}}}},
        {-1, VK_DOWN, {Act::Look, &kRegion, Back, {{Sites, regions + "Far: Far"}}}},
        {-1, VK_DOWN, {Act::Look, &kRegion, Back, {{Sites, regions + "Europe: EU two,EU one"}}}},
        {-1, VK_END, {Act::Look, &kRegion, Back, {{Sites, americas}}}},
        {0, 0, {Act::Look, &kSelected, Back | Next, {{Sites, americas}}}},
        {-1, 0, {Act::Back, &kWelcomeOfAnyProduct, Next}},
        {-1, 0, {Act::Next, &kSelected, Back | Next, {{Sites, americas}}}},
        {-1, 0, {Act::Next, &kLeft, Finish}}};
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
    const CDownloadSite* pSite = theApp.m_pSelectedSite;
    EXPECT_EQ("http://am2/|America two", pSite ? pSite->m_strURL + "|" + pSite->m_strDisplay : "none");
}

// Without the site's list (the roads fetch it), the download folder's copy
// comes first, then the one beside the program, with no message; with none
// the run ends.
TEST(ChooseSite, WithoutTheSitesListALocalCopyServes) {
    const auto list = [](const char* region) {
        return *region ? List("1="s + region + "\r\n", "http://l/=1,L\r\n") : "";
    };
    const struct { const char *downloaded, *beside, *shown; } cases[] = {  // shown: null, the run ends
        {"", "Beside", "Beside"}, {"Downloaded", "Beside", "Downloaded"}, {"", "", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown ? c.shown : "none");
        PrepareRun("source-"s + (c.shown ? c.shown : "none"), "missing", list(c.downloaded));
        ::DeleteFileA(".\\sites.ini");
        if (*c.beside) WriteFile(".\\sites.ini", list(c.beside));
        CWelcomePage welcome;
        CChooseSitePage sites;
        Wizard::RunPages({&welcome, &sites}, [&](Wizard& wizard) {
            robot::PressButton(wizard.Sheet(), PSBTN_NEXT);
            const char kCannotLoad[] = "Setup Wizard was unable to load Locations List.\nCannot continue.";
            // Its own name: the shot of a closing wizard's box is shared with other tests.
            if (!c.shown) wizard.Shot("choose-site-cannot-load", robot::WaitMessageBox(wizard.Pid(), kTimeoutMs));
            const std::string shown = c.shown ? c.shown + ","s + " " + c.shown + ": L" : "";
            EXPECT_TRUE(wizard.Walk({c.shown ? Step{Act::Look, &kChooseSite, Back, {{Sites, shown}}}
                                             : Step{Act::Answer, nullptr, None, {}, IDOK, kCannotLoad}}));
            EXPECT_EQ(nullptr, robot::FindMessageBox(::GetCurrentProcessId()));
        });
    }
}
