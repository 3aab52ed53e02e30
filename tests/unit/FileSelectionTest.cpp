// Per-file decisions against real files in a scratch folder, and the disk
// space list as Wine answers it.
#include "install/FileSelection.h"

#include "app/NumberText.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "install/DiskSpaceList.h"
#include "support/ChildProcess.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testsupport;

namespace {

const int32_t kDate = 946684800;  // 2000-01-01 00:00 UTC

class FileSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strRoot = MakeScratchDir("selection");
        PrepareInstallFolders(m_strRoot);
        AddPackageFolder(m_pkg, 1, "${Target}\\bin");
        theApp.CreateFolderPath(TargetDir(), true);
    }

    static std::string TargetDir() { return theApp.m_strInstallDir + "\\bin"; }
    static std::string Drive(const std::string& path) { return std::string(1, char(toupper(path[0]))) + ":"; }

    CPackageFile* AddFile(const std::string& name, const char* version, int32_t date, int size = 10, int flags = 0) {
        CPackageFile* pFile = AddPackageFile(m_pkg, name, 1, flags);
        pFile->m_nVersion = ParseVersion64(version);
        pFile->m_tDate = date;
        pFile->m_nSize = pFile->m_nPackedSize = size;
        return pFile;
    }
    // Each file's name and the decisions set for it.
    Lines Decisions() const {
        Lines lines;
        for (const CPackageFile* f : m_pkg.m_listFiles)
            lines.push_back(f->m_strName + (f->m_bInstall ? " install" : "") + (f->m_bDownload ? " download" : "") +
                            (f->m_bCompressed ? " compressed" : ""));
        return lines;
    }

    std::string m_strRoot;
    CComponent m_component;
    CPackageInfo m_pkg{"SelComp", &m_component};
};

TEST_F(FileSelectionTest, InstalledCopyDecides) {
    // At the target: a file with that version resource ("": none) and time, or (null) nothing.
    const struct { const char *name, *installedVersion; int32_t installedTime; const char* version; int32_t date; }
        files[] = {
        {"same.exe", "1.0.0.5", kDate - 100, "1.0.0.5", kDate}, {"older.exe", "1.0.0.5", kDate, "1.0.0.6", kDate},
        {"same.txt", "", kDate, "", kDate}, {"older.txt", "", kDate - 1, "", kDate}, {"missing.txt", nullptr, 0, "", 0},
    };
    for (const auto& file : files) {
        const std::string path = TargetDir() + "\\" + file.name;
        if (file.installedVersion) {
            ASSERT_TRUE(*file.installedVersion ? WriteVersionedProgram(path, ParseVersion64(file.installedVersion))
                                               : WriteFile(path, "x"));
            ASSERT_TRUE(SetModifiedTime(path, file.installedTime));
        }
        AddFile(file.name, file.version, file.date);
    }
    EXPECT_EQ(3, m_pkg.SelectFilesToInstall());
    // The version resource decides, whatever the times say; a missing file is
    // installed also when the line's date was unreadable.
    EXPECT_EQ((Lines{"same.exe", "older.exe install download", "same.txt", "older.txt install download",
                     "missing.txt install download"}),
              Decisions());
}

TEST_F(FileSelectionTest, OnlyANewComponentTakesTheInstallFolder) {
    // Also with no file to install: its log and record still need a folder.
    for (int installedVersion : {0, 0x0100}) {
        CComponent component;
        component.m_nInstalledVersion = installedVersion;
        CPackageInfo empty("Empty", &component);
        empty.m_strTarget = "D:\\elsewhere";
        EXPECT_EQ(0, empty.SelectFilesToInstall());
        EXPECT_EQ(installedVersion ? "D:\\elsewhere" : theApp.m_strInstallDir, empty.m_strTarget) << installedVersion;
    }
}

// Runs in this process (NT family) and again in a child that Wine tells it
// is Windows 98 (see SkipFlagsUnderWin98).
TEST_F(FileSelectionTest, SkipFlagsOfThisPlatform) {
    theApp.ReadPlatformFamily();
    const bool win9x = std::getenv("ZEP_EXPECT_WIN9X") != nullptr;
    ASSERT_EQ(win9x, theApp.m_bWin9x);
    ASSERT_EQ(!win9x, theApp.m_bWinNT);
    AddFile("not9x.txt", "", kDate, 10, PKG_SKIP_ON_WIN9X);
    AddFile("notnt.txt", "", kDate, 10, PKG_SKIP_ON_NT);
    EXPECT_EQ(1, m_pkg.SelectFilesToInstall());
    EXPECT_EQ(1, m_pkg.SelectFilesToDownload(true));
    EXPECT_EQ(win9x ? (Lines{"not9x.txt", "notnt.txt install download"})
                    : (Lines{"not9x.txt install download", "notnt.txt"}),
              Decisions());
    // Download-only mode considers every file, whatever its platform flags.
    theApp.m_nDownloadOnly = 1;
    EXPECT_EQ(2, m_pkg.SelectFilesToDownload(true));
}

TEST_F(FileSelectionTest, SkipFlagsUnderWin98) {
    // Wine reports the version per program name: a copy of this program
    // under its own name is told it runs on Windows 98. It runs in a folder
    // of its own, as its run makes its own scratch folders there.
    const std::string childDir = MakeScratchDir("win98");
    const std::string child = childDir + "\\zepwin98.exe";
    ASSERT_TRUE(::CopyFileA(SelfPath().c_str(), child.c_str(), FALSE));
    const char kAppKey[] = "Software\\Wine\\AppDefaults\\zepwin98.exe";
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, kAppKey, "Version", REG_SZ, "win98"));

    ::SetEnvironmentVariableA("ZEP_EXPECT_WIN9X", "1");
    DWORD exitCode = 99;
    std::string output;
    const bool ended = RunChild("\"" + child + "\" --gtest_filter=FileSelectionTest.SkipFlagsOfThisPlatform", childDir,
                                120000, exitCode, &output);
    ::SetEnvironmentVariableA("ZEP_EXPECT_WIN9X", nullptr);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
    EXPECT_TRUE(ended && exitCode == 0 && output.find("[  PASSED  ] 1 test") != std::string::npos)
        << "exit code " << exitCode << ":\n" << output;
}

TEST_F(FileSelectionTest, DownloadDecisions) {
    const std::string packed = MakeCompressedPackage("payload", kDate - 50, ParseVersion64("2.0.0.0"));
    const std::string stale = MakeCompressedPackage("old", kDate, ParseVersion64("0.9.0.0"));
    // What lies in the download folder, dated kDate; empty: nothing, or a program of that version.
    const struct { const char *name, *version; int packedSize; std::string package; } files[] = {
        {"short.exe", "1.0.0.1", 50, std::string(49, 'x')}, {"packed.exe", "2.0.0.0", int(packed.size()), packed},
        {"stale.exe", "1.0.0.0", int(stale.size()), stale}, {"plain.txt", "", 4, "abcd"}, {"absent.txt", "", 10, ""},
        {"tool.exe", "3.1.4.1", 10, ""},
    };
    ASSERT_TRUE(WriteVersionedProgram(theApp.m_strDownloadDir + "tool.exe.pkg", ParseVersion64("3.1.4.1")));
    ASSERT_TRUE(SetModifiedTime(theApp.m_strDownloadDir + "tool.exe.pkg", kDate - 100));
    for (const auto& file : files) {
        AddFile(file.name, file.version, kDate, file.packedSize);
        if (file.package.empty()) continue;
        ASSERT_TRUE(WriteFile(theApp.m_strDownloadDir + file.name + ".pkg", file.package));
        ASSERT_TRUE(SetModifiedTime(theApp.m_strDownloadDir + file.name + ".pkg", kDate));
    }
    ASSERT_EQ(6, m_pkg.SelectFilesToInstall());
    EXPECT_EQ(3, m_pkg.SelectFilesToDownload(true));
    // A short file is fetched again; a compressed package of the line's
    // version is kept, to be decoded, one of an older version fetched; a
    // plain file's version resource or else its time decides.
    EXPECT_EQ((Lines{"short.exe install download", "packed.exe install compressed",
                     "stale.exe install download compressed", "plain.txt install", "absent.txt install download",
                     "tool.exe install"}),
              Decisions());
    for (const CPackageFile* f : m_pkg.m_listFiles) {
        if (f->m_bDownload) continue;
        EXPECT_EQ(theApp.m_strDownloadDir, f->m_strPackageDir) << f->m_strName;  // where the copy comes from
    }
    EXPECT_EQ(1, m_pkg.m_nFilesToUnpack);
    // Without reset the unpack count is left as it was.
    m_pkg.m_nFilesToUnpack = 7;
    EXPECT_EQ(3, m_pkg.SelectFilesToDownload(false));
    EXPECT_EQ(7, m_pkg.m_nFilesToUnpack);
    // No size while the package info is still to be fetched or nothing is to be downloaded.
    m_pkg.m_nFilesToDownload = 3;
    EXPECT_EQ(0, m_pkg.GetDownloadSize());
    m_pkg.m_bNeedInfo = false;
    EXPECT_EQ(50 + int(stale.size()) + 10, m_pkg.GetDownloadSize());
    m_pkg.m_nFilesToDownload = 0;
    EXPECT_EQ(0, m_pkg.GetDownloadSize());
}

TEST_F(FileSelectionTest, DiskSpaceSumsPerDrive) {
    CDiskSpaceList list;
    list.AddCopy("C:\\zep\\a.bin", 1000);
    list.AddCopy(m_strRoot + "\\b.bin", 300);
    list.AddCopy("c:\\zep\\other\\c.bin", 20);
    list.AddCopy("C:\\ZEP\\A.BIN", 1500);  // the same file again: replaces
    EXPECT_EQ((Lines{"C:", Drive(m_strRoot)}), list.QueryDrives());
    EXPECT_EQ(1520, list.QuerySpaceRequired("C:"));
    EXPECT_EQ(300, list.QuerySpaceRequired(Drive(m_strRoot)));
    EXPECT_EQ(0, list.QuerySpaceRequired("Q:"));

    // A package adds its targets, its downloads, and room for the decoded
    // copies of its compressed files under the package files' names: the same
    // name from another package file into another folder needs it twice.
    theApp.m_strTempDir = "C:\\ziptemp";
    AddPackageFolder(m_pkg, 2, "${Target}\\lib");
    const struct { const char *name, *source; int folder, size; bool install, compressed, download; } files[] = {
        {"a.exe", "a.pkg", 1, 4000, true, true, false}, {"a.exe", "twin.pkg", 2, 4000, true, true, false},
        {"fetch.txt", "fetch.pkg", 1, 200, true, false, true}, {"b.txt", "b.pkg", 1, 77, false, false, false}};
    for (const auto& file : files) {
        CPackageFile* pFile = AddFile(file.name, "", kDate, file.size);
        pFile->m_strSource = file.source;
        pFile->m_pFolder = m_pkg.m_mapFolders.Lookup(file.folder);
        pFile->m_bInstall = file.install;
        pFile->m_bCompressed = file.compressed;
        pFile->m_bDownload = file.download;
    }
    CDiskSpaceList packageList;
    EXPECT_TRUE(m_pkg.AddToDiskSpaceList(packageList));
    EXPECT_EQ((Lines{Drive(m_strRoot), "C:"}), packageList.QueryDrives());
    EXPECT_EQ(4000 + 4000 + 200 + 200, packageList.QuerySpaceRequired(Drive(m_strRoot)));
    EXPECT_EQ(4000 + 4000, packageList.QuerySpaceRequired("C:"));
}

}  // namespace
