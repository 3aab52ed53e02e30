// The Downloading page inside this test program, fetching package files from
// the test web site with its faults, worked from a second thread as a user
// would. Screenshots: pages-downloading-*.bmp in the artefacts folder.
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "res/resource.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/SetupRun.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>

#include <map>

using namespace wizard;
using testsupport::Lines;

namespace {

// On the site: good.dat and big.dat whole, and short.dat shorter than its
// package info says. (Files that fail or stall are the acceptance roads'.)
const std::map<std::string, std::map<std::string, long long>> kPackages = {
    {"Good", {{"good.dat", 3000}, {"big.dat", 300000}}},
    {"Short", {{"short.dat", 5000}}},
};

// A run of the named packages, all to be fetched from the site.
void PrepareDownloads(const std::string& name, const std::vector<std::string>& keys) {
    const std::string site = testweb::RootDir() + "\\downloading\\";
    ::CreateDirectoryA(site.c_str(), nullptr);
    ::CreateDirectoryA((site + "files").c_str(), nullptr);
    for (const auto& [file, size] : {std::pair{"good.dat", 3000}, {"big.dat", 300000}, {"short.dat", 3000}})
        testsupport::WriteFile(site + "files\\" + file, testweb::Pattern(size));
    std::string list, sections;
    for (const std::string& key : keys) {
        list += key + "\r\n";
        sections += testsupport::ComponentSection(key, 256);
    }
    testsupport::PrepareRun(testsupport::MakeScratchDir("downloading-" + name),
                            testsupport::SetupInfo(list, sections), {}, testweb::BaseUrl() + "/", "plain");
    for (const std::string& key : keys)
        testsupport::WriteFile(theApp.m_strDownloadDir + key + ".pki", testsupport::PackageInfoFile(kPackages.at(key)));
    theApp.LoadPackageInfos();
    theApp.ComputePackageDownloads();
    static CDownloadSite chosen;
    chosen.m_strURL = testweb::BaseUrl() + "/downloading";
    theApp.m_pSelectedSite = &chosen;
}

const char kSkippedHeading[] = "Setup was unable to download all needed files for the following components:";
const char kRerunLater[] = "You may later RE-RUN ZEP Setup Wizard and it will\ndownload files which it failed to "
                           "download this time\n and will complete installing ZEP.";
const char kRerun[] = "You may RE-RUN ZEP Setup Wizard and it will download\nfiles which it failed to download this "
                      "time\n and will complete installing ZEP.";

std::string Bytes(HWND page) { return robot::GetDlgText(page, IDC_DOWNLOADING_BYTES); }

}  // namespace

// Whole files arrive, one cut short is given up and listed, and the pass
// goes on to the next page by itself once the list is accepted; not
// accepted, the wizard closes without asking.
TEST(Downloading, FilesArriveAndFilesCutShortAreListed) {
    const struct {
        std::vector<std::string> keys;
        int answer;
        const char *bytes, *message;
        Lines left;
    } passes[] = {
        {{"Good", "Short"}, IDOK, "295 K  of  300 K", kRerunLater,
         {"Good.pki", "Short.pki", "big.dat", "good.dat", "short.dat"}},
        {{"Short"}, IDCANCEL, "0  of  4 K", kRerun, {"Short.pki", "short.dat"}},
    };
    for (const auto& pass : passes) {
        SCOPED_TRACE(pass.message);
        PrepareDownloads(pass.keys.size() == 2 ? "arrive" : "refused", pass.keys);
        CDownloadingPage downloading;
        CFinishPage finish;
        Wizard::RunPages({&downloading, &finish}, [&](Wizard& wizard) {
            HWND dlg = WaitDialogWith(IDC_SKIPPED_LIST);
            ASSERT_NE(nullptr, dlg) << "no failed downloads were listed";
            EXPECT_EQ(std::string(kSkippedHeading) + "|ZEP Short|" + pass.bytes,
                      robot::GetDlgText(dlg, IDC_SKIPPED_HEADING) + "|" +
                          ListText(::GetDlgItem(dlg, IDC_SKIPPED_LIST), 0) + "|" + Bytes(wizard.Page()));
            wizard.Shot("downloading-failed", dlg);
            robot::AnswerMessageBox(dlg, pass.answer);
            EXPECT_TRUE(wizard.Walk({{Act::Answer, pass.answer == IDOK ? &kFinish : nullptr, Finish,
                                      {}, IDOK, pass.message}}));
        });
        EXPECT_EQ(1, theApp.m_nPackagesToDownload);
        EXPECT_EQ(pass.left, testsupport::SortedFilesIn(theApp.m_strDownloadDir));
        if (pass.answer == IDOK) {
            EXPECT_EQ(testweb::Pattern(300000), testsupport::FileText(theApp.m_strDownloadDir + "big.dat"));
        }
    }
}
