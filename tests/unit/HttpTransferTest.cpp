// FetchIniFile and DownloadPackageFile through the platform's WinINet against
// the test web site on loopback, into real files: one table of cases each,
// {request, fault, expected result, what becomes of the local file}.
#include "app/SetupApp.h"
#include "framework/WorkerThread.h"
#include "robot/Robot.h"
#include "support/ImportPatch.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

using namespace testsupport;

namespace {

const char kOldCopy[] = "[Product]\r\nName=Old copy kept by the caller\r\n";
const long long kAnyFailure = LLONG_MIN;  // the result may be any value of 0 or less
const long long kCounted = LLONG_MIN + 1;  // the result is the bytes counted before the stop
const long long kAnyResult = LLONG_MIN + 2;
const size_t kWhole = SIZE_MAX;

enum class Fault { None, NoSession, QueryFailsAfter3, ReadFails, StopBeforeFirst, StopAfter3 };
// Where the local file lies and what is there before: an old copy in a
// folder of the test, nothing, a folder that does not exist, or an old copy
// on a volume too small for the response.
enum class Place { OldCopy, Empty, MissingFolder, FullVolume };
// What the local file holds afterwards: the old copy, nothing (no file), or
// the first servedBytes of what the server sent.
enum class Local { Old, None, Served };

// What the progress callback saw.
struct ProgressLog {
    std::vector<uint32_t> counts;
    std::vector<long long> fileSizes;  // of the local file at each call, -1 while it is missing
    std::string localPath;
    CSetupApp* pStopApp = nullptr;     // stopped after the third call
};

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void RecordProgress(void* pContext, uint32_t nBytes) {
    auto* log = static_cast<ProgressLog*>(pContext);
    log->counts.push_back(nBytes);
    log->fileSizes.push_back(FileSize(log->localPath));
    if (log->pStopApp && log->counts.size() == 3) log->pStopApp->m_bStopDownload = true;
}

}  // namespace

class HttpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string base = testweb::BaseUrl();
        ASSERT_FALSE(base.empty()) << "the test web server is not running";
        m_url = base + "/http/";
        const std::string site = testweb::RootDir() + "\\http";
        ::CreateDirectoryA(site.c_str(), nullptr);
        ASSERT_TRUE(WriteFile(site + "\\long.ini", m_served = testweb::IniFile(100000)));
        ASSERT_TRUE(WriteFile(site + "\\big.ini", testweb::IniFile(400000)));
        ASSERT_TRUE(WriteFile(site + "\\huge.ini", testweb::IniFile((1 << 20) + 1)));
        ASSERT_TRUE(WriteFile(site + "\\empty.ini", ""));
        m_app.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(nullptr, m_app.m_hInternet);
        m_app.SetTransferTimeouts(3000);
    }
    void TearDown() override {
        if (m_app.m_hInternet) ::InternetCloseHandle(m_app.m_hInternet);
    }

    // A fresh folder for one case; the local file is "local.bin" in it.
    std::string Folder(Place place, int row) {
        std::string folder;
        if (place == Place::FullVolume) {
            const char* volume = std::getenv("ZEP_SMALL_VOLUME");
            EXPECT_NE(nullptr, volume) << "the tests' small volume is not set";
            folder = std::string(volume ? volume : ".") + "\\row" + std::to_string(row);
            RemoveTree(folder);
            ::CreateDirectoryA(folder.c_str(), nullptr);
        } else {
            folder = MakeScratchDir("http-row" + std::to_string(row));
        }
        return place == Place::MissingFolder ? folder + "\\no such folder" : folder;
    }

    // Runs a transfer on a worker, as the pages do, with the fault in place,
    // and answers the message box it may show; box gets that box's text.
    int Run(Fault fault, const std::function<int()>& transfer, std::string& box) {
        std::unique_ptr<InternetFault> patch;
        if (fault == Fault::QueryFailsAfter3) patch.reset(new InternetFault(InternetFault::QueryFailsLater, 3));
        if (fault == Fault::ReadFails) patch.reset(new InternetFault(InternetFault::ReadFails));
        EXPECT_TRUE(!patch || patch->Applied());
        HINTERNET session = m_app.m_hInternet;
        if (fault == Fault::NoSession) m_app.m_hInternet = nullptr;
        m_app.m_bStopDownload = fault == Fault::StopBeforeFirst;

        CWorkerThread worker;
        EXPECT_TRUE(worker.Start(transfer));
        HWND shown = nullptr;
        robot::WaitUntil(
            [&] { return worker.Wait(0) || (shown = robot::FindMessageBox(::GetCurrentProcessId())) != nullptr; },
            120000);
        if (shown) {
            box = robot::MessageBoxText(shown);
            robot::AnswerMessageBox(shown, IDOK);
        }
        EXPECT_TRUE(worker.Wait(120000)) << "the transfer did not end";
        m_app.m_hInternet = session;
        m_app.m_bStopDownload = false;
        return worker.GetResult();
    }

    // The local file as the case expects it, and nothing else beside it.
    static void ExpectLocal(const std::string& path, Local local, const std::string& served) {
        std::string content;
        EXPECT_EQ(local != Local::None, ReadFile(path, content));
        EXPECT_TRUE(local == Local::None || content == (local == Local::Old ? std::string(kOldCopy) : served))
            << content.size() << " bytes: " << content.substr(0, 40);
        EXPECT_EQ(local == Local::None ? 0u : 1u, SortedFilesIn(path.substr(0, path.rfind('\\'))).size())
            << "files left beside it";
    }

    struct Case {
        const char* request;
        long long result;  // of a download that arrived: the bytes counted
        Local local;
        size_t servedBytes = 0;
        Place place = Place::OldCopy;
        Fault fault = Fault::None;
        int calls = -1;  // of the progress callback; -1: any number
        const char* section = "Locations";
        long long promised = LLONG_MAX;  // the most a download may take
    };

    // Each case in a fresh folder: the call's result, the progress it
    // reported, the message it showed, and the local file it left.
    void RunCases(bool download, std::initializer_list<Case> cases) {
        int row = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(download ? "download " : "fetch ") + c.request + ", case " + std::to_string(row));
            const std::string path = Folder(c.place, row++) + "\\local.bin";
            ASSERT_TRUE(c.place == Place::Empty || c.place == Place::MissingFolder || WriteFile(path, kOldCopy));
            const std::string url = std::strncmp(c.request, "http:", 5) == 0 ? c.request : m_url + c.request;
            ProgressLog log;
            log.localPath = path;
            log.pStopApp = c.fault == Fault::StopAfter3 ? &m_app : nullptr;
            int64_t received = 77;
            std::string box;
            // A list is fetched as the pages fetch it: into a file of its own, its messages naming path.
            const std::string own = OwnFetchPath(path);
            const long long result = Run(c.fault, [&] {
                return download ? m_app.DownloadPackageFile(url, path, c.promised, &log, RecordProgress, &received)
                                : m_app.FetchIniFile(url, own, c.section, path) &&
                                      ::MoveFileExA(own.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
            }, box);
            const long long got = download && result > 0 ? received : result;

            const long long counted = std::accumulate(log.counts.begin(), log.counts.end(), 0LL);
            EXPECT_TRUE(!download || counted == received) << "counter " << received << ", chunks " << counted;
            const long long expected = c.result == kCounted ? counted : c.result;
            EXPECT_TRUE(expected == kAnyResult || (expected == kAnyFailure ? got <= 0 : got == expected))
                << "result " << got;
            EXPECT_TRUE(c.calls < 0 || size_t(c.calls) == log.counts.size()) << log.counts.size() << " progress calls";
            // Each chunk is counted before it is read: at every call the file
            // holds exactly the chunks announced before.
            if (download && c.local == Local::Served) {
                ASSERT_FALSE(log.counts.empty());
                for (size_t i = 1, before = log.counts[0]; i < log.counts.size(); before += log.counts[i++])
                    EXPECT_EQ((long long)before, log.fileSizes[i]) << "call " << i;
            }
            const char* message = c.place == Place::MissingFolder               ? " could not be created."
                                  : c.place == Place::FullVolume && download ? " could not be written."
                                                                             : nullptr;
            EXPECT_EQ(message ? "Local file " + path + message : "", box);
            ExpectLocal(path, c.local, download ? testweb::Pattern(c.servedBytes) : m_served.substr(0, c.servedBytes));
        }
    }

    CSetupApp m_app;
    std::string m_url, m_served;
};

// A heading split across chunks is found; a long line hides nothing after it.
TEST(HttpIniCheckTest, FindsTheSectionHeadingOnALineOfItsOwn) {
    const std::pair<bool, std::string> cases[] = {
        {true, "[Product]"}, {true, "; x\r\n  [product] \t\r\nName=x"},
        {true, "[Product]" + std::string(99999, ' ') + "x\n[PRODUCT]"}, {false, ""},
        {true, "\xEF\xBB\xBF [Product] ; mirrors\n"}, {true, "[product];" + std::string(999, 'c')},
        {false, "\xEF\xBB[Product]"}, {false, "\n\xEF\xBB\xBF[Product]"}, {false, "[Product] ; a]"},
        {false, "<script>a[Product]</script>"},
        {false, "[Product] x\n[Products]\n[Produc]"}, {false, "[Product"}};
    for (const auto& [found, text] : cases) {
        CSectionLineScan whole("Product"), bytes("Product");
        whole.Feed(text.data(), text.size());
        for (char c : text) bytes.Feed(&c, 1);
        EXPECT_EQ(found, whole.Found()) << text;
        EXPECT_EQ(found, bytes.Found()) << text;
    }
}

// A good local copy is replaced only by a whole INI response of the caller's
// kind; error pages, pages of another kind, broken and cut transfers and a
// full disk leave it byte for byte.
TEST_F(HttpTransferTest, FetchIniFileCases) {
    RunCases(false, {
        {"long.ini", TRUE, Local::Served, kWhole},
        {"moved.ini?location=/http/long.ini", TRUE, Local::Served, kWhole},
        {"moved.ini?location=ftp://127.0.0.1/http/long.ini", FALSE, Local::Old},
        {"long.ini?stall=1&stall_at=20000", TRUE, Local::Served, kWhole},
        {"long.ini?stall_before=30", FALSE, Local::Old},  // ended by the session's timeout
        {"long.ini?html_error=1", FALSE, Local::Old},
        {"long.ini?status=404", FALSE, Local::Old},
        {"huge.ini", FALSE, Local::Old},  // past the size of any list
        // Wine takes a connection closed without an answer for an empty response.
        {"long.ini?drop=1", kAnyResult, Local::Old},
        {"empty.ini", FALSE, Local::Old},
        {"empty.ini", FALSE, Local::None, 0, Place::Empty},
        {"long.ini", FALSE, Local::Old, 0, Place::OldCopy, Fault::None, -1, "Product"},
        {"long.ini", FALSE, Local::Old, 0, Place::OldCopy, Fault::QueryFailsAfter3},
        // The session ends a response the server cut like a whole one; the
        // announced length tells otherwise, unless it matches. Without one,
        // a text is never known to be whole.
        {"long.ini?cut=30000", FALSE, Local::Old},
        {"long.ini?cut=30000&length=match", TRUE, Local::Served, 30000},
        {"long.ini?cut=20000&length=none", FALSE, Local::Old},
        {"long.ini?length=chunked", TRUE, Local::Served, kWhole},
        {"long.ini", FALSE, Local::Old, 0, Place::OldCopy, Fault::NoSession},
        {"long.ini", FALSE, Local::None, 0, Place::MissingFolder},
        {"big.ini", FALSE, Local::Old, 0, Place::FullVolume},
    });
}

// A transfer that cannot start leaves an older file of the name alone; one
// that breaks off, is stopped or meets a full disk leaves no file at all.
TEST_F(HttpTransferTest, DownloadPackageFileCases) {
    RunCases(true, {
        {"pkg.bin?size=300000", 300000, Local::Served, 300000},
        {"a.bin?location=/http/b.bin%3Fsize%3D5000", 5000, Local::Served, 5000},
        {"slow.bin?size=600&trickle=100&tick=0.05", 600, Local::Served, 600},
        // The session ends a cut response like a whole one: the announced
        // length tells it broke off; a whole one that is short is the caller's to judge.
        {"pkg.bin?size=100000&cut=30000", -3, Local::None},
        {"pkg.bin?size=100000&cut=30000&length=match", 30000, Local::Served, 30000},
        {"pkg.bin?empty=1", 0, Local::None, 0, Place::Empty, Fault::None, 0},
        // Nothing listens on port 1 of the loopback address.
        {"http://127.0.0.1:1/pkg.bin", 0, Local::Old, 0, Place::OldCopy, Fault::None, 0},
        // Windows fails the open of a connection closed without an answer (0),
        // Wine takes it for an answer without a status (-1).
        {"pkg.bin?drop=1", kAnyFailure, Local::Old, 0, Place::OldCopy, Fault::None, 0},
        {"pkg.bin?status=404", -1, Local::Old, 0, Place::OldCopy, Fault::None, 0},
        {"pkg.bin?size=1000", 0, Local::Old, 0, Place::OldCopy, Fault::NoSession, 0},
        {"pkg.bin?size=100000", -2, Local::None, 0, Place::OldCopy, Fault::QueryFailsAfter3, 3},
        {"pkg.bin?size=1000", -3, Local::None, 0, Place::OldCopy, Fault::ReadFails, 1},
        {"pkg.bin?size=1000", -4, Local::None, 0, Place::MissingFolder, Fault::None, 1},
        // Stalls end by the session's timeouts, before and after the answer.
        {"pkg.bin?size=1000&stall_before=30", 0, Local::Old, 0, Place::OldCopy, Fault::None, 0},
        {"pkg.bin?size=100000&stall=30&stall_at=20000", kAnyFailure, Local::None},
        // More than was promised is not kept.
        {"pkg.bin?size=300000", -5, Local::None, 0, Place::OldCopy, Fault::None, -1, "", 299999},
        {"pkg.bin?size=300000", 300000, Local::Served, 300000, Place::Empty, Fault::None, -1, "", 300000},
        // A full disk: the file is given up, not installed cut short.
        {"pkg.bin?size=1000000", -4, Local::None, 0, Place::FullVolume},
        {"pkg.bin?size=100000", 0, Local::None, 0, Place::OldCopy, Fault::StopBeforeFirst, 0},
        {"pkg.bin?size=300000", kCounted, Local::None, 0, Place::Empty, Fault::StopAfter3, 3},
    });
}

// Past 2 GiB a 32-bit count turns negative, past 4 GiB it wraps.
TEST_F(HttpTransferTest, PackageFileOfMoreThan2GiB) {
    const long long size = (1LL << 31) + 12345;
    const std::string path = MakeScratchDir("http-2g") + "\\big.bin";
    int64_t received = 0;
    std::string box;
    EXPECT_EQ(1, Run(Fault::None, [&] {
        return m_app.DownloadPackageFile(m_url + "big.bin?size=" + std::to_string(size), path, size, nullptr, nullptr,
                                         &received);
    }, box));
    EXPECT_EQ(size, received);
    EXPECT_EQ(size, FileSize(path));
    ::DeleteFileA(path.c_str());
}

// An address that is not an HTTP one has no status to ask: that is no failure.
TEST_F(HttpTransferTest, StatusThatCannotBeAskedIsOk) { EXPECT_TRUE(CSetupApp::IsHttpStatusOk(m_app.m_hInternet)); }
