// Per-file decisions against real files in a scratch folder, and the disk
// space list as Wine answers it.
#include "install/FileSelection.h"

#include "app/NumberText.h"
#include "app/SetupApp.h"
#include "install/DiskSpaceList.h"
#include "support/ChildProcess.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace testsupport;

namespace {

const int32_t kDate = 946684800;  // 2000-01-01 00:00 UTC

class FileSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strRoot = MakeScratchDir("selection");
        m_strDownloadDir = m_strRoot + "\\download\\";
        ::CreateDirectoryA(m_strDownloadDir.c_str(), nullptr);
        ::CreateDirectoryA((m_strRoot + "\\temp").c_str(), nullptr);
        theApp.m_strInstallDir = m_strRoot + "\\target";
        theApp.m_strDownloadDir = m_strDownloadDir;
        theApp.m_strTempDir = m_strRoot + "\\temp";
        theApp.m_nDownloadOnly = 0;
        theApp.m_bWin9x = false;
        theApp.m_bWinNT = true;
        theApp.ResolveFolders();
        m_component.m_nInstalledVersion = 0;
        m_pkg.m_mapSources.SetAt(0, new std::string("files"));
        auto* pFolder = new CPackageFolder;
        pFolder->m_nId = 1;
        pFolder->m_strPath = "${Target}\\bin";
        m_pkg.m_mapFolders.SetAt(1, pFolder);
        ::CreateDirectoryA(theApp.m_strInstallDir.c_str(), nullptr);
        ::CreateDirectoryA(TargetDir().c_str(), nullptr);
    }

    static std::string TargetDir() { return theApp.m_strInstallDir + "\\bin"; }

    CPackageFile* AddFile(const std::string& name, const char* version, int32_t date, int size = 10,
                          int packedSize = 10, int flags = 0) {
        auto* pFile = new CPackageFile;
        pFile->m_strName = name;
        pFile->m_strSource = name + ".pkg";
        pFile->m_nVersion = ParseVersion64(version);
        pFile->m_tDate = date;
        pFile->m_nSize = size;
        pFile->m_nPackedSize = packedSize;
        pFile->m_nFlags = flags;
        pFile->m_pSource = m_pkg.m_mapSources.Lookup(0);
        pFile->m_pFolder = m_pkg.m_mapFolders.Lookup(1);
        m_pkg.m_listFiles.push_back(pFile);
        return pFile;
    }

    std::string m_strRoot;
    std::string m_strDownloadDir;
    CComponent m_component;
    CPackageInfo m_pkg{"SelComp", &m_component};
};

TEST_F(FileSelectionTest, VersionResourceDecidesAgainstLineVersion) {
    ASSERT_TRUE(WriteVersionedProgram(TargetDir() + "\\same.exe", ParseVersion64("1.0.0.5")));
    ASSERT_TRUE(WriteVersionedProgram(TargetDir() + "\\older.exe", ParseVersion64("1.0.0.5")));
    // The time would call for an install; the version says the copy is current.
    ASSERT_TRUE(SetModifiedTime(TargetDir() + "\\same.exe", kDate - 100));
    CPackageFile* pSame = AddFile("same.exe", "1.0.0.5", kDate);
    CPackageFile* pNewer = AddFile("older.exe", "1.0.0.6", kDate);

    EXPECT_EQ(1, m_pkg.SelectFilesToInstall());
    EXPECT_EQ(1, m_pkg.m_nFilesToInstall);
    EXPECT_EQ(ParseVersion64("1.0.0.5"), pSame->m_nInstalledVersion);
    EXPECT_FALSE(pSame->m_bInstall);
    EXPECT_FALSE(pSame->m_bDownload);
    EXPECT_TRUE(pNewer->m_bInstall);
    EXPECT_TRUE(pNewer->m_bDownload);
    EXPECT_EQ(theApp.m_strInstallDir, m_pkg.m_strTarget);
}

TEST_F(FileSelectionTest, TimeDecidesWithoutVersionResource) {
    ASSERT_TRUE(WriteFile(TargetDir() + "\\same.txt", "x"));
    ASSERT_TRUE(WriteFile(TargetDir() + "\\older.txt", "x"));
    ASSERT_TRUE(SetModifiedTime(TargetDir() + "\\same.txt", kDate));
    ASSERT_TRUE(SetModifiedTime(TargetDir() + "\\older.txt", kDate - 1));
    CPackageFile* pSame = AddFile("same.txt", "", kDate);
    CPackageFile* pOlder = AddFile("older.txt", "", kDate);
    // No file at the target: installed, also when the line's date was unparsable.
    CPackageFile* pMissing = AddFile("missing.txt", "", 0);

    EXPECT_EQ(2, m_pkg.SelectFilesToInstall());
    EXPECT_FALSE(pSame->m_bInstall);
    EXPECT_EQ(kDate, pSame->m_tInstalledTime);
    EXPECT_EQ(0, pSame->m_nInstalledVersion);
    EXPECT_TRUE(pOlder->m_bInstall);
    EXPECT_TRUE(pMissing->m_bInstall);
    EXPECT_EQ(0, pMissing->m_tInstalledTime);
}

TEST_F(FileSelectionTest, InstalledComponentKeepsItsOwnFolder) {
    m_component.m_nInstalledVersion = 0x0100;
    m_pkg.m_strTarget = m_strRoot + "\\elsewhere";
    AddFile("a.txt", "", kDate);
    m_pkg.SelectFilesToInstall();
    EXPECT_EQ(m_strRoot + "\\elsewhere", m_pkg.m_strTarget);
    // An empty package of a new component still gets its install folder.
    CComponent fresh;
    CPackageInfo empty("Empty", &fresh);
    EXPECT_EQ(0, empty.SelectFilesToInstall());
    EXPECT_EQ(theApp.m_strInstallDir, empty.m_strTarget);
}

// Runs in this process (NT family) and again in a child that Wine tells it
// is Windows 98 (see SkipFlagsUnderWin98).
TEST_F(FileSelectionTest, SkipFlagsOfThisPlatform) {
    theApp.ReadPlatformFamily();
    const bool expectWin9x = std::getenv("ZEP_EXPECT_WIN9X") != nullptr;
    ASSERT_EQ(expectWin9x, theApp.m_bWin9x);
    ASSERT_EQ(!expectWin9x, theApp.m_bWinNT);
    CPackageFile* pNot9x = AddFile("not9x.txt", "", kDate, 10, 10, PKG_SKIP_ON_WIN9X);
    CPackageFile* pNotNT = AddFile("notnt.txt", "", kDate, 10, 10, PKG_SKIP_ON_NT);

    EXPECT_EQ(1, m_pkg.SelectFilesToInstall());
    CPackageFile* pSkipped = expectWin9x ? pNot9x : pNotNT;
    CPackageFile* pKept = expectWin9x ? pNotNT : pNot9x;
    EXPECT_FALSE(pSkipped->m_bInstall);
    EXPECT_FALSE(pSkipped->m_bDownload);
    EXPECT_TRUE(pKept->m_bInstall);
    EXPECT_EQ(1, m_pkg.SelectFilesToDownload(true));

    // Download-only mode considers every file, whatever its platform flags.
    theApp.m_nDownloadOnly = 1;
    EXPECT_EQ(2, m_pkg.SelectFilesToDownload(true));
    EXPECT_TRUE(pSkipped->m_bDownload);
}

TEST_F(FileSelectionTest, SkipFlagsUnderWin98) {
    // Wine reports the version per program name: a copy of this program
    // under its own name is told it runs on Windows 98.
    // Its own folder, as its run makes its own scratch folders there.
    const std::string childDir = MakeScratchDir("win98");
    const std::string child = childDir + "\\zepwin98.exe";
    ASSERT_TRUE(::CopyFileA(SelfPath().c_str(), child.c_str(), FALSE));
    const char kAppKey[] = "Software\\Wine\\AppDefaults\\zepwin98.exe";
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_CURRENT_USER, kAppKey, &hKey));
    ::RegSetValueExA(hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    ::RegCloseKey(hKey);

    ::SetEnvironmentVariableA("ZEP_EXPECT_WIN9X", "1");
    DWORD exitCode = 99;
    const bool ended = RunChild("\"" + child + "\" --gtest_filter=FileSelectionTest.SkipFlagsOfThisPlatform", childDir,
                                120000, exitCode);
    ::SetEnvironmentVariableA("ZEP_EXPECT_WIN9X", nullptr);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
    EXPECT_TRUE(ended);
    EXPECT_EQ(0u, exitCode);
}

TEST_F(FileSelectionTest, DownloadDecisions) {
    // Shorter than the packed size: fetched again.
    CPackageFile* pShort = AddFile("short.exe", "1.0.0.1", kDate, 100, 50);
    ASSERT_TRUE(WriteFile(m_strDownloadDir + "short.exe.pkg", std::string(49, 'x')));
    // Compressed package of the line's version: kept, to be decoded.
    const std::string packed = MakeCompressedPackage("payload", kDate - 50, ParseVersion64("2.0.0.0"));
    CPackageFile* pPacked = AddFile("packed.exe", "2.0.0.0", kDate, 7, int(packed.size()));
    ASSERT_TRUE(WriteFile(m_strDownloadDir + "packed.exe.pkg", packed));
    // Plain file without version resource, fetched with the line's date.
    CPackageFile* pPlain = AddFile("plain.txt", "", kDate, 4, 4);
    ASSERT_TRUE(WriteFile(m_strDownloadDir + "plain.txt.pkg", "abcd"));
    ASSERT_TRUE(SetModifiedTime(m_strDownloadDir + "plain.txt.pkg", kDate));
    // A compressed package of an older version: fetched, though compressed.
    const std::string stale = MakeCompressedPackage("old", kDate, ParseVersion64("0.9.0.0"));
    CPackageFile* pStale = AddFile("stale.exe", "1.0.0.0", kDate, 3, int(stale.size()));
    ASSERT_TRUE(WriteFile(m_strDownloadDir + "stale.exe.pkg", stale));
    CPackageFile* pAbsent = AddFile("absent.txt", "", kDate);

    ASSERT_EQ(5, m_pkg.SelectFilesToInstall());
    EXPECT_EQ(3, m_pkg.SelectFilesToDownload(true));
    EXPECT_TRUE(pShort->m_bDownload);
    EXPECT_FALSE(pPacked->m_bDownload);
    EXPECT_TRUE(pPacked->m_bCompressed);
    EXPECT_EQ(kDate - 50, pPacked->m_tPackageTime);
    EXPECT_EQ(m_strDownloadDir, pPacked->m_strPackageDir);
    EXPECT_FALSE(pPlain->m_bDownload);
    EXPECT_FALSE(pPlain->m_bCompressed);
    EXPECT_TRUE(pStale->m_bDownload);
    EXPECT_TRUE(pStale->m_bCompressed);
    EXPECT_TRUE(pAbsent->m_bDownload);
    EXPECT_EQ(0, pAbsent->m_tPackageTime);
    EXPECT_EQ(1, m_pkg.m_nFilesToUnpack);

    // Without reset the unpack count is left as it was.
    m_pkg.m_nFilesToUnpack = 7;
    EXPECT_EQ(3, m_pkg.SelectFilesToDownload(false));
    EXPECT_EQ(7, m_pkg.m_nFilesToUnpack);

    m_pkg.m_nFilesToDownload = 3;
    m_pkg.m_bNeedInfo = false;
    EXPECT_EQ(50 + int(stale.size()) + 10, m_pkg.GetDownloadSize());
}

TEST_F(FileSelectionTest, DownloadSizeIsZeroWithoutInfoOrDownloads) {
    AddFile("a.txt", "", kDate, 10, 123);
    m_pkg.SelectFilesToInstall();
    m_pkg.m_nFilesToDownload = m_pkg.SelectFilesToDownload(true);
    ASSERT_EQ(1, m_pkg.m_nFilesToDownload);
    EXPECT_EQ(0, m_pkg.GetDownloadSize());  // m_bNeedInfo still set
    m_pkg.m_bNeedInfo = false;
    EXPECT_EQ(123, m_pkg.GetDownloadSize());
    m_pkg.m_nFilesToDownload = 0;
    EXPECT_EQ(0, m_pkg.GetDownloadSize());
}

TEST_F(FileSelectionTest, ProbesTellWhatAFileIs) {
    int64_t version = 42;
    int32_t time = 43;
    EXPECT_FALSE(ProbeInstalledFile(m_strRoot + "\\nothing", version, time));
    EXPECT_EQ(DOWNLOADED_NONE, ProbeDownloadedFile(m_strRoot + "\\nothing", version, time));
    EXPECT_EQ(42, version);
    EXPECT_EQ(43, time);
    // A folder is no file.
    EXPECT_FALSE(ProbeInstalledFile(TargetDir(), version, time));

    ASSERT_TRUE(WriteVersionedProgram(m_strRoot + "\\v.exe", ParseVersion64("3.1.4.1")));
    ASSERT_TRUE(SetModifiedTime(m_strRoot + "\\v.exe", kDate));
    EXPECT_EQ(DOWNLOADED_PLAIN, ProbeDownloadedFile(m_strRoot + "\\v.exe", version, time));
    EXPECT_EQ(ParseVersion64("3.1.4.1"), version);
    EXPECT_EQ(kDate, time);

    ASSERT_TRUE(WriteFile(m_strRoot + "\\p.pkg", MakeCompressedPackage("z", kDate + 7, ParseVersion64("1.2.3.4"))));
    EXPECT_EQ(DOWNLOADED_COMPRESSED, ProbeDownloadedFile(m_strRoot + "\\p.pkg", version, time));
    EXPECT_EQ(ParseVersion64("1.2.3.4"), version);
    EXPECT_EQ(kDate + 7, time);
}

TEST_F(FileSelectionTest, DiskSpaceSumsPerDrive) {
    CDiskSpaceList list;
    list.AddCopy("C:\\zep\\a.bin", 1000);
    list.AddCopy(m_strRoot + "\\b.bin", 300);
    list.AddCopy("c:\\zep\\other\\c.bin", 20);
    list.AddCopy("C:\\ZEP\\A.BIN", 1500);  // the same file again: replaces
    const std::string scratchDrive = std::string(1, char(toupper(m_strRoot[0]))) + ":";

    std::vector<std::string> drives = list.QueryDrives();
    ASSERT_EQ(2u, drives.size());
    EXPECT_EQ("C:", drives[0]);
    EXPECT_EQ(scratchDrive, drives[1]);
    EXPECT_EQ(1520, list.QuerySpaceRequired("C:"));
    EXPECT_EQ(300, list.QuerySpaceRequired(scratchDrive));
    EXPECT_EQ(0, list.QuerySpaceRequired("Q:"));

    // Where the platform's list answers, its answers are passed on; Wine's
    // cannot add to it, and then our sums answer.
    HDSKSPC hProbe = ::SetupCreateDiskSpaceListA(nullptr, 0, 0);
    const bool platformAdds = ::SetupAddToDiskSpaceListA(hProbe, "C:\\zep\\a.bin", 1000, FILEOP_COPY, nullptr, 0);
    ::SetupDestroyDiskSpaceList(hProbe);
    EXPECT_EQ(!platformAdds, list.UsesOwnSums());
}

TEST_F(FileSelectionTest, PackageAddsTargetsDecodedCopiesAndDownloads) {
    theApp.m_strTempDir = "C:\\ziptemp";
    CPackageFile* pPacked = AddFile("packed.exe", "1.0.0.0", kDate, 4000, 1500);
    pPacked->m_bInstall = true;
    pPacked->m_bCompressed = true;
    pPacked->m_bDownload = false;
    CPackageFile* pFetch = AddFile("fetch.txt", "", kDate, 200, 200);
    pFetch->m_bInstall = true;
    pFetch->m_bDownload = true;
    CPackageFile* pCurrent = AddFile("current.txt", "", kDate, 77, 77);
    pCurrent->m_bDownload = false;
    // The same name from another package file into another folder: a second
    // target, and a second decoded copy beside the first.
    auto* pOther = new CPackageFolder;
    pOther->m_nId = 2;
    pOther->m_strPath = "${Target}\\lib";
    m_pkg.m_mapFolders.SetAt(2, pOther);
    CPackageFile* pTwin = AddFile("packed.exe", "1.0.0.0", kDate, 4000, 900);
    pTwin->m_strSource = "twin.pkg";
    pTwin->m_pFolder = pOther;
    pTwin->m_bInstall = true;
    pTwin->m_bCompressed = true;
    pTwin->m_bDownload = false;

    CDiskSpaceList list;
    EXPECT_TRUE(m_pkg.AddToDiskSpaceList(list));
    const std::string scratchDrive = std::string(1, char(toupper(m_strRoot[0]))) + ":";
    std::vector<std::string> drives = list.QueryDrives();
    ASSERT_EQ(2u, drives.size());
    EXPECT_EQ(scratchDrive, drives[0]);
    EXPECT_EQ("C:", drives[1]);
    EXPECT_EQ(4000 + 4000 + 200 + 200, list.QuerySpaceRequired(scratchDrive));
    EXPECT_EQ(4000 + 4000, list.QuerySpaceRequired("C:"));
}

}  // namespace
