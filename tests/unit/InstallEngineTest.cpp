// The install engine against the platform's real file queue, registry,
// shell links and files of the test prefix.
#include "app/Component.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "app/WizardPage.h"
#include "install/InstallEngine.h"
#include "install/QueueCallback.h"
#include "support/ChildProcess.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

using namespace testsupport;

namespace {

// Started as a child with ZEP_HOLD_FILE set, this program only holds that
// file open without sharing until told to let go, then ends.
const bool g_bHolder = [] {
    const char* path = std::getenv("ZEP_HOLD_FILE");
    if (!path) return false;
    HANDLE file = ::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, "ZepEngineTestHeld");
    HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, "ZepEngineTestRelease");
    if (file == INVALID_HANDLE_VALUE || !ready || !release) ::ExitProcess(2);
    ::SetEvent(ready);
    ::WaitForSingleObject(release, 60000);
    ::CloseHandle(file);
    ::ExitProcess(0);
    return true;
}();

const char kRegTestKey[] = "Software\\ZEPTest";
const int kHkcu = int(0x80000001u);

std::string ComponentKey(const std::string& key) { return std::string(ZEP_CLIENT_KEY "\\") + key; }

std::string ReadText(const std::string& path) {
    std::string content;
    return ReadFile(path, content) ? content : std::string("<missing>");
}

class InstallEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitialize(nullptr);
        InitCommonControls();
        m_strRoot = MakeScratchDir("engine");
        m_strInstallDir = m_strRoot + "\\Program\\ZEP";
        m_strDownloadDir = m_strRoot + "\\download\\";
        ::CreateDirectoryA(m_strDownloadDir.c_str(), nullptr);
        ::CreateDirectoryA((m_strRoot + "\\temp").c_str(), nullptr);
        theApp.m_strInstallDir = m_strInstallDir;
        theApp.m_strDownloadDir = m_strDownloadDir;
        theApp.m_strTempDir = m_strRoot + "\\temp";
        theApp.m_strProgramsDir = m_strRoot + "\\Programs";
        theApp.m_strGroup = "ZEP Test";
        theApp.m_bWin9x = false;
        theApp.m_bWinNT = true;
        theApp.m_nDownloadOnly = 0;
        theApp.ResolveFolders();
        CleanRegistry();
    }
    void TearDown() override {
        CleanRegistry();
        ::CoUninitialize();
    }
    static void CleanRegistry() {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kRegTestKey);
        for (const char* key : {"EngComp", "BadComp", "GoodComp", "HeldComp", "NameComp"})
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, ComponentKey(key).c_str());
    }

    std::unique_ptr<CPackageInfo> MakePackage(const std::string& key) {
        auto pkg = std::make_unique<CPackageInfo>(key, &m_component);
        pkg->m_nVersion = 0x0102;
        pkg->m_bNeedInfo = false;
        pkg->m_strTarget = m_strInstallDir;
        pkg->m_mapSources.SetAt(0, new std::string("files"));
        AddFolder(*pkg, 1, "${Target}\\bin");
        return pkg;
    }
    static void AddFolder(CPackageInfo& pkg, int id, const std::string& path, int flags = 0) {
        auto* pFolder = new CPackageFolder;
        pFolder->m_nId = id;
        pFolder->m_strPath = path;
        pFolder->m_nFlags = flags;
        pkg.m_mapFolders.SetAt(id, pFolder);
    }
    // A file of the package whose package file lies in the download folder.
    CPackageFile* AddFile(CPackageInfo& pkg, const std::string& name, int folderId, const std::string& packageBytes,
                          bool compressed, bool install = true, int flags = 0) {
        auto* pFile = new CPackageFile;
        pFile->m_strName = name;
        pFile->m_strSource = name + ".pkg";
        pFile->m_nFlags = flags;
        pFile->m_pSource = pkg.m_mapSources.Lookup(0);
        pFile->m_pFolder = pkg.m_mapFolders.Lookup(folderId);
        pFile->m_bInstall = install;
        pFile->m_bDownload = false;
        pFile->m_bCompressed = compressed;
        pFile->m_strPackageDir = m_strDownloadDir;
        WriteFile(m_strDownloadDir + pFile->m_strSource, packageBytes);
        pkg.m_listFiles.push_back(pFile);
        return pFile;
    }
    static void AddShortcut(CPackageInfo& pkg, const std::string& name, const std::string& target,
                            const std::string& workDir) {
        pkg.m_listShortcuts.push_back(new CPackageShortcut{name, target, workDir});
    }
    static void AddRegEntry(CPackageInfo& pkg, const std::string& key, const std::string& name, int type,
                            const std::string& data) {
        pkg.m_listRegEntries.push_back(new CPackageRegEntry{kHkcu, key, name, type, data, 0});
    }

    // The records of a log, read from a copy (reading a log deletes it).
    struct CLogRecords {
        std::vector<CInstallLogRecord> files, folders, links;
    };
    CLogRecords ReadLog(const std::string& path) {
        CLogRecords records;
        const std::string copy = m_strRoot + "\\copy.DeIsLog";
        if (!::CopyFileA(path.c_str(), copy.c_str(), FALSE)) return records;
        CInstallLog log;
        if (!log.Open(copy, CInstallLog::MODE_READ)) return records;
        CInstallLogRecord record;
        for (bool more = log.ReadFirstFile(record); more; more = log.ReadNextFile(record)) records.files.push_back(record);
        for (bool more = log.ReadFirstFolder(record); more; more = log.ReadNextFolder(record))
            records.folders.push_back(record);
        for (bool more = log.ReadFirstLink(record); more; more = log.ReadNextLink(record)) records.links.push_back(record);
        return records;
    }

    std::string m_strRoot;
    std::string m_strInstallDir;
    std::string m_strDownloadDir;
    CComponent m_component;
};

TEST_F(InstallEngineTest, ResolveFoldersRecordsTheNamedFolders) {
    char system[MAX_PATH], windows[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    theApp.m_mapFolders.SetAt("Stale", "x");
    theApp.ResolveFolders();
    std::vector<std::pair<std::string, std::string>> entries(theApp.m_mapFolders.begin(), theApp.m_mapFolders.end());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Windows", windows}, {"System", system}, {"Target", m_strInstallDir}};
    EXPECT_EQ(expected, entries);
}

TEST_F(InstallEngineTest, ExpandFolderRefs) {
    auto pkg = MakePackage("EngComp");
    const std::string system = *theApp.m_mapFolders.Lookup("System");
    const std::string windows = *theApp.m_mapFolders.Lookup("Windows");
    auto expand = [&](std::string text) {
        pkg->ExpandFolderRefs(text);
        return text;
    };
    EXPECT_EQ(system + "\\drivers;" + windows, expand("${System}\\drivers;${Windows}"));
    EXPECT_EQ(m_strInstallDir + "\\bin", expand("${Target}\\bin"));
    pkg->m_strTarget.clear();
    theApp.m_strInstallDir = "D:\\Changed";  // not seen until ResolveFolders runs again
    EXPECT_EQ(m_strInstallDir + "\\bin", expand("${Target}\\bin"));
    // Unknown names lose exactly the reference; names compare case-sensitively.
    EXPECT_EQ("a\\\\b", expand("a\\${Nope}\\b"));
    EXPECT_EQ("x", expand("x${target}"));
    // Unterminated: the rest is the name, and the text ends there.
    EXPECT_EQ("C:\\" + system, expand("C:\\${System"));
    EXPECT_EQ("C:\\", expand("C:\\${System\\x"));
    // "$" without "{" and "{" without "$" stay; no recursive expansion.
    EXPECT_EQ("$a{b}$", expand("$a{b}$"));
    theApp.m_mapFolders.SetAt("Loop", "${System}");
    EXPECT_EQ("${System}!", expand("${Loop}!"));
}

TEST_F(InstallEngineTest, CreateFolderPath) {
    const std::string deep = m_strRoot + "\\one\\two\\three";
    EXPECT_TRUE(theApp.CreateFolderPath(deep, true));
    EXPECT_TRUE(FileExists(deep));
    EXPECT_FALSE(theApp.CreateFolderPath(deep, true));  // exists already
    EXPECT_FALSE(theApp.CreateFolderPath(m_strRoot + "\\four\\five", false));
    EXPECT_FALSE(FileExists(m_strRoot + "\\four"));
    // A missing parent with no "\" to climb by.
    EXPECT_FALSE(theApp.CreateFolderPath("nosuchparent/child", true));
    EXPECT_FALSE(FileExists("nosuchparent"));
}

TEST_F(InstallEngineTest, CreateShortcutAnswersWithTheSaveResult) {
    EXPECT_HRESULT_SUCCEEDED(theApp.CreateShortcut(m_strRoot + "\\ok.lnk", "C:\\x.exe", "d", "C:\\"));
    EXPECT_TRUE(FileExists(m_strRoot + "\\ok.lnk"));
    EXPECT_HRESULT_FAILED(theApp.CreateShortcut(m_strRoot + "\\missing\\no.lnk", "C:\\x.exe", "d", "C:\\"));
}

TEST_F(InstallEngineTest, QueueAndCommitInstallsAPackage) {
    auto pkg = MakePackage("EngComp");
    AddFolder(*pkg, 2, "${Target}\\data\\deep");
    AddFolder(*pkg, 5, "${Target}\\ntonly", PKG_SKIP_ON_NT);
    AddFolder(*pkg, 17, "${Target}\\more", PKG_KEEP_ON_REMOVE);
    AddFile(*pkg, "a.exe", 1, MakeCompressedPackage("payload A", 1000, 1), true);
    AddFile(*pkg, "b.txt", 2, "plain B", false, true, PKG_KEEP_ON_REMOVE);
    AddFile(*pkg, "c.txt", 1, "current C", false, false);
    AddShortcut(*pkg, "Run A", "${Target}\\bin\\a.exe", "${Target}\\bin");
    AddShortcut(*pkg, "Docs", "${Target}\\data\\deep\\b.txt", "");
    AddRegEntry(*pkg, "Software\\ZEPTest\\Engine", "S", REG_SZ, "text");
    AddRegEntry(*pkg, "Software\\ZEPTest\\Engine", "E", REG_EXPAND_SZ, "%TEMP%\\x");
    AddRegEntry(*pkg, "Software\\ZEPTest\\Engine", "B", REG_BINARY, "01");
    AddRegEntry(*pkg, "Software\\ZEPTest\\Engine", "D", REG_DWORD, "1234");
    AddRegEntry(*pkg, "Software\\ZEPTest\\Engine", "M", REG_MULTI_SZ, "multi");
    ASSERT_FALSE(FileExists(m_strInstallDir));  // the log's folder is made by the engine

    HWND hUnpackBar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
    HWND hCopyBar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
    HWND hStatus = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
    ::SendMessageA(hUnpackBar, PBM_SETRANGE, 0, MAKELPARAM(0, 1));
    ::SendMessageA(hUnpackBar, PBM_SETSTEP, 1, 0);
    ::SendMessageA(hCopyBar, PBM_SETRANGE, 0, MAKELPARAM(0, 2));

    HSPFILEQ hQueue = ::SetupOpenFileQueue();
    ASSERT_NE(INVALID_HANDLE_VALUE, hQueue);
    ASSERT_TRUE(pkg->QueueFiles(hQueue, hUnpackBar, hStatus));
    EXPECT_EQ(1, ::SendMessageA(hUnpackBar, PBM_GETPOS, 0, 0));
    EXPECT_TRUE(FileExists(theApp.m_strTempDir + "\\a.exe.pkg"));  // decoded, waiting for the copy
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\ntonly"));
    EXPECT_TRUE(FileExists(m_strInstallDir + "\\data\\deep"));
    {
        CInstallQueueCallback callback(nullptr, nullptr, WM_QUEUE_PROGRESS, hCopyBar, hStatus);
        EXPECT_TRUE(callback.Commit(hQueue));
        EXPECT_EQ(2, callback.GetFilesDone());
        EXPECT_EQ(2, ::SendMessageA(hCopyBar, PBM_GETPOS, 0, 0));
        // A progress message for a file already counted does not count it again.
        callback.OnProgressMessage(1);
        EXPECT_EQ(2, callback.GetFilesDone());
        char status[MAX_PATH] = "";
        ::GetWindowTextA(hStatus, status, MAX_PATH);
        EXPECT_EQ(m_strInstallDir + "\\data\\deep\\b.txt", status);
        EXPECT_FALSE(callback.IsRebootRequired(hQueue));
    }
    ::SetupCloseFileQueue(hQueue);
    ::DestroyWindow(hUnpackBar);
    ::DestroyWindow(hCopyBar);
    ::DestroyWindow(hStatus);

    EXPECT_EQ("payload A", ReadText(m_strInstallDir + "\\bin\\a.exe"));
    EXPECT_EQ("plain B", ReadText(m_strInstallDir + "\\data\\deep\\b.txt"));
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\bin\\c.txt"));
    EXPECT_FALSE(FileExists(theApp.m_strTempDir + "\\a.exe.pkg"));  // 0x81 deleted the decoded copy
    EXPECT_TRUE(FileExists(m_strDownloadDir + "b.txt.pkg"));        // 0x80 leaves the package file

    EXPECT_TRUE(pkg->FinishInstall());
    const std::string logPath = m_strInstallDir + "\\EngComp.DeIsLog";
    EXPECT_FALSE(FileExists(logPath + ".new~"));
    CLogRecords log = ReadLog(logPath);
    ASSERT_EQ(3u, log.files.size());
    EXPECT_EQ("a.exe", log.files[0].m_strText);
    EXPECT_EQ(1, log.files[0].m_nFolderId);
    EXPECT_EQ("b.txt", log.files[1].m_strText);
    EXPECT_EQ(2, log.files[1].m_nFolderId);
    EXPECT_EQ(PKG_KEEP_ON_REMOVE, log.files[1].m_nFlags);
    EXPECT_EQ("c.txt", log.files[2].m_strText);
    // The folders' walk order: bucket 0 newest first (5 skipped), then 17.
    ASSERT_EQ(3u, log.folders.size());
    EXPECT_EQ(2, log.folders[0].m_nFolderId);
    EXPECT_EQ(m_strInstallDir + "\\data\\deep", log.folders[0].m_strText);
    EXPECT_EQ(1, log.folders[1].m_nFolderId);
    EXPECT_EQ(17, log.folders[2].m_nFolderId);
    EXPECT_EQ(PKG_KEEP_ON_REMOVE, log.folders[2].m_nFlags);
    const std::string group = theApp.m_strProgramsDir + "\\ZEP Test\\";
    ASSERT_EQ(2u, log.links.size());
    EXPECT_EQ(group + "Run A.lnk", log.links[0].m_strText);
    EXPECT_EQ(group + "Docs.lnk", log.links[1].m_strText);

    IShellLinkA* pLink = nullptr;
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                                reinterpret_cast<void**>(&pLink)));
    IPersistFile* pFile = nullptr;
    ASSERT_HRESULT_SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)));
    WCHAR widePath[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, (group + "Run A.lnk").c_str(), -1, widePath, MAX_PATH);
    EXPECT_HRESULT_SUCCEEDED(pFile->Load(widePath, STGM_READ));
    char text[MAX_PATH] = "";
    pLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    EXPECT_EQ(m_strInstallDir + "\\bin\\a.exe", text);
    pLink->GetWorkingDirectory(text, MAX_PATH);
    EXPECT_EQ(m_strInstallDir + "\\bin", text);
    pLink->GetDescription(text, MAX_PATH);
    EXPECT_STREQ("test", text);
    pFile->Release();
    pLink->Release();
    EXPECT_TRUE(FileExists(group + "Docs.lnk"));

    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ZEPTest\\Engine", 0, KEY_READ, &hKey));
    DWORD type = 0;
    for (const char* name : {"S", "E", "D", "M"}) {
        EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(hKey, name, nullptr, &type, nullptr, nullptr)) << name;
    }
    ::RegQueryValueExA(hKey, "E", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), type);
    EXPECT_NE(ERROR_SUCCESS, ::RegQueryValueExA(hKey, "B", nullptr, &type, nullptr, nullptr));
    ::RegCloseKey(hKey);

    // The component's record.
    EXPECT_EQ(0x0102u, ReadRegDword(ComponentKey("EngComp").c_str(), "Version", 0));
    char value[MAX_PATH] = "";
    ReadRegString(ComponentKey("EngComp").c_str(), "DeIsLog", "", value, MAX_PATH);
    EXPECT_EQ(logPath, value);
    ReadRegString(ComponentKey("EngComp").c_str(), "Path", "", value, MAX_PATH);
    EXPECT_EQ(m_strInstallDir, value);
}

TEST_F(InstallEngineTest, UndecodablePackageFailsAloneAndKeepsItsRecord) {
    // An earlier installation of the failing component.
    ::CreateDirectoryA((m_strRoot + "\\Program").c_str(), nullptr);
    ::CreateDirectoryA(m_strInstallDir.c_str(), nullptr);
    const std::string oldLog = m_strInstallDir + "\\BadComp.DeIsLog";
    ASSERT_TRUE(WriteFile(oldLog, "previous"));
    WriteRegDword(ComponentKey("BadComp").c_str(), "Version", 0x0100);
    WriteRegString(ComponentKey("BadComp").c_str(), "DeIsLog", oldLog.c_str());

    auto bad = MakePackage("BadComp");
    AddFile(*bad, "first.exe", 1, MakeCompressedPackage("first", 1000, 1), true);
    std::string text;
    for (int i = 0; i < 4000; ++i) text += char('a' + (i * 7919) % 26);
    std::string corrupt = MakeCompressedPackage(text, 1000, 1);
    corrupt[corrupt.size() / 2] ^= 0x55;
    AddFile(*bad, "second.exe", 1, corrupt, true);
    AddFile(*bad, "third.txt", 1, "third", false);
    AddShortcut(*bad, "Bad", "${Target}\\bin\\first.exe", "");
    AddRegEntry(*bad, "Software\\ZEPTest\\Bad", "V", REG_SZ, "x");

    auto good = MakePackage("GoodComp");
    AddFile(*good, "good.txt", 1, "good", false);
    AddShortcut(*good, "Good", "${Target}\\bin\\good.txt", "");

    HSPFILEQ hQueue = ::SetupOpenFileQueue();
    bad->m_bQueueFailed = !bad->QueueFiles(hQueue, nullptr, nullptr);
    good->m_bQueueFailed = !good->QueueFiles(hQueue, nullptr, nullptr);
    EXPECT_TRUE(bad->m_bQueueFailed);
    EXPECT_FALSE(good->m_bQueueFailed);
    {
        CInstallQueueCallback callback(nullptr, nullptr, WM_QUEUE_PROGRESS, nullptr, nullptr);
        ASSERT_TRUE(callback.Commit(hQueue));
        EXPECT_EQ(2, callback.GetFilesDone());
    }
    ::SetupCloseFileQueue(hQueue);
    for (auto* pkg : {bad.get(), good.get()})
        if (!pkg->m_bQueueFailed) pkg->FinishInstall();

    EXPECT_EQ("first", ReadText(m_strInstallDir + "\\bin\\first.exe"));  // queued before the failure
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\bin\\second.exe"));
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\bin\\third.txt"));
    EXPECT_FALSE(FileExists(theApp.m_strTempDir + "\\second.exe.pkg"));
    EXPECT_EQ("previous", ReadText(oldLog));
    EXPECT_FALSE(FileExists(oldLog + ".new~"));
    EXPECT_FALSE(FileExists(theApp.m_strProgramsDir + "\\ZEP Test\\Bad.lnk"));
    HKEY hKey = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ZEPTest\\Bad", 0, KEY_READ, &hKey));
    EXPECT_EQ(0x0100u, ReadRegDword(ComponentKey("BadComp").c_str(), "Version", 0));
    char value[MAX_PATH] = "";
    EXPECT_EQ(0, ReadRegString(ComponentKey("BadComp").c_str(), "Path", nullptr, value, MAX_PATH));

    EXPECT_EQ("good", ReadText(m_strInstallDir + "\\bin\\good.txt"));
    EXPECT_TRUE(FileExists(theApp.m_strProgramsDir + "\\ZEP Test\\Good.lnk"));
    EXPECT_EQ(1u, ReadLog(m_strInstallDir + "\\GoodComp.DeIsLog").files.size());
    EXPECT_EQ(0x0102u, ReadRegDword(ComponentKey("GoodComp").c_str(), "Version", 0));
}

TEST_F(InstallEngineTest, LogThatCannotBeOpenedFailsThePackage) {
    // A file where the install folder should be: neither folder nor log can be made.
    ::CreateDirectoryA((m_strRoot + "\\Program").c_str(), nullptr);
    ASSERT_TRUE(WriteFile(m_strInstallDir, "in the way"));
    auto pkg = MakePackage("EngComp");
    pkg->m_strTarget = m_strInstallDir;
    AddFile(*pkg, "a.txt", 1, "a", false);
    HSPFILEQ hQueue = ::SetupOpenFileQueue();
    EXPECT_FALSE(pkg->QueueFiles(hQueue, nullptr, nullptr));
    {
        CInstallQueueCallback callback(nullptr, nullptr, WM_QUEUE_PROGRESS, nullptr, nullptr);
        EXPECT_TRUE(callback.Commit(hQueue));
        EXPECT_EQ(0, callback.GetFilesDone());
    }
    ::SetupCloseFileQueue(hQueue);
    EXPECT_EQ("in the way", ReadText(m_strInstallDir));
}

TEST_F(InstallEngineTest, TargetInUseIsReplacedAtRestart) {
    auto pkg = MakePackage("HeldComp");
    AddFile(*pkg, "held.dll", 1, "new", false);
    const std::string target = m_strInstallDir + "\\bin\\held.dll";
    ASSERT_TRUE(theApp.CreateFolderPath(m_strInstallDir + "\\bin", true));
    ASSERT_TRUE(WriteFile(target, "old"));

    HANDLE held = ::CreateEventA(nullptr, TRUE, FALSE, "ZepEngineTestHeld");
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, "ZepEngineTestRelease");
    ::SetEnvironmentVariableA("ZEP_HOLD_FILE", target.c_str());
    PROCESS_INFORMATION holder{};
    const bool started = StartChild("\"" + SelfPath() + "\"", "", holder);
    ::SetEnvironmentVariableA("ZEP_HOLD_FILE", nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(held, 30000));

    HSPFILEQ hQueue = ::SetupOpenFileQueue();
    ASSERT_TRUE(pkg->QueueFiles(hQueue, nullptr, nullptr));
    bool rebootRequired = false;
    {
        CInstallQueueCallback callback(nullptr, nullptr, WM_QUEUE_PROGRESS, nullptr, nullptr);
        EXPECT_TRUE(callback.Commit(hQueue));
        EXPECT_TRUE(callback.HasScheduledReplacement());
        EXPECT_EQ(1, callback.GetFilesDone());
        rebootRequired = callback.IsRebootRequired(hQueue);
    }
    ::SetupCloseFileQueue(hQueue);
    EXPECT_TRUE(rebootRequired);

    ::SetEvent(release);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(holder.hProcess, 30000));
    ::CloseHandle(holder.hThread);
    ::CloseHandle(holder.hProcess);
    ::CloseHandle(held);
    ::CloseHandle(release);
    EXPECT_EQ("old", ReadText(target));
    EXPECT_EQ("new", ReadText(m_strDownloadDir + "held.dll.pkg"));  // a plain package file stays

    // The simulated restart carries out the pending renames.
    DWORD exitCode = 99;
    EXPECT_TRUE(RunChild("wineboot.exe -r", "", 120000, exitCode));
    EXPECT_EQ("new", ReadText(target));
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((m_strInstallDir + "\\bin\\zep*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << "left behind: " << found.cFileName;
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
}

TEST_F(InstallEngineTest, NamesThatLeaveTheirFolderWriteNothing) {
    const std::string info = m_strRoot + "\\names.inf";
    ASSERT_TRUE(WriteFile(info,
                          "[Package]\r\nVer=256\r\n[Folders]\r\n1=${Target}\\bin\r\n[Sources]\r\n0=files\r\n"
                          "[Files]\r\nok.dll=,,2,,,0,1\r\n..\\..\\evil.dll=,,2,,,0,1\r\nsub/x.dll=,,2,,,0,1\r\n"
                          "fine.dll=,,2,..\\..\\evil.pkg,,0,1\r\n"
                          "[Shortcuts]\r\n..\\..\\Evil=${Target}\\bin\\ok.dll\r\n"));
    for (const char* name : {"ok.dll", "..\\..\\evil.dll", "sub/x.dll", "..\\..\\evil.pkg"})
        WriteFile(m_strDownloadDir + name, "zz");
    CPackageInfo pkg("NameComp", &m_component);
    ASSERT_TRUE(pkg.Load(info));
    pkg.m_bNeedInfo = false;
    ASSERT_EQ(1, pkg.SelectFilesToInstall());
    ASSERT_EQ(0, pkg.SelectFilesToDownload(true));
    HSPFILEQ hQueue = ::SetupOpenFileQueue();
    ASSERT_TRUE(pkg.QueueFiles(hQueue, nullptr, nullptr));
    {
        CInstallQueueCallback callback(nullptr, nullptr, WM_QUEUE_PROGRESS, nullptr, nullptr);
        EXPECT_TRUE(callback.Commit(hQueue));
    }
    ::SetupCloseFileQueue(hQueue);
    pkg.FinishInstall();
    EXPECT_EQ("zz", ReadText(m_strInstallDir + "\\bin\\ok.dll"));
    EXPECT_FALSE(FileExists(m_strRoot + "\\Program\\evil.dll"));
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\evil.dll"));
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\bin\\sub"));
    EXPECT_FALSE(FileExists(m_strInstallDir + "\\bin\\fine.dll"));
    EXPECT_FALSE(FileExists(m_strRoot + "\\Evil.lnk"));
    EXPECT_EQ(1u, ReadLog(m_strInstallDir + "\\NameComp.DeIsLog").files.size());
}

}  // namespace
