// The online installation of the real program with a fault of the test web
// site on one kind of fetch, one row per outcome the pages make of it (the
// faults one by one are the transfer tests' table): the wizard goes on or
// ends as it should, no earlier good copy is replaced, nothing half-fetched
// is installed or recorded.
#include "res/DownloadWaitIds.h"
#include "res/resource.h"
#include "support/PackageTestFiles.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace roads;
using namespace wizard;

namespace {

// File: on every mirror; Chosen: on the mirror chosen alone.
enum class Kind { List, Info, Sites, File, All, Chosen };
// What the wizard makes of a fault: the fetch succeeds slowly, fails (and
// for a package file, keeps nothing under its name: dropped), is tried again
// until Cancel (package files only), or stalls until given up.
enum class Outcome { Whole, Failed, Dropped, Retried, Stalled };

const struct Row {
    const char* name;
    Kind kind;
    const char* fault;
    Outcome outcome;
    // To the list of what could not be downloaded; No to a Cancel asked
    // while the package files arrive.
    int answer = IDOK;
    int timeoutSec = 0;  // of the program's transfers; 0: its own
} kRows[] = {
    {"all-trickle", Kind::All, R"({"trickle": 16, "tick": 0.02})", Outcome::Whole},
    {"list-404", Kind::List, R"({"status": 404})", Outcome::Failed},
    {"list-stall-before", Kind::List, R"({"stall_before": 60})", Outcome::Stalled},
    {"info-404-not-accepted", Kind::Info, R"({"status": 404})", Outcome::Failed, IDCANCEL},
    {"info-stall-mid", Kind::Info, R"({"stall": 60, "stall_at": 20})", Outcome::Stalled},
    // One byte changed on the way: not the publisher's.
    {"info-changed", Kind::Info, R"({"swap": 1, "swap_at": 40})", Outcome::Failed},
    {"sites-drop", Kind::Sites, R"({"drop": 1})", Outcome::Failed},
    {"sites-stall-before", Kind::Sites, R"({"stall_before": 60})", Outcome::Stalled},
    // An empty package file counts as no answer, like a refused connection.
    {"file-empty", Kind::File, R"({"empty": 1})", Outcome::Retried},
    {"file-html", Kind::File, R"({"html_error": 1})", Outcome::Failed},
    {"file-cut-not-accepted", Kind::File, R"({"cut": 20, "length": "match"})", Outcome::Failed, IDCANCEL},
    {"file-swapped", Kind::File, R"({"swap": 1})", Outcome::Dropped},
    {"file-cancel-no", Kind::File, R"({"trickle": 8, "tick": 0.25})", Outcome::Whole, IDNO},
    {"file-stall-timeout", Kind::File, R"({"stall_before": 60})", Outcome::Retried, IDOK, 1},
    {"file-stall-before", Kind::File, R"({"stall_before": 60})", Outcome::Stalled},
    {"file-stall-mid", Kind::File, R"({"stall": 60, "stall_at": 20})", Outcome::Stalled},
    // A byte now and then, each within the timeouts: below the floor.
    {"file-trickle-below-floor", Kind::File, R"({"trickle": 1, "tick": 0.5})", Outcome::Retried, IDOK, 1},
    // The file comes from the next mirror of the region.
    {"chosen-404", Kind::Chosen, R"({"status": 404})", Outcome::Whole},
    {"chosen-swapped", Kind::Chosen, R"({"swap": 1})", Outcome::Whole},
};

const std::vector<const char*> kPaths[] = {
    {"setup/zep.sif"}, {"pki/tools.pki"}, {"setup/sites.ini"},
    {"mirror/files/tools.ex_", "stalled/files/tools.ex_", "broken/files/tools.ex_", "far/files/tools.ex_"},
    {}, {"mirror/files/tools.ex_"}};
// The copies an earlier run left are the publisher's, as any copy the run
// uses must be, copied with their date: a copy fetched since is dated anew.
bool IsEarlierCopy(const std::string& site, const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA published{}, copy{};
    return ::GetFileAttributesExA((site + "\\setup\\" + name).c_str(), GetFileExInfoStandard, &published) &&
           ::GetFileAttributesExA((kDownloads + "\\" + name).c_str(), GetFileExInfoStandard, &copy) &&
           ::CompareFileTime(&published.ftLastWriteTime, &copy.ftLastWriteTime) == 0;
}
const std::string kWait = std::to_string(IDC_DOWNLOAD_WAIT_TEXT), kSkipped = std::to_string(IDC_SKIPPED_LIST);

// The wait dialog given up with its close box, as a user would after a while.
Step GiveUpWaiting(const Page* page, unsigned buttons = Back | Next) {
    return {Act::Dialog, page, buttons, {}, IDCANCEL, kWait};
}

// Once the wait dialog has disabled the wizard, Next pressed there as the
// driver presses it: handled before the close box that follows, so a page
// still shown after that was not left for another fetch.
std::string PressNextBehind(HWND page) {
    if (::IsWindowEnabled(::GetParent(page))) return "enabled";
    robot::PressButton(::GetParent(page), PSBTN_NEXT);
    return "disabled";
}

// Yes to going on with the local list, which both pages ask for without the updated one.
Step GoOnLocally(const Page* page) { return {Act::Answer, page, Back | Next, {}, IDYES, kAskLocal}; }

// Without the updated list, package info files that are not here take no
// part in the run; giving up the wait for one gives up the rest as well.
bool NothingToInstall(const Row& row) {
    return (row.kind == Kind::List && row.outcome != Outcome::Whole) ||
           (row.kind == Kind::Info && row.outcome == Outcome::Stalled);
}

// The run ends before the sites list is needed.
bool EndsPreparing(const Row& row) { return NothingToInstall(row) || (row.kind == Kind::Info && row.answer != IDOK); }

Steps RoadOf(const Row& row) {
    const Kind kind = row.kind;
    const bool failed = row.outcome != Outcome::Whole, stalled = row.outcome == Outcome::Stalled;
    Steps steps = Intro(kDownloads) + Steps{{Act::Next, &kComponentsOfRoad, Back | Next}};
    if (kind == Kind::List && stalled)
        steps = steps + Steps{{Act::Look, &kComponentsOfRoad, Back | Next, {{PressNextBehind, "disabled"}}},
                              GiveUpWaiting(&kComponentsOfRoad)};
    if (kind == Kind::List && failed) steps.push_back(GoOnLocally(&kComponentsOfRoad));
    steps.push_back({Act::Look, kComponentsFetched.page, Back | Next, kComponentsFetched.shows});
    steps.push_back({Act::Next, &kPreparingOfRoad, Back | Next});
    // Preparing fetches the list again when it has none, then the package info files.
    if ((kind == Kind::List || kind == Kind::Info) && stalled) steps.push_back(GiveUpWaiting(&kPreparingOfRoad));
    if (kind == Kind::List && failed) steps.push_back(GoOnLocally(&kPreparingOfRoad));
    if (kind == Kind::Info && failed) {
        const bool accepted = row.answer == IDOK;
        steps.push_back({Act::Dialog, accepted ? &kPreparingOfRoad : nullptr, Back | Next, {}, row.answer, kSkipped});
        if (!accepted) return steps;
    }
    if (NothingToInstall(row))
        return steps + Steps{{Act::Look, &kPreparingOfRoad, Back | Next, {{IDC_PREPARING_TOTAL, "0"}}},
                             {Act::Next, &kFinishOfRoad, Finish, {{IDC_FINISH_OUTCOME, kFinished}}},
                             {Act::Finish, nullptr}};
    steps.push_back({Act::Look, &kPreparingOfRoad, Back | Next,
                     {{IDC_PREPARING_TOTAL, kind == Kind::Info && failed ? "75" : "139"}}});
    steps.push_back({Act::Next, &kChooseSiteOfRoad, Back});
    if (kind == Kind::Sites && stalled) steps.push_back(GiveUpWaiting(&kChooseSiteOfRoad, Back));
    steps.push_back({Act::Look, &kChooseSiteOfRoad, Back, {{Sites, kSitesShown}}});
    steps.push_back(ToMirror("139", 0).back());
    if (row.outcome == Outcome::Retried || (kind == Kind::File && stalled)) {
        // No estimate while nothing has arrived or a file waits for its next attempt.
        const Shows retrying{{IDC_DOWNLOADING_FILE, "tools.ex_  (attempt 2 failed, trying again in 1 sec)"},
                             {IDC_DOWNLOADING_TIME, ""}};
        return steps + Steps{{Act::Next, &kDownloadingOfRoad, None, stalled ? Shows{} : retrying},
                             {Act::Cancel, &kDownloadingOfRoad, None},
                             {Act::Answer, nullptr, None, {}, IDYES, kAskCancel}};
    }
    // A pass that ends under the question shows it has, and goes on only after No.
    const Shows complete{{IDC_DOWNLOADING_COMPONENT, "Download complete."}};
    if (row.answer == IDNO)
        steps = steps + Steps{{Act::Next, &kDownloadingOfRoad, None},
                              {Act::Cancel, &kDownloadingOfRoad, None},
                              {Act::Look, &kDownloadingOfRoad, None, complete},
                              {Act::Answer, &kInstallingOfRoad, None, {}, IDNO, kAskCancel}};
    else if (kind != Kind::File || !failed)
        steps.push_back({Act::Next, &kInstallingOfRoad, None});
    if (kind != Kind::File || !failed)
        return steps + Steps{{Act::Answer, &kFinishOfRoad, Finish, {{IDC_FINISH_OUTCOME, kFinished}}, IDOK, kBadNamed},
                             {Act::Finish, nullptr}};
    // The list of files that could not be downloaded, accepted or not.
    steps = steps + Steps{{Act::Next, &kDownloadingOfRoad, None},
                          {Act::Dialog, &kDownloadingOfRoad, None, {}, row.answer, kSkipped}};
    if (row.answer != IDOK)
        return steps + Steps{{Act::Answer, nullptr, None, {}, IDOK,
                              "You may RE-RUN ZEP Setup Wizard and it will download\nfiles which it failed to "
                              "download this time\n and will complete installing ZEP."}};
    return steps + Steps{{Act::Answer, &kInstallingOfRoad, None, {}, IDOK,
                          "You may later RE-RUN ZEP Setup Wizard and it will\ndownload files which it failed to "
                          "download this time\n and will complete installing ZEP."},
                         {Act::Answer, &kFinishOfRoad, Finish, {{IDC_FINISH_OUTCOME, kFinished}}, IDOK, kBadNamed},
                         {Act::Finish, nullptr}};
}

// The earlier copies give way only to whole lists; the sites list is
// fetched only when there is something to fetch from the sites. Base is
// installed unless the run ends before, Tools only when its files came whole.
void CheckRow(const Row& row, const std::string& site) {
    const bool whole = row.outcome == Outcome::Whole, ends = EndsPreparing(row);
    for (const auto& [copy, replaced] : {std::pair{"zep.sif", row.kind != Kind::List || whole},
                                         {"sites.ini", !ends && (row.kind != Kind::Sites || whole)}})
        EXPECT_EQ(replaced, !IsEarlierCopy(site, copy)) << copy;
    const bool ended = row.outcome == Outcome::Retried || (row.kind == Kind::File && row.outcome == Outcome::Stalled) ||
                       row.answer == IDCANCEL;
    const bool installed = !ended && !ends, tools = installed && (whole || row.kind == Kind::Sites);
    EXPECT_EQ(std::string(installed ? "257 " : "0 ") + (tools ? "256" : "0"), Record("Base") + " " + Record("Tools"));
    EXPECT_EQ(tools ? "tools 1.0" : "<missing>", testsupport::FileText(kBin + "\\tools.exe"));
    // Nothing a stopped or refused transfer wrote lies under the package file's name.
    const bool dropped = row.outcome == Outcome::Dropped || row.outcome == Outcome::Stalled;
    EXPECT_TRUE(row.kind != Kind::File || !dropped || !testsupport::FileExists(kDownloads + "\\tools.ex_"));
}

}  // namespace

TEST(FaultMatrix, EachOutcomeOfEachFetch) {
    const std::string site = testweb::RootDir() + "\\faults", url = testweb::BaseUrl() + "/faults/";
    PublishSite(site, url, 0);
    // Every mirror has the files: a fault on them all is the only failure.
    for (const char* mirror : {"\\broken\\files\\", "\\far\\files\\"}) {
        ::SHCreateDirectoryExA(nullptr, (site + mirror).c_str(), nullptr);
        for (const File& file : PackageFiles(0)) testsupport::WriteFile(site + mirror + file.first, file.second);
    }
    for (const Row& row : kRows) {
        std::string faults;
        for (int kind = 0; kind < 6; ++kind)
            if ((row.kind == Kind::All && kind < 4) || int(row.kind) == kind)
                for (const char* path : kPaths[kind])
                    faults += std::string(faults.empty() ? "{" : ",") + "\"/faults/" + path + "\": " + row.fault;
        testsupport::WriteFile(testweb::RootDir() + "\\faults.json", faults + "}");
        testsupport::RemoveTree(kDownloads);
        ::CreateDirectoryA(kDownloads.c_str(), nullptr);
        for (const char* name : {"zep.sif", "zep.sif.sig", "sites.ini"})
            ::CopyFileA((site + "\\setup\\" + name).c_str(), (kDownloads + "\\" + name).c_str(), FALSE);
        Drive({row.name, RoadOf(row), [&] { CheckRow(row, site); }, 0, true, row.timeoutSec}, url);
    }
}
