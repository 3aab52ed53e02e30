// FetchIniFile, DownloadPackageFile and IsHttpStatusOk through the platform's
// WinINet against the test web site on loopback, into real files.
#include "app/SetupApp.h"
#include "robot/Robot.h"
#include "support/FolderListing.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

using testsupport::FileExists;
using testsupport::FilesIn;
using testsupport::MakeScratchDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const char kOldCopy[] = "[Product]\r\nName=Old copy kept by the caller\r\n";

// Bytes the server generates for "?size=N": byte i is i % 251.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char(i % 251);
    return bytes;
}

// An INI file several network chunks long.
std::string LongIniFile() {
    std::string text = "; sites of the test\r\n[Locations]\r\n";
    for (int i = 0; text.size() < 100000; ++i)
        text += "Site" + std::to_string(i) + "=http://127.0.0.1/mirror/" + std::to_string(i) + "\r\n";
    return text;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// What the progress callback saw: each announced size, and the size of the
// local file at that moment (-1 while it does not exist).
struct ProgressLog {
    std::string localPath;
    std::vector<uint32_t> counts;
    std::vector<long long> fileSizes;
    CSetupApp* pStopApp = nullptr;
    size_t stopAfterCalls = 0;
};

void RecordProgress(void* pContext, uint32_t nBytes) {
    auto* log = static_cast<ProgressLog*>(pContext);
    log->counts.push_back(nBytes);
    log->fileSizes.push_back(FileSize(log->localPath));
    if (log->pStopApp && log->counts.size() == log->stopAfterCalls) log->pStopApp->m_bStopDownload = true;
}

uint64_t Sum(const std::vector<uint32_t>& counts) {
    uint64_t sum = 0;
    for (uint32_t count : counts) sum += count;
    return sum;
}

// Runs a transfer on a worker, as the pages do, and answers the message box
// it shows; returns the box's text, empty when none came.
std::string RunAnsweringMessageBox(const std::function<void()>& transfer) {
    std::thread worker(transfer);
    std::string text;
    HWND box = robot::WaitMessageBox(::GetCurrentProcessId(), 20000);
    if (box) {
        text = robot::MessageBoxText(box);
        robot::AnswerMessageBox(box, IDOK);
    }
    worker.join();
    return text;
}

// Replaces one function this program imports, for the life of the object:
// the platform's own failures that no server can provoke on loopback.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement) {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
        for (; module->Name && !m_pSlot; ++module) {
            if (lstrcmpiA(reinterpret_cast<char*>(base + module->Name), dll) != 0) continue;
            auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
            auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
            for (; name->u1.AddressOfData; ++name, ++slot) {
                if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
                m_pSlot = reinterpret_cast<void**>(&slot->u1.Function);
                break;
            }
        }
        if (m_pSlot) m_pOriginal = Swap(replacement);
    }
    ~ImportPatch() {
        if (m_pSlot) Swap(m_pOriginal);
    }
    bool Applied() const { return m_pSlot != nullptr; }
    void* Original() const { return m_pOriginal; }

private:
    void* Swap(void* value) {
        DWORD protect = 0;
        ::VirtualProtect(m_pSlot, sizeof(void*), PAGE_READWRITE, &protect);
        void* old = *m_pSlot;
        *m_pSlot = value;
        ::VirtualProtect(m_pSlot, sizeof(void*), protect, &protect);
        return old;
    }
    void** m_pSlot = nullptr;
    void* m_pOriginal = nullptr;
};

BOOL WINAPI FailingRead(HINTERNET, LPVOID, DWORD, LPDWORD) {
    ::SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return FALSE;
}

// Asking for the available data works a given number of times, then fails
// as it does when the connection breaks.
typedef BOOL(WINAPI* QueryDataAvailableFn)(HINTERNET, LPDWORD, DWORD, DWORD_PTR);
QueryDataAvailableFn g_realQuery = nullptr;
int g_queriesBeforeFailure = 0;

BOOL WINAPI QueryFailingLater(HINTERNET hRequest, LPDWORD pnAvailable, DWORD flags, DWORD_PTR context) {
    if (g_queriesBeforeFailure-- > 0) return g_realQuery(hRequest, pnAvailable, flags, context);
    ::SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return FALSE;
}

class QueryFailure {
public:
    explicit QueryFailure(int queriesBeforeFailure)
        : m_patch("wininet.dll", "InternetQueryDataAvailable", reinterpret_cast<void*>(&QueryFailingLater)) {
        g_realQuery = reinterpret_cast<QueryDataAvailableFn>(m_patch.Original());
        g_queriesBeforeFailure = queriesBeforeFailure;
    }
    bool Applied() const { return m_patch.Applied(); }

private:
    ImportPatch m_patch;
};

}  // namespace

class HttpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_base = testweb::BaseUrl();
        ASSERT_FALSE(m_base.empty()) << "the test web server is not running";
        m_siteDir = testweb::RootDir() + "\\http";
        ::CreateDirectoryA(m_siteDir.c_str(), nullptr);
        m_url = m_base + "/http/";
        m_dir = MakeScratchDir("http");
        m_app.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(nullptr, m_app.m_hInternet);
    }
    void TearDown() override {
        if (m_app.m_hInternet) ::InternetCloseHandle(m_app.m_hInternet);
        m_app.m_hInternet = nullptr;
    }
    // Puts a file on the site; returns its address.
    std::string Serve(const std::string& name, const std::string& content) {
        EXPECT_TRUE(WriteFile(m_siteDir + "\\" + name, content));
        return m_url + name;
    }
    std::string Local(const std::string& name) const { return m_dir + "\\" + name; }
    std::string Content(const std::string& path) const {
        std::string content;
        EXPECT_TRUE(ReadFile(path, content)) << path;
        return content;
    }
    int Download(const std::string& url, const std::string& localPath, ProgressLog& log, uint32_t& received) {
        log.localPath = localPath;
        return m_app.DownloadPackageFile(url, localPath, &log, RecordProgress, &received);
    }

    CSetupApp m_app;
    std::string m_base, m_siteDir, m_url, m_dir;
};

TEST(HttpIniCheckTest, NeedsAnOpeningAndThenAClosingBracketInTheChunk) {
    const char* accepted[] = {"[Product]", "; note\r\n[Package]\r\nVer=1", "x[]", "[[a]"};
    const char* refused[] = {"", "<html><body>Not found</body></html>", "]Product[", "[Product", "Product]"};
    for (const char* text : accepted) EXPECT_TRUE(LooksLikeIniStart(text, std::strlen(text))) << text;
    for (const char* text : refused) EXPECT_FALSE(LooksLikeIniStart(text, std::strlen(text))) << text;
    // Only the bytes of the chunk count, not what lies beyond it.
    EXPECT_FALSE(LooksLikeIniStart("[Product]", 5));
}

TEST_F(HttpTransferTest, FetchAcceptsAnOrdinaryIniFileWhateverSectionItBeginsWith) {
    const std::string served = LongIniFile();
    const std::string url = Serve("sites.ini", served);
    ASSERT_TRUE(WriteFile(Local("sites.ini"), kOldCopy));

    EXPECT_TRUE(m_app.FetchIniFile(url, Local("sites.ini"), "Product"));
    EXPECT_TRUE(served == Content(Local("sites.ini")));
    EXPECT_EQ(std::vector<std::string>{"sites.ini"}, FilesIn(m_dir));
}

TEST_F(HttpTransferTest, FetchFollowsARedirect) {
    const std::string served = "[Product]\r\nName=Moved\r\n";
    Serve("moved.ini", served);
    EXPECT_TRUE(m_app.FetchIniFile(m_url + "old.ini?location=/http/moved.ini", Local("zep.sif"), "Product"));
    EXPECT_EQ(served, Content(Local("zep.sif")));
}

TEST_F(HttpTransferTest, FetchRefusesErrorPagesAndKeepsTheOldFileByteForByte) {
    Serve("zep.sif", "[Product]\r\nName=New\r\n");
    ASSERT_TRUE(WriteFile(Local("zep.sif"), kOldCopy));
    for (const char* fault : {"?html_error=1", "?status=404", "?status=500"}) {
        EXPECT_FALSE(m_app.FetchIniFile(m_url + "zep.sif" + fault, Local("zep.sif"), "Product")) << fault;
        EXPECT_EQ(kOldCopy, Content(Local("zep.sif"))) << fault;
    }
    EXPECT_FALSE(m_app.FetchIniFile(m_url + "missing.sif", Local("zep.sif"), "Product"));
    EXPECT_EQ(kOldCopy, Content(Local("zep.sif")));
    // Wine takes a connection closed without an answer for an empty response.
    m_app.FetchIniFile(m_url + "zep.sif?drop=1", Local("zep.sif"), "Product");
    EXPECT_EQ(kOldCopy, Content(Local("zep.sif")));
    EXPECT_EQ(std::vector<std::string>{"zep.sif"}, FilesIn(m_dir));
}

TEST_F(HttpTransferTest, FetchOfAnEmptyResponseSucceedsAndWritesNothing) {
    Serve("empty.ini", "");
    EXPECT_TRUE(m_app.FetchIniFile(m_url + "empty.ini", Local("new.ini"), "Package"));
    EXPECT_FALSE(FileExists(Local("new.ini")));

    ASSERT_TRUE(WriteFile(Local("old.ini"), kOldCopy));
    EXPECT_TRUE(m_app.FetchIniFile(m_url + "empty.ini", Local("old.ini"), "Package"));
    EXPECT_EQ(kOldCopy, Content(Local("old.ini")));
    EXPECT_EQ(std::vector<std::string>{"old.ini"}, FilesIn(m_dir));
}

// The first chunk passes the check, then the transfer breaks off: the good
// local copy stays as it was and nothing else is left behind.
TEST_F(HttpTransferTest, FetchThatBreaksOffAfterTheFirstChunkKeepsTheOldFile) {
    const std::string served = LongIniFile();
    const std::string url = Serve("long.ini", served);
    ASSERT_TRUE(WriteFile(Local("long.ini"), kOldCopy));
    {
        QueryFailure failure(3);
        ASSERT_TRUE(failure.Applied());
        EXPECT_FALSE(m_app.FetchIniFile(url, Local("long.ini"), "Locations"));
    }
    EXPECT_EQ(kOldCopy, Content(Local("long.ini")));
    EXPECT_EQ(std::vector<std::string>{"long.ini"}, FilesIn(m_dir));

    // The server closes early: the session ends the response as if it were
    // whole, the announced length tells otherwise.
    EXPECT_FALSE(m_app.FetchIniFile(url + "?cut=30000", Local("long.ini"), "Locations"));
    EXPECT_EQ(kOldCopy, Content(Local("long.ini")));
    EXPECT_EQ(std::vector<std::string>{"long.ini"}, FilesIn(m_dir));

    // A server that announces the shorter length, or none, has sent a whole response.
    EXPECT_TRUE(m_app.FetchIniFile(url + "?cut=30000&length=match", Local("long.ini"), "Locations"));
    EXPECT_TRUE(served.substr(0, 30000) == Content(Local("long.ini")));
    EXPECT_TRUE(m_app.FetchIniFile(url + "?cut=20000&length=none", Local("long.ini"), "Locations"));
    EXPECT_TRUE(served.substr(0, 20000) == Content(Local("long.ini")));
    // A server that pauses only delays.
    EXPECT_TRUE(m_app.FetchIniFile(url + "?stall=1&stall_at=20000", Local("long.ini"), "Locations"));
    EXPECT_TRUE(served == Content(Local("long.ini")));
}

TEST_F(HttpTransferTest, FetchIntoAFolderThatIsMissingTellsTheUser) {
    const std::string url = Serve("zep.sif", "[Product]\r\nName=New\r\n");
    const std::string localPath = m_dir + "\\no such folder\\zep.sif";
    BOOL fetched = TRUE;
    std::string text = RunAnsweringMessageBox([&] { fetched = m_app.FetchIniFile(url, localPath, "Product"); });
    EXPECT_EQ("Local file " + localPath + " could not be created.", text);
    EXPECT_FALSE(fetched);
}

TEST_F(HttpTransferTest, BothTransfersFailAtOnceWithoutASession) {
    const std::string url = Serve("zep.sif", "[Product]\r\nName=New\r\n");
    ::InternetCloseHandle(m_app.m_hInternet);
    m_app.m_hInternet = nullptr;
    ASSERT_TRUE(WriteFile(Local("zep.sif"), kOldCopy));

    EXPECT_FALSE(m_app.FetchIniFile(url, Local("zep.sif"), "Product"));
    ProgressLog log;
    uint32_t received = 77;
    EXPECT_EQ(0, Download(url, Local("zep.sif"), log, received));
    EXPECT_EQ(0u, received);
    EXPECT_TRUE(log.counts.empty());
    EXPECT_EQ(kOldCopy, Content(Local("zep.sif")));
}

TEST_F(HttpTransferTest, DownloadCountsEveryChunkBeforeItIsRead) {
    ProgressLog log;
    uint32_t received = 0;
    int result = Download(m_url + "pkg.bin?size=300000", Local("pkg.bin"), log, received);

    EXPECT_EQ(300000, result);
    EXPECT_EQ(300000u, received);
    EXPECT_EQ(Pattern(300000), Content(Local("pkg.bin")));
    ASSERT_GT(log.counts.size(), 1u);
    EXPECT_EQ(300000u, Sum(log.counts));
    // At each call the file holds exactly the chunks announced before it.
    EXPECT_EQ(-1, log.fileSizes[0]);
    uint64_t before = log.counts[0];
    for (size_t i = 1; i < log.counts.size(); ++i) {
        EXPECT_GT(log.counts[i], 0u);
        EXPECT_EQ(static_cast<long long>(before), log.fileSizes[i]) << "call " << i;
        before += log.counts[i];
    }
}

TEST_F(HttpTransferTest, DownloadFollowsARedirectAndTakesASlowServer) {
    ProgressLog log;
    uint32_t received = 0;
    EXPECT_EQ(5000, Download(m_url + "a.bin?location=/http/b.bin%3Fsize%3D5000", Local("a.bin"), log, received));
    EXPECT_EQ(Pattern(5000), Content(Local("a.bin")));

    EXPECT_EQ(600, Download(m_url + "slow.bin?size=600&trickle=100&tick=0.05", Local("slow.bin"), log, received));
    EXPECT_EQ(Pattern(600), Content(Local("slow.bin")));
}

TEST_F(HttpTransferTest, DownloadOfAnEmptyResponseReturnsZeroAndCreatesNothing) {
    ProgressLog log;
    uint32_t received = 5;
    EXPECT_EQ(0, Download(m_url + "pkg.bin?empty=1", Local("pkg.bin"), log, received));
    EXPECT_EQ(0u, received);
    EXPECT_TRUE(log.counts.empty());
    EXPECT_FALSE(FileExists(Local("pkg.bin")));
}

TEST_F(HttpTransferTest, DownloadThatCannotConnectLeavesTheOldFile) {
    // Nothing listens on port 1 of the loopback address.
    const std::string closed = "http://127.0.0.1:1/pkg.bin";

    ASSERT_TRUE(WriteFile(Local("pkg.bin"), kOldCopy));
    ProgressLog log;
    uint32_t received = 0;
    EXPECT_EQ(0, Download(closed, Local("pkg.bin"), log, received));
    EXPECT_EQ(kOldCopy, Content(Local("pkg.bin")));
    // Windows fails the open of a connection closed without an answer (0);
    // Wine takes it for an answer without a status (-1).
    EXPECT_LE(Download(m_url + "pkg.bin?drop=1", Local("pkg.bin"), log, received), 0);
    EXPECT_EQ(kOldCopy, Content(Local("pkg.bin")));
}

TEST_F(HttpTransferTest, DownloadAnsweredWithAnotherStatusLeavesTheOldFile) {
    ASSERT_TRUE(WriteFile(Local("pkg.bin"), kOldCopy));
    ProgressLog log;
    uint32_t received = 0;
    EXPECT_EQ(-1, Download(m_url + "pkg.bin?status=404", Local("pkg.bin"), log, received));
    EXPECT_EQ(-1, Download(m_url + "pkg.bin?status=500", Local("pkg.bin"), log, received));
    EXPECT_EQ(-1, Download(m_url + "missing.bin", Local("pkg.bin"), log, received));
    EXPECT_EQ(0u, received);
    EXPECT_TRUE(log.counts.empty());
    EXPECT_EQ(kOldCopy, Content(Local("pkg.bin")));
}

TEST_F(HttpTransferTest, DownloadWhoseConnectionBreaksDeletesThePartialFile) {
    QueryFailure failure(3);
    ASSERT_TRUE(failure.Applied());
    ProgressLog log;
    uint32_t received = 0;
    EXPECT_EQ(-2, Download(m_url + "pkg.bin?size=100000", Local("pkg.bin"), log, received));
    EXPECT_EQ(3u, log.counts.size());
    EXPECT_EQ(Sum(log.counts), received);
    EXPECT_FALSE(FileExists(Local("pkg.bin")));
}

// The session ends a response the server cut like a whole one; the short
// count is what tells the caller.
TEST_F(HttpTransferTest, DownloadOfACutResponseCountsWhatArrived) {
    ProgressLog log;
    uint32_t received = 0;
    for (const char* length : {"full", "match", "none"}) {
        EXPECT_EQ(30000, Download(m_url + "pkg.bin?size=100000&cut=30000&length=" + length, Local("pkg.bin"), log,
                                  received)) << length;
        EXPECT_TRUE(Pattern(30000) == Content(Local("pkg.bin"))) << length;
    }
}

TEST_F(HttpTransferTest, DownloadWhoseReadFailsDeletesTheOldFile) {
    ImportPatch patch("wininet.dll", "InternetReadFile", reinterpret_cast<void*>(&FailingRead));
    ASSERT_TRUE(patch.Applied());
    ASSERT_TRUE(WriteFile(Local("pkg.bin"), kOldCopy));
    ProgressLog log;
    uint32_t received = 0;
    EXPECT_EQ(-3, Download(m_url + "pkg.bin?size=1000", Local("pkg.bin"), log, received));
    EXPECT_EQ(1u, log.counts.size());
    EXPECT_EQ(Sum(log.counts), received);
    EXPECT_FALSE(FileExists(Local("pkg.bin")));
}

TEST_F(HttpTransferTest, DownloadIntoAFolderThatIsMissingTellsTheUser) {
    const std::string localPath = m_dir + "\\no such folder\\pkg.bin";
    ProgressLog log;
    uint32_t received = 0;
    int result = 1;
    std::string text = RunAnsweringMessageBox([&] { result = Download(m_url + "pkg.bin?size=1000", localPath, log, received); });
    EXPECT_EQ("Local file " + localPath + " could not be created.", text);
    EXPECT_EQ(-4, result);
    EXPECT_EQ(1u, log.counts.size());
    EXPECT_EQ(Sum(log.counts), received);
}

TEST_F(HttpTransferTest, DownloadStoppedBeforeTheFirstChunkDeletesTheLocalFile) {
    ASSERT_TRUE(WriteFile(Local("pkg.bin"), kOldCopy));
    m_app.m_bStopDownload = true;
    ProgressLog log;
    uint32_t received = 9;
    EXPECT_EQ(0, Download(m_url + "pkg.bin?size=100000", Local("pkg.bin"), log, received));
    EXPECT_EQ(0u, received);
    EXPECT_TRUE(log.counts.empty());
    EXPECT_FALSE(FileExists(Local("pkg.bin")));
}

TEST_F(HttpTransferTest, DownloadStoppedDuringTheTransferReturnsTheBytesCounted) {
    ProgressLog log;
    log.pStopApp = &m_app;
    log.stopAfterCalls = 3;
    uint32_t received = 0;
    int result = Download(m_url + "pkg.bin?size=300000", Local("pkg.bin"), log, received);
    ASSERT_EQ(3u, log.counts.size());
    EXPECT_EQ(static_cast<int>(Sum(log.counts)), result);
    EXPECT_LT(result, 300000);
    EXPECT_EQ(static_cast<uint32_t>(result), received);
    EXPECT_FALSE(FileExists(Local("pkg.bin")));
}

TEST_F(HttpTransferTest, StatusIsOkForTwoHundredAndWhenItCannotBeAsked) {
    HINTERNET ok = ::InternetOpenUrlA(m_app.m_hInternet, (m_url + "x.bin?size=10").c_str(), nullptr, 0,
                                      INTERNET_FLAG_RELOAD, 0);
    HINTERNET missing = ::InternetOpenUrlA(m_app.m_hInternet, (m_url + "x.bin?status=404").c_str(), nullptr, 0,
                                           INTERNET_FLAG_RELOAD, 0);
    ASSERT_NE(nullptr, ok);
    ASSERT_NE(nullptr, missing);
    EXPECT_TRUE(CSetupApp::IsHttpStatusOk(ok));
    EXPECT_FALSE(CSetupApp::IsHttpStatusOk(missing));
    // The session is no request: the status cannot be asked.
    EXPECT_TRUE(CSetupApp::IsHttpStatusOk(m_app.m_hInternet));
    ::InternetCloseHandle(ok);
    ::InternetCloseHandle(missing);
}
