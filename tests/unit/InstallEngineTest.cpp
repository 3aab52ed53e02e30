// The install engine against the platform's real file queue, registry,
// shell links and files of the test prefix, and the install log it writes:
// record bytes, reading by kind, damaged logs, the ".new~" replacement and
// the deletion of a log that was read.
#include "app/Component.h"
#include "app/FolderSecurity.h"
#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "install/InstallEngine.h"
#include "install/InstallLog.h"
#include "install/QueueCallback.h"
#include "select/ComponentStates.h"
#include "select/Removal.h"
#include "robot/Robot.h"
#include "support/ImportPatch.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <sddl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <memory>
#include <thread>

using namespace testsupport;

namespace {

const char kUserKey[] = "Software\\ZEPTest";
const int kHkcu = int(0x80000001u);
const std::string kFileA("F\x01\x00\x00\x00\x06\x00" "a.dll\0", 13);

// Starts decoding the package's index-th file as the download pass does once it arrived.
void DecodeAhead(const CPackageInfo& package, size_t index, const std::string& source = "") {
    const CPackageFile& file = **std::next(package.m_listFiles.begin(), index);
    package.m_run.m_unpackAhead.Add(source.empty() ? JoinPath(file.m_strPackageDir, file.m_strSource) : source,
                                    file.m_strSha256, package.GetUnpackedPath(index, file), uint64_t(file.m_nSize));
}

std::string ComponentKey(const std::string& key) { return std::string(ZEP_CLIENT_KEY "\\") + key; }

// A value below kUserKey as "type data", or "none".
std::string UserValue(const char* name) {
    char data[MAX_PATH] = "";
    DWORD type = 0, size = sizeof data - 1;
    if (::RegGetValueA(HKEY_CURRENT_USER, kUserKey, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return "none";
    return std::to_string(type) + " " + (type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : data);
}

// A component's record as "version log path"; "-" for what it lacks.
std::string Record(const std::string& key) {
    const std::string pending = StoredText(ComponentKey(key), kPendingLogHashValue);
    return std::to_string(ReadRegDword(ComponentKey(key).c_str(), "Version", 0)) + " " +
           StoredText(ComponentKey(key), "DeIsLog") + " " + StoredText(ComponentKey(key), "Path") +
           (pending == "-" ? "" : " cut short");
}

class InstallEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitialize(nullptr);
        m_strRoot = MakeScratchDir("engine");
        PrepareInstallFolders(m_strRoot, m_run);
        m_strInstallDir = m_run.m_strInstallDir;
        m_strBin = m_strInstallDir + "\\bin";
        m_strGroup = m_run.m_strProgramsDir + "\\ZEP Test\\";
        m_strLog = m_strRoot + "\\comp.DeIsLog";
        CleanRegistry();
    }
    void TearDown() override {
        CleanRegistry();
        ::CoUninitialize();
    }
    static void CleanRegistry() {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kUserKey);
        for (const char* key : {"EngComp", "BadComp", "BlockedComp", "StuckComp", "GoodComp", "Base", "Tools", "Evil",
                                "Forged", "Gone"})
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, ComponentKey(key).c_str());
    }

    std::unique_ptr<CPackageInfo> MakePackage(const std::string& key, CComponent* pComponent = nullptr) {
        auto pkg = std::make_unique<CPackageInfo>(m_run, key, pComponent ? pComponent : &m_component);
        pkg->m_nVersion = 0x0102;
        pkg->m_bNeedInfo = false;
        pkg->m_strTarget = m_strInstallDir;
        AddPackageFolder(*pkg, 1, "${Target}\\bin");
        return pkg;
    }
    std::string m_strRoot, m_strInstallDir, m_strBin, m_strGroup, m_strLog;
    CSetupRun m_run;
    CComponent m_component;
};

TEST_F(InstallEngineTest, ExpandFolderRefs) {
    char system[MAX_PATH], windows[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    m_run.m_mapFolders.SetAt("Stale", "x");
    m_run.ResolveFolders();
    m_run.m_mapFolders.SetAt("Loop", "${System}");
    CPackageInfo pkg(m_run, "EngComp", &m_component);
    const struct { const char* packageTarget; std::string text, expanded; } refs[] = {
        {"", "${System}\\drivers;${Windows}", system + std::string("\\drivers;") + windows},
        // The package's own folder first, else the install folder.
        {"D:\\Pkg", "${Target}\\bin", "D:\\Pkg\\bin"}, {"", "${Target}\\bin", m_strInstallDir + "\\bin"},
        // Unknown names, also of an earlier resolution, lose exactly the
        // reference; names compare case-sensitively.
        {"", "a\\${Nope}\\b", "a\\\\b"}, {"", "x${target}", "x"}, {"", "${Stale}", ""},
        // Unterminated: the rest is the name, and the text ends there.
        {"", "C:\\${System", "C:\\" + std::string(system)}, {"", "C:\\${System\\x", "C:\\"},
        // "$" without "{" and "{" without "$" stay; no recursive expansion.
        {"", "$a{b}$", "$a{b}$"}, {"", "${Loop}!", "${System}!"},
    };
    for (const auto& ref : refs) {
        pkg.m_strTarget = ref.packageTarget;
        std::string text = ref.text;
        pkg.ExpandFolderRefs(text);
        EXPECT_EQ(ref.expanded, text) << ref.text << " in " << ref.packageTarget;
    }
}

TEST_F(InstallEngineTest, FolderAndShortcutThatCannotBeMade) {
    EXPECT_FALSE(m_run.CreateFolderPath("nosuchparent/child", true));  // no "\\" to climb by
    EXPECT_FALSE(FileExists("nosuchparent"));
    EXPECT_HRESULT_FAILED(m_run.CreateShortcut(m_strRoot + "\\missing\\no.lnk", "C:\\x.exe", "d", "C:\\"));

    // Paths past the platform's limit are never cut into other names.
    const std::string folder = m_strRoot + "\\long";
    ASSERT_TRUE(m_run.CreateFolderPath(folder, true));
    const std::string longName(MAX_PATH, 'n');
    struct Case {
        std::string link, target, workDir, message;
    } cases[] = {
        {folder + "\\" + longName + ".lnk", "C:\\x.exe", "C:\\", ""},
        {folder + "\\target.lnk", "C:\\" + longName + ".exe", "C:\\", "SetPath failed!"},
        {folder + "\\work.lnk", "C:\\x.exe", "C:\\" + longName, "SetWorkFolder failed!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::string shown;
        std::atomic<bool> returned{false};
        std::thread answerer([&] {
            HWND box = nullptr;
            robot::WaitUntil([&] { return returned || (box = robot::FindMessageBox(::GetCurrentProcessId())); }, 30000);
            if (!box) return;
            shown = robot::MessageBoxText(box);
            robot::AnswerMessageBox(box, IDOK);
        });
        const HRESULT hr = m_run.CreateShortcut(c.link, c.target, "d", c.workDir);
        returned = true;
        answerer.join();
        EXPECT_EQ(c.message, shown);
        EXPECT_EQ(c.message.empty(), FAILED(hr));
    }
    EXPECT_EQ((Lines{"target.lnk", "work.lnk"}), SortedFilesIn(folder));
}

TEST_F(InstallEngineTest, QueueAndCommitInstallsAPackage) {
    auto pkg = MakePackage("EngComp");
    AddPackageFolder(*pkg, 2, "${Target}\\data\\deep");
    AddPackageFolder(*pkg, 5, "${Target}\\ntonly", PKG_SKIP_ON_NT);
    AddPackageFolder(*pkg, 17, "${Target}\\more", PKG_KEEP_ON_REMOVE);
    AddDownloadedFile(*pkg, "a.exe", 1, MakeCompressedPackage("payload A", 1000, 1), true)->m_nSize = 9;
    AddDownloadedFile(*pkg, "b.txt", 2, "plain B", false, true, PKG_KEEP_ON_REMOVE);
    AddDownloadedFile(*pkg, "c.txt", 1, "current C", false, false);
    // The same package file installed a second time, into another folder.
    auto* twin = new CPackageFile(*pkg->m_listFiles.front());
    twin->m_pFolder = pkg->m_mapFolders.Lookup(2);
    pkg->m_listFiles.push_back(twin);
    // A root that is no predefined key, though a key handle of this process.
    HKEY live = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_CURRENT_USER, "Software\\ZEPTest\\Live", &live));
    pkg->m_listShortcuts = {new CPackageShortcut{"Run A", "${Target}\\bin\\a.exe", "${Target}\\bin"},
                            new CPackageShortcut{"Docs", "${Target}\\data\\deep\\b.txt", ""}};
    pkg->m_listRegEntries = {new CPackageRegEntry{kHkcu, kUserKey, "S", REG_SZ, "text", 0},
                             new CPackageRegEntry{kHkcu, kUserKey, "D", REG_DWORD, "1234", 0},
                             new CPackageRegEntry{int(reinterpret_cast<INT_PTR>(live)), "", "L", REG_SZ, "x", 0}};
    ASSERT_FALSE(FileExists(m_strInstallDir));  // the log's folder is made by the engine
    // The copy decoded while the download went on is the one installed; its twin is decoded as ever.
    ASSERT_TRUE(WriteFile(m_strRoot + "\\ahead.pkg", MakeCompressedPackage("ahead A", 1000, 1)));
    DecodeAhead(*pkg, 0, m_strRoot + "\\ahead.pkg");

    CInstallRecord shown;
    // Two progress messages, as Windows' default callback sends for the two
    // copies that the queue's notifications count as well: counted once.
    EXPECT_EQ("committed, 3 files done", InstallPackages({pkg.get()}, &shown, 3));
    EXPECT_EQ(2, shown.unpacked);
    EXPECT_EQ(3, shown.filesDone);
    EXPECT_EQ(m_strInstallDir + "\\data\\deep\\a.exe", shown.copying);

    EXPECT_EQ("ahead A", FileText(m_strBin + "\\a.exe"));
    EXPECT_EQ("plain B", FileText(m_strInstallDir + "\\data\\deep\\b.txt"));
    EXPECT_EQ("payload A", FileText(m_strInstallDir + "\\data\\deep\\a.exe"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ::RegQueryValueExA(live, "L", nullptr, nullptr, nullptr, nullptr));
    ::RegCloseKey(live);
    EXPECT_EQ((Lines{"a.exe"}), SortedFilesIn(m_strBin));
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\ntonly"));
    EXPECT_EQ(Lines{}, SortedFilesIn(m_run.m_strTempDir));  // the decoded copy went with its copy
    EXPECT_EQ((Lines{"a.exe.pkg", "b.txt.pkg", "c.txt.pkg"}), SortedFilesIn(m_run.m_strDownloadDir));
    EXPECT_EQ((Lines{"EngComp.DeIsLog"}), SortedFilesIn(m_strInstallDir));
    // Folders in walk order: bucket 0 newest first (5 skipped), then 17.
    EXPECT_EQ((Lines{"F 1 0 a.exe", "F 2 1 b.txt", "F 1 0 c.txt", "F 2 0 a.exe",
                     "D 2 0 " + m_strInstallDir + "\\data\\deep", "D 1 0 " + m_strBin,
                     "D 17 1 " + m_strInstallDir + "\\more", "L 0 0 " + m_strGroup + "Run A.lnk",
                     "L 0 0 " + m_strGroup + "Docs.lnk"}),
              ReadInstallLog(m_strInstallDir + "\\EngComp.DeIsLog"));
    EXPECT_EQ((Lines{m_strBin + "\\a.exe", m_strBin, "test"}), ReadShortcut(m_strGroup + "Run A.lnk"));
    EXPECT_EQ((Lines{m_strInstallDir + "\\data\\deep\\b.txt", "", "test"}), ReadShortcut(m_strGroup + "Docs.lnk"));
    EXPECT_EQ("1 text", UserValue("S"));
    EXPECT_EQ("4 1234", UserValue("D"));
    EXPECT_EQ("258 " + m_strInstallDir + "\\EngComp.DeIsLog " + m_strInstallDir, Record("EngComp"));
}

TEST_F(InstallEngineTest, FailingPackagesFailAloneAndKeepTheirRecords) {
    // Earlier installations of the failing components.
    ASSERT_TRUE(m_run.CreateFolderPath(m_strInstallDir, true));
    const std::string oldLog = m_strInstallDir + "\\BadComp.DeIsLog";
    ASSERT_TRUE(WriteFile(oldLog, "previous"));
    for (const char* key : {"BadComp", "BlockedComp", "StuckComp"}) {
        WriteRegDword(ComponentKey(key).c_str(), "Version", 0x0100);
        WriteRegString(ComponentKey(key).c_str(), "DeIsLog", oldLog.c_str());
    }
    // A package whose compressed file cannot be decoded, after one that can.
    auto bad = MakePackage("BadComp");
    AddDownloadedFile(*bad, "first.exe", 1, MakeCompressedPackage("first", 1000, 1), true)->m_nSize = 5;
    std::string text;
    for (int i = 0; i < 4000; ++i) text += char('a' + (i * 7919) % 26);
    std::string corrupt = MakeCompressedPackage(text, 1000, 1);
    corrupt[corrupt.size() / 2] ^= 0x55;
    AddDownloadedFile(*bad, "second.exe", 1, corrupt, true)->m_nSize = 4000;
    // A package whose compressed file decodes to more than its size.
    auto longer = MakePackage("LongComp");
    AddDownloadedFile(*longer, "long.exe", 1, MakeCompressedPackage("longer", 1000, 1), true)->m_nSize = 5;
    AddDownloadedFile(*bad, "third.txt", 1, "third", false);
    bad->m_listShortcuts.push_back(new CPackageShortcut{"Bad", "${Target}\\bin\\first.exe", ""});
    bad->m_listRegEntries.push_back(new CPackageRegEntry{kHkcu, kUserKey, "V", REG_SZ, "x", 0});
    // A folder where the new log should be: the log cannot be written.
    auto blocked = MakePackage("BlockedComp");
    ASSERT_TRUE(::CreateDirectoryA((m_strInstallDir + "\\BlockedComp.DeIsLog.new~").c_str(), nullptr));
    AddDownloadedFile(*blocked, "blocked.txt", 1, "blocked", false);
    // A package file swapped after its hash was checked.
    auto swapped = MakePackage("SwappedComp");
    AddDownloadedFile(*swapped, "swapped.txt", 1, "swapped", false)->m_strSha256 = std::string(64, '0');
    // A folder where the old log is: the new one cannot take its place.
    // What its copies did is taken back: a new file, a file in use that was
    // to be replaced at the restart, and a new shortcut.
    auto stuck = MakePackage("StuckComp");
    ASSERT_TRUE(::CreateDirectoryA((m_strInstallDir + "\\StuckComp.DeIsLog").c_str(), nullptr));
    ASSERT_TRUE(WriteFile(m_strInstallDir + "\\StuckComp.DeIsLog\\x", "x"));
    AddDownloadedFile(*stuck, "stuck.txt", 1, "stuck", false);
    AddDownloadedFile(*stuck, "busy.dll", 1, MakeCompressedPackage("busy 2", 1000, 1), true)->m_nSize = 6;
    stuck->m_listShortcuts.push_back(new CPackageShortcut{"Stuck", "${Target}\\bin\\stuck.txt", ""});
    ASSERT_TRUE(m_run.CreateFolderPath(m_strBin, true) && WriteFile(m_strBin + "\\busy.dll", "busy 1"));
    const HANDLE busy = ::CreateFileA((m_strBin + "\\busy.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    // Without a recorded folder the log goes to the install folder.
    auto good = MakePackage("GoodComp");
    good->m_strTarget.clear();
    AddDownloadedFile(*good, "good.txt", 1, "good", false)->m_strSha256 = testsupport::Sha256Text("good");
    good->m_listShortcuts.push_back(new CPackageShortcut{"Good", "${Target}\\bin\\good.txt", ""});
    // Failing while the download went on, they fail as they do when installed.
    DecodeAhead(*bad, 1);
    DecodeAhead(*longer, 0);

    EXPECT_EQ("committed, 3 files done, reboot required, failed BadComp, failed LongComp, failed BlockedComp, "
              "failed SwappedComp, not finished StuckComp",
              InstallPackages({bad.get(), longer.get(), blocked.get(), swapped.get(), stuck.get(), good.get()}));
    ::CloseHandle(busy);
    // Nothing of a failing package is installed, not even what it decoded first.
    EXPECT_EQ((Lines{"busy.dll", "good.txt"}), SortedFilesIn(m_strBin));
    EXPECT_EQ("busy 1", FileText(m_strBin + "\\busy.dll"));
    EXPECT_EQ(std::string::npos, PendingRenames().find("busy.dll")) << PendingRenames();
    EXPECT_EQ(Lines{}, SortedFilesIn(m_run.m_strTempDir));
    EXPECT_EQ("previous", FileText(oldLog));
    EXPECT_EQ((Lines{"Good.lnk"}), SortedFilesIn(m_strGroup));
    EXPECT_EQ("none", UserValue("V"));
    for (const char* key : {"BadComp", "BlockedComp", "StuckComp"}) EXPECT_EQ("256 " + oldLog + " -", Record(key));
    EXPECT_EQ((Lines{"BadComp.DeIsLog", "GoodComp.DeIsLog"}), SortedFilesIn(m_strInstallDir));
    EXPECT_EQ(Lines{"x"}, SortedFilesIn(m_strInstallDir + "\\StuckComp.DeIsLog"));
    EXPECT_EQ((Lines{"F 1 0 good.txt", "D 1 0 " + m_strBin, "L 0 0 " + m_strGroup + "Good.lnk"}),
              ReadInstallLog(m_strInstallDir + "\\GoodComp.DeIsLog"));
    EXPECT_EQ("258 " + m_strInstallDir + "\\GoodComp.DeIsLog " + m_strInstallDir, Record("GoodComp"));
}

// Cancel: what nobody took is deleted; a file that no longer holds the publisher's bytes is not decoded.
TEST_F(InstallEngineTest, FilesDecodedAheadAreTakenOrDeleted) {
    const std::string source = m_strRoot + "\\ahead.pkg";
    ASSERT_TRUE(WriteFile(source, MakeCompressedPackage("ahead", 1000, 1)));
    const auto wait = [](HANDLE hEvent) { ::WaitForSingleObject(hEvent, INFINITE); };
    CPinnedFiles held;
    {
        CUnpackAhead ahead;
        for (const char* name : {"taken", "left", "swapped"})
            ahead.Add(source, name == std::string("swapped") ? std::string(64, '0') : "", m_strRoot + "\\" + name, 5);
        EXPECT_TRUE(ahead.Take(m_strRoot + "\\taken", wait, held));
        EXPECT_FALSE(ahead.Take(m_strRoot + "\\swapped", wait, held));
        EXPECT_FALSE(ahead.Take(m_strRoot + "\\never", wait, held));
    }
    // Held as it was decoded, until the taker lets go.
    EXPECT_EQ("", testsupport::Intrusions(m_strRoot + "\\taken"));
    held.Release();
    EXPECT_EQ((Lines{"ahead.pkg", "taken"}), SortedFilesIn(m_strRoot));
    EXPECT_EQ("ahead", FileText(m_strRoot + "\\taken"));
}

// Where another program would swap them, between the queueing and the
// commit, the decoded copy and the package file it was decoded from refuse
// a writer and a replacement: the bytes installed are the bytes decoded.
TEST_F(InstallEngineTest, DecodedCopiesAndPackageFilesAreHeldUntilTheCommit) {
    auto pkg = MakePackage("EngComp");
    const std::string packed = MakeCompressedPackage("payload A", 1000, 1);
    CPackageFile* pFile = AddDownloadedFile(*pkg, "a.exe", 1, packed, true);
    pFile->m_nSize = 9;
    pFile->m_strSha256 = testsupport::Sha256Text(packed);
    struct Swapper : CInstallSteps {
        std::vector<std::string> paths;
        std::string swapped;
        void OnCommitting() override {
            for (const std::string& path : paths) swapped += testsupport::Intrusions(path);
        }
    } swapper;
    swapper.paths = {pkg->GetUnpackedPath(0, *pFile),
                     m_run.m_strDownloadDir + pFile->m_strSource};
    CInstallQueueCallback callback(nullptr, nullptr, 0, swapper, m_run.m_log);
    EXPECT_TRUE(InstallReadyPackages(m_run, {pkg.get()}, callback, swapper).m_failed.empty());
    EXPECT_EQ("", swapper.swapped);
    EXPECT_EQ("payload A", FileText(m_strBin + "\\a.exe"));
    EXPECT_FALSE(FileExists(swapper.paths[0])) << "the decoded copy goes once the package is finished";
}

// The component last in the catalogue goes first, and the program group
// stays until its last shortcut has gone; a file in use goes at the restart.
// A log that leads elsewhere (Evil's, an earlier version's without a hash)
// deletes nothing there; one changed after the install (Forged's) or missing
// (Gone's) is refused and keeps its record. All are named.
TEST_F(InstallEngineTest, RemovalFollowsOnlyTheProductsOwnLogsNewestComponentFirst) {
    std::deque<CComponent> catalogue;
    std::vector<std::unique_ptr<CPackageInfo>> packages;
    for (const std::string key : {"Base", "Tools", "Evil", "Forged", "Gone"}) {
        m_run.m_mapComponents.SetAt(key, &catalogue.emplace_back())->m_nAction = ACTION_REMOVE;
        if (catalogue.size() > 2) continue;
        packages.push_back(MakePackage(key, &catalogue.back()));
        AddDownloadedFile(*packages.back(), key + ".dll", 1, key, false);
        packages.back()->m_listShortcuts.push_back(new CPackageShortcut{key, "${Target}\\bin\\" + key + ".dll", ""});
    }
    ASSERT_EQ("committed, 2 files done", InstallPackages({packages[0].get(), packages[1].get()}));
    const std::string victims = m_strRoot + "\\victims", evilLog = m_strRoot + "\\Evil.DeIsLog";
    const std::string forgedLog = m_strRoot + "\\Forged.DeIsLog";
    ASSERT_TRUE(m_run.CreateFolderPath(victims, true) && WriteFile(victims + "\\system.dll", "kept"));
    CInstallLog evil;
    ASSERT_TRUE(evil.Open(evilLog, CInstallLog::MODE_WRITE) && evil.AddFolder(1, victims + "\\..\\victims", 0) &&
                evil.AddFile(1, "system.dll", 0) && evil.AddLink(victims + "\\system.dll", 0) && evil.Commit());
    ASSERT_TRUE(WriteFile(forgedLog, "not the bytes hashed"));
    WriteRegString(ComponentKey("Evil").c_str(), "DeIsLog", evilLog.c_str());
    WriteRegString(ComponentKey("Forged").c_str(), "DeIsLog", forgedLog.c_str());
    WriteRegString(ComponentKey("Forged").c_str(), kLogHashValue, std::string(64, '0').c_str());
    WriteRegString(ComponentKey("Gone").c_str(), "DeIsLog", (m_strRoot + "\\Gone.DeIsLog").c_str());
    const HANDLE busy = ::CreateFileA((m_strBin + "\\Tools.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    struct Seen : CRemovalSteps {
        std::string group;
        Lines deleted;
        void OnDeletingFile(const std::string& path) override {
            deleted.push_back(path.substr(path.rfind('\\') + 1) + (FileExists(group) ? "" : " without the group"));
        }
    } seen;
    seen.group = m_run.ProgramGroupPath();
    EXPECT_EQ((Lines{m_strRoot + "\\Gone.DeIsLog (refused: it is missing)",
                     forgedLog + " (refused: it changed after the install)", victims + "\\..\\victims",
                     victims + "\\system.dll"}),
              RemoveMarkedComponents(m_run, seen));
    ::CloseHandle(busy);
    EXPECT_EQ((Lines{"Tools.dll", "Tools.lnk", "Base.dll", "Base.lnk"}), seen.deleted);
    EXPECT_EQ(Lines{"Tools.dll"}, SortedFilesIn(m_strBin));
    EXPECT_TRUE(m_run.m_bRebootRequired && PendingRenames().find("\\Tools.dll|") != std::string::npos);
    std::string logs;
    for (const char* key : {"Base", "Tools", "Evil", "Forged", "Gone"})
        logs += StoredText(ComponentKey(key), "DeIsLog") + " ";
    EXPECT_EQ("- - - " + forgedLog + " " + m_strRoot + "\\Gone.DeIsLog ", logs);
    EXPECT_EQ(2, m_run.m_nRemovalsRefused);
    EXPECT_EQ("kept", FileText(victims + "\\system.dll"));
    EXPECT_TRUE(FileExists(evilLog)) << "a log outside the product's folders was deleted";
    EXPECT_FALSE(FileExists(seen.group)) << "the group stayed";
}

TEST_F(InstallEngineTest, LogRecordsAreByteExactAndReadBackByKind) {
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_strLog, CInstallLog::MODE_WRITE));
        EXPECT_TRUE(log.AddFile(3, "a.dll", 1));
        EXPECT_TRUE(log.AddFolder(70000, "C:\\x", 0x10005));
        EXPECT_TRUE(log.AddLink("abcde", 0));
        EXPECT_TRUE(log.AddFile(1, "a.dll", 0));
        ASSERT_TRUE(log.Commit());
    }
    // 70000 keeps its low 16 bits, 4464 = 0x1170; so do the flags.
    EXPECT_EQ(std::string("F\x03\x00\x01\x00\x06\x00" "a.dll\0" "D\x70\x11\x05\x00\x05\x00" "C:\\x\0"
                          "L\x00\x00\x06\x00" "abcde\0", 36) + kFileA,
              FileText(m_strLog));
    EXPECT_EQ((Lines{"F 3 1 a.dll", "F 1 0 a.dll", "D 4464 5 C:\\x", "L 0 0 abcde"}), ReadInstallLog(m_strLog));
}

// A full disk part way through the log fails its commit; the previous log stays.
TEST_F(InstallEngineTest, LogThatCannotBeWrittenWholeKeepsThePreviousOne) {
    const std::string path = SmallVolume() + "\\full.DeIsLog";
    ASSERT_TRUE(WriteFile(path, "previous"));
    CInstallLog log;
    ASSERT_TRUE(log.Open(path, CInstallLog::MODE_WRITE));
    bool written = true;
    for (int i = 0; i < 8; ++i) written = log.AddFile(1, std::string(60000, 'n'), 0) && written;
    EXPECT_FALSE(written);
    EXPECT_FALSE(log.Commit());
    EXPECT_EQ("previous", FileText(path));
    EXPECT_FALSE(FileExists(path + ".new~"));
    ::DeleteFileA(path.c_str());
}

TEST_F(InstallEngineTest, UnknownKindOrCutRecordEndsTheLogsReading) {
    const std::string folder("D\x01\x00\x00\x00\x05\x00" "C:\\x\0", 12);
    const struct { const char* label; std::string bytes; Lines records; } logs[] = {
        {"empty", "", {}},
        {"unknown kind", kFileA + "X" + folder + kFileA, {"F 1 0 a.dll"}},
        {"cut inside a text", kFileA + kFileA.substr(0, 9), {"F 1 0 a.dll"}},
        {"cut inside a head", kFileA + kFileA.substr(0, 3), {"F 1 0 a.dll"}},
    };
    for (const auto& log : logs) {
        ASSERT_TRUE(WriteFile(m_strLog, log.bytes));
        EXPECT_EQ(log.records, ReadInstallLog(m_strLog)) << log.label;
    }
}

// The hash bound to a record is of the bytes written; a log read for removal
// is hashed and read through one handle, and nobody writes, replaces or
// deletes it in between.
TEST_F(InstallEngineTest, ALogIsHashedAsWrittenAndReadAsHashed) {
    CInstallLog log;
    std::string onDisk, opened;
    ASSERT_TRUE(log.Open(m_strLog, CInstallLog::MODE_WRITE) && log.AddFile(1, "a.dll", 0) && log.Commit() &&
                Sha256OfFile(m_strLog, onDisk));
    EXPECT_EQ(onDisk, log.m_strHash);
    ASSERT_TRUE(log.Open(m_strLog, CInstallLog::MODE_READ));
    EXPECT_TRUE(log.HashOpened(opened) && opened == onDisk);
    EXPECT_EQ("", testsupport::Intrusions(m_strLog));
    CInstallLogRecord record;
    EXPECT_TRUE(log.ReadFirstFile(record) && record.m_strText == "a.dll");
    log.Close(true);
    // A log whose hash the platform cannot take is not committed as if hashed.
    const testsupport::HashFault fault;
    ASSERT_TRUE(fault.Applied());
    ASSERT_TRUE(log.Open(m_strLog, CInstallLog::MODE_WRITE) && log.AddFile(1, "b.dll", 0));
    EXPECT_FALSE(log.Commit());
    EXPECT_EQ("", log.m_strHash);
    EXPECT_EQ((Lines{"F 1 0 a.dll"}), ReadInstallLog(m_strLog));
}

// The folders of the wizard's own get the rights of Program Files, as the
// program builds them; Wine keeps of them only that everyone may not write
// (nor, here, read), where a plain folder lets everyone read.
TEST_F(InstallEngineTest, ProtectedFoldersAreWritableByAdministratorsAlone) {
    char* built = nullptr;
    ASSERT_TRUE(ProtectedFolderAttributes() &&
                ::ConvertSecurityDescriptorToStringSecurityDescriptorA(
                    ProtectedFolderAttributes()->lpSecurityDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                    &built, nullptr));
    EXPECT_STREQ("D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", built);
    ::LocalFree(built);
    const std::string plain = m_strRoot + "\\plain", made = m_strRoot + "\\made\\in\\one", open = m_strRoot + "\\open";
    ASSERT_TRUE(m_run.CreateFolderPath(plain, true) && m_run.CreateFolderPath(made, true, true) &&
                m_run.CreateFolderPath(open, true) && testsupport::SetDescriptor(open, "D:(A;OICI;FA;;;WD)"));
    EXPECT_FALSE(OnlyAdministratorsWrite(open));
    EXPECT_TRUE(ProtectFolder(open));
    // Everyone may read a plain folder, not a protected one, and no longer write the one taken back.
    for (const auto& [folder, everyoneReads] :
         {std::pair{plain, true}, {m_strRoot + "\\made", false}, {made, false}, {open, true}}) {
        const std::string descriptor = testsupport::Descriptor(folder);
        EXPECT_EQ(everyoneReads, descriptor.find(";0x1200a9;;;WD)") != std::string::npos) << folder << descriptor;
        EXPECT_EQ(std::string::npos, descriptor.find(";0x1301ff;;;WD)")) << folder;
    }
}

// A new log goes only on Commit (QueueAndCommitInstallsAPackage) or Close
// (FailingPackagesFailAloneAndKeepTheirRecords); one destroyed before either
// leaves the old log as it was and nothing beside it.
TEST_F(InstallEngineTest, ALogIsReplacedOnlyOnCommitAndDeletedOnceWhenRead) {
    ASSERT_TRUE(WriteFile(m_strLog, ""));
    {
        CInstallLog unfinished;
        ASSERT_TRUE(unfinished.Open(m_strLog, CInstallLog::MODE_WRITE) && unfinished.AddFile(1, "a.dll", 0));
        EXPECT_TRUE(FileExists(m_strLog + ".new~"));
    }
    EXPECT_FALSE(FileExists(m_strLog + ".new~"));
    EXPECT_EQ("", FileText(m_strLog));
    CInstallLog log;
    ASSERT_TRUE(log.Open(m_strLog, CInstallLog::MODE_READ));
    log.Close();
    EXPECT_FALSE(log.Open(m_strLog, CInstallLog::MODE_READ));
    // A new file under the same name is not the closed log's business.
    ASSERT_TRUE(WriteFile(m_strLog, "previous"));
    log.Close();
    // A folder in the way of the new log makes its creation fail.
    ASSERT_TRUE(::CreateDirectoryA((m_strLog + ".new~").c_str(), nullptr));
    EXPECT_FALSE(log.Open(m_strLog, CInstallLog::MODE_WRITE));
    EXPECT_FALSE(log.AddFile(1, "a.dll", 0));
    EXPECT_FALSE(log.Commit());
    EXPECT_EQ("previous", FileText(m_strLog));
}

}  // namespace
