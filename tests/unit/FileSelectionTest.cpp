// Package info files read through the real profile functions of the prefix,
// the per-file decisions taken against real files in a scratch folder, and
// the disk space list as Wine answers it.
#include "install/FileSelection.h"

#include "app/Component.h"
#include "app/NumberText.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "install/DiskSpaceList.h"
#include "install/PackageInfo.h"
#include "select/PreparePackages.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/SetupRun.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

using namespace testsupport;

namespace {

const int32_t kDate = 946684800;  // 2000-01-01 00:00 UTC
const std::string kSections = "[Folders]\n0=C:\\zero\n1=C:\\one\n[Sources]\n0=pub/base\n2=pub/a,b,c\n";
const std::string kVersioned = "[Package]\nVer=258\n" + kSections;

class FileSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strRoot = MakeScratchDir("selection");
        PrepareInstallFolders(m_strRoot, m_run);
        AddPackageFolder(m_pkg, 1, "${Target}\\bin");
        m_run.CreateFolderPath(TargetDir(), true);
    }

    std::string TargetDir() const { return m_run.m_strInstallDir + "\\bin"; }
    static std::string Drive(const std::string& path) { return std::string(1, char(toupper(path[0]))) + ":"; }

    CPackageFile* AddFile(const std::string& name, const char* version, int32_t date, int size = 10) {
        CPackageFile* pFile = AddPackageFile(m_pkg, name, 1);
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
    // Writes the file and loads it into a new m_info.
    bool Load(const std::string& text) {
        m_path = m_strRoot + "\\comp.ini";
        EXPECT_TRUE(WriteFile(m_path, text));
        m_info = std::make_unique<CPackageInfo>(m_run, "comp", nullptr);
        return m_info->Load(m_path);
    }

    std::string m_strRoot, m_path;
    CSetupRun m_run;
    CComponent m_component;
    CPackageInfo m_pkg{m_run, "SelComp", &m_component};
    std::unique_ptr<CPackageInfo> m_info;
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
    // What a run cut short left proves nothing.
    m_component.m_bCutShort = true;
    EXPECT_EQ(5, m_pkg.SelectFilesToInstall());
}

// An installed component, or one whose install was cut short, keeps the
// folder its record names; a new one takes the install folder, also with no
// file to install: its log and record still need a folder.
TEST_F(FileSelectionTest, TargetFolderOfInstalledAndNewComponents) {
    const std::string key = ZEP_CLIENT_KEY "\\PkgInfoTestComp";
    DeleteRegKey(key.c_str());
    const struct { int installed; const char *recordedPath, *target, *selected; bool cutShort = false; } cases[] = {
        {0x0102, nullptr, "", ""}, {0x0102, "C:\\ZEP\\Comp", "C:\\ZEP\\Comp", "C:\\ZEP\\Comp"},
        {0, "C:\\ZEP\\Comp", "", nullptr}, {0, "C:\\ZEP\\Comp", "C:\\ZEP\\Comp", "C:\\ZEP\\Comp", true}};
    for (const auto& c : cases) {
        if (c.recordedPath) WriteRegString(key.c_str(), "Path", c.recordedPath);
        CComponent component;
        component.m_nInstalledVersion = c.installed;
        component.m_bCutShort = c.cutShort;
        CPackageInfo pkg(m_run, "PkgInfoTestComp", &component);
        EXPECT_EQ(c.target, pkg.m_strTarget) << c.installed;
        EXPECT_EQ(0, pkg.SelectFilesToInstall());
        EXPECT_EQ(c.selected ? c.selected : m_run.m_strInstallDir, pkg.m_strTarget) << c.installed;
    }
    DeleteRegKey(key.c_str());
}

TEST_F(FileSelectionTest, DownloadDecisions) {
    const std::string packed = MakeCompressedPackage("payload", kDate - 50, ParseVersion64("2.0.0.0"));
    const std::string stale = MakeCompressedPackage("old", kDate, ParseVersion64("0.9.0.0"));
    // What lies in the download folder, dated kDate; empty: nothing, or a program of that version.
    const struct { const char *name, *version; int packedSize; std::string package; } files[] = {
        {"short.exe", "1.0.0.1", 50, std::string(49, 'x')}, {"packed.exe", "2.0.0.0", int(packed.size()), packed},
        {"stale.exe", "1.0.0.0", int(stale.size()), stale}, {"plain.txt", "", 4, "abcd"}, {"absent.txt", "", 10, ""},
        {"tool.exe", "3.1.4.1", 10, ""}, {"swapped.txt", "", 4, "abce"},
    };
    ASSERT_TRUE(WriteVersionedProgram(m_run.m_strDownloadDir + "tool.exe.pkg", ParseVersion64("3.1.4.1")));
    ASSERT_TRUE(SetModifiedTime(m_run.m_strDownloadDir + "tool.exe.pkg", kDate - 100));
    for (const auto& file : files) {
        AddFile(file.name, file.version, kDate, file.packedSize);
        if (file.package.empty()) continue;
        ASSERT_TRUE(WriteFile(m_run.m_strDownloadDir + file.name + ".pkg", file.package));
        ASSERT_TRUE(SetModifiedTime(m_run.m_strDownloadDir + file.name + ".pkg", kDate));
    }
    // The publisher's hash of "abcd", as Python's hashlib gives it.
    const char kAbcd[] = "88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589";
    for (CPackageFile* pFile : m_pkg.m_listFiles)
        if (pFile->m_nPackedSize == 4) pFile->m_strSha256 = kAbcd;
    ASSERT_EQ(7, m_pkg.SelectFilesToInstall());
    EXPECT_EQ(4, m_pkg.SelectFilesToDownload(true));
    // A short file is fetched again; a compressed package of the line's
    // version is kept, to be decoded, one of an older version fetched; a
    // plain file's version resource or else its time decides; a copy other
    // than the publisher's is fetched again.
    EXPECT_EQ((Lines{"short.exe install download", "packed.exe install compressed",
                     "stale.exe install download compressed", "plain.txt install", "absent.txt install download",
                     "tool.exe install", "swapped.txt install download"}),
              Decisions());
    EXPECT_EQ(1, m_pkg.m_nFilesToUnpack);
    // Without reset the unpack count is left as it was.
    m_pkg.m_nFilesToUnpack = 7;
    EXPECT_EQ(4, m_pkg.SelectFilesToDownload(false));
    EXPECT_EQ(7, m_pkg.m_nFilesToUnpack);
    // No size while the package info is still to be fetched or nothing is to be downloaded.
    m_pkg.m_nFilesToDownload = 4;
    EXPECT_EQ(0, m_pkg.GetDownloadSize());
    m_pkg.m_bNeedInfo = false;
    EXPECT_EQ(50 + int(stale.size()) + 10 + 4, m_pkg.GetDownloadSize());
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
    m_run.m_strTempDir = "C:\\ziptemp";
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

// Package info from the download folder, beside the program or the site;
// components still without are skipped. On the small drive the space
// available is enough when it is exactly what is required.
TEST_F(FileSelectionTest, PackageInfoFromThreePlacesAndAnExactFitOfTheDrive) {
    const WorkingFolder beside(m_strRoot);
    const std::string site = testweb::RootDir() + "\\preparing", dl = m_run.m_strDownloadDir;
    for (const std::string& folder : {site, site + "\\pki"}) ::CreateDirectoryA(folder.c_str(), nullptr);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(::GetDiskFreeSpaceA("Y:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters));
    // What the small drive has, less what the others install beside it.
    const long long fit = 1LL * sectorsPerCluster * bytesPerSector * freeClusters - 5020;
    ASSERT_GT(fit, 0) << "the small drive is full: another test left files on it";
    ASSERT_TRUE(WriteFile(dl + "Local.pki", PackageInfoFile({{"local.dat", 10}})) &&
                WriteFile("Half.pki", PackageInfoFile({{"h1.dat", 10}, {"h2.dat", 2000}})) &&
                WriteFile(site + "\\pki\\Web.pki", PackageInfoFile({{"w.dat", 3000}})) &&
                WriteFile(dl + "Fit.pki", PackageInfoFile({{"fit.dat", fit}})) &&
                WriteFile(dl + "fit.dat", std::string(size_t(fit), 'f')) &&
                WriteFile(m_strRoot + "\\zepsetup.sif", SetupInfo("Local\r\nHalf\r\nWeb\r\nFit\r\nGone\r\n",
                    ComponentSection("Local", 256) + ComponentSection("Half", 256) + ComponentSection("Web", 256) +
                    ComponentSection("Fit", 256) + ComponentSection("Gone", 256))));
    for (const char* file : {"local.dat", "h1.dat"}) WriteFile(dl + file, "0123456789");
    m_run.m_strBaseURL = testweb::BaseUrl() + "/preparing/";
    m_run.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    m_run.m_strInstallDir = "Y:\\zep";
    m_run.m_bNewInstall = true;
    ASSERT_TRUE(m_run.LoadComponents((m_strRoot + "\\zepsetup.sif").c_str()));
    m_run.ComputeComponentStates();
    EXPECT_EQ(2, m_run.LoadPackageInfos());
    std::vector<CInfoFetch> fetches = ListPackageInfoFetches(m_run);
    EXPECT_EQ(1, FetchPackageInfoFiles(m_run, dl, fetches));
    EXPECT_EQ(1, ApplyPackageInfoFetches(m_run, fetches, 2));
    ::InternetCloseHandle(m_run.m_hInternet);
    Lines skipped;
    for (const CComponent* pComp : SkipComponents(m_run, true)) skipped.push_back(pComp->m_strName);
    EXPECT_EQ(Lines{"ZEP Gone"}, skipped);
    m_run.ComputePackageDownloads();
    for (const CDriveSpace& space : ComputeDriveSpace(m_run))
        EXPECT_TRUE(space.m_strDrive != "Y:" || space.m_nAvailable == space.m_nRequired) << space.m_nRequired;
    EXPECT_TRUE(HasEnoughSpace(ComputeDriveSpace(m_run)));
    ASSERT_TRUE(WriteFile("Y:\\one byte", "1"));
    EXPECT_FALSE(HasEnoughSpace(ComputeDriveSpace(m_run)));
    ::DeleteFileA("Y:\\one byte");
}

TEST_F(FileSelectionTest, InfoLinesRead) {
    const char* const lines[][2] = {
        {"[Files]\na.dll=1.2.3.4,12/24/1999 10:30:00,100,,,0,1",
         "a.dll | 1.2.3.4 | 1999-12-24 10:30:00 | 100 | a.dll | 100 | pub/base | C:\\one | 0"},
        {"[Files]\nc.dll=,,300,c.pk_,0,2,1,5", "c.dll | 0.0.0.0 | 0 | 300 | c.pk_ | 300 | pub/a,b,c | C:\\one | 5"},
        {"[Files]\nh.dll=2.0,,7,h.pk_,3,0,1,2", "h.dll | 2.0.0.0 | 0 | 7 | h.pk_ | 3 | pub/base | C:\\one | 2"},
        // A hash by the package file's name, in any case; a line of another length or with other letters is none.
        {"[Files]\nh.dll=2.0,,7,h.pk_,3,0,1,2\n[Hashes]\nh.pk_=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcde\n"
         "H.PK_=0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef\n"
         "x.pk_=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef",
         "h.dll | 2.0.0.0 | 0 | 7 | h.pk_ | 3 | pub/base | C:\\one | 2 | "
         "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"},
        {"[Files]\nh.dll=2.0,,7,h.pk_,3,0,1,2\n[Hashes]\nh.pk_=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdeg",
         "h.dll | 2.0.0.0 | 0 | 7 | h.pk_ | 3 | pub/base | C:\\one | 2"},
        {"[Files]\ne.dll=,,1,,,0,1,", "e.dll | 0.0.0.0 | 0 | 1 | e.dll | 1 | pub/base | C:\\one | 0"},
        // Empty ids between commas are id 0.
        {"[Files]\nf.dll=,,1,,,,,3", "f.dll | 0.0.0.0 | 0 | 1 | f.dll | 1 | pub/base | C:\\zero | 3"},
        {"[Shortcuts]\nApp=${Target}\\app.exe,${Target}\\work,dir", "App | ${Target}\\app.exe | ${Target}\\work,dir"},
        {"[Shortcuts]\nBare=C:\\x.exe", "Bare | C:\\x.exe | "},
        {"[Shortcuts]\nTrail=C:\\y.exe,", "Trail | C:\\y.exe | "},
        {"[RegEntries]\n2147483650,SOFTWARE\\ZEP,Name=1,text,5", "-2147483646 | SOFTWARE\\ZEP | Name | 1 | text | 5"},
        // The signed decimal of the same handle.
        {"[RegEntries]\n-2147483646,Key,V=4,42", "-2147483646 | Key | V | 4 | 42 | 0"},
        {"[RegEntries]\n2147483649,K,a,b=3,d,", "-2147483647 | K | a,b | 3 | d | 0"},
        {"[RegEntries]\n1,K,V=7", "1 | K | V | 7 |  | 0"},
        // A key may hold "=": the value name starts after the key's comma.
        {"[RegEntries]\n2147483650,Software\\a=b,Name=1,x", "-2147483646 | Software\\a=b | Name | 1 | x | 0"},
    };
    for (const auto& line : lines) {
        ASSERT_TRUE(Load(kVersioned + line[0] + "\n")) << line[0];
        EXPECT_EQ(Lines{line[1]}, PackageEntries(*m_info)) << line[0];
    }
    EXPECT_EQ(258, m_info->m_nVersion);
    EXPECT_EQ(m_path, m_info->m_strInfoPath);
}

TEST_F(FileSelectionTest, InfoLinesDropped) {
    // Nothing without a version.
    for (const std::string& text : {kSections, "[Package]\nVer=0\n" + kSections}) {
        EXPECT_FALSE(Load(text + "[Files]\na.dll=1.0,,1,,,0,1\n")) << text;
        EXPECT_EQ(Lines{}, PackageEntries(*m_info)) << text;
        EXPECT_EQ(nullptr, m_info->m_mapFolders.Lookup(1)) << text;
    }
    EXPECT_FALSE(m_info->Load(m_strRoot + "\\missing.ini"));
    // Comments, an empty last folder id, unknown sources and folders, missing
    // fields, negative sizes (also wrapped ones), and names that would leave their folder.
    ASSERT_TRUE(Load(kVersioned +
                     "[Files]\n#c.dll=1.0,,1,,,0,1\nd.dll=,,1,,,0,\nb.dll=1.0,,200,b.pk_,50,9,1\nx.dll=,,1,,,0,2\n"
                     "g.dll=,,1,,\nno equals sign\n..\\..\\evil.dll=1.0,,1,,,0,1\nsub/x.dll=1.0,,1,,,0,1\n"
                     "C:evil.dll=1.0,,1,,,0,1\n..=1.0,,1,,,0,1\nok.dll=1.0,,1,.,,0,1\n"
                     "ok.dll=1.0,,1,..\\..\\evil.dll,,0,1\nok.dll=1.0,,1,sub/x.dll,,0,1\n"
                     "n.dll=1.0,,-1,,,0,1\nn.dll=1.0,,1,n.pk_,-1,0,1\nn.dll=1.0,,18446744073709551615,,,0,1\n"
                     "[Shortcuts]\nno equals sign\n..\\..\\evil=C:\\a.exe\nsub/x=C:\\a.exe\n"
                     "[RegEntries]\nonly,one=1,x\n"));
    EXPECT_EQ(Lines{}, PackageEntries(*m_info));
}

TEST_F(FileSelectionTest, InfoFoldersAreWalkedBucketByBucket) {
    ASSERT_TRUE(Load("[Package]\nVer=1\n[Folders]\n1=C:\\one,1\n2=C:\\two\n3=C:\\three,\n#5=C:\\hash\n"
                     "17=${Target}\\seventeen,4\n4294967295=C:\\wrapped\n2=C:\\second,6\n"
                     "[Sources]\n1=pub\n1=pub/newer\n"));
    Lines folders;
    m_info->m_mapFolders.ForEach([&](int id, CPackageFolder* pFolder) {
        folders.push_back(Join({std::to_string(id), std::to_string(pFolder->m_nId), pFolder->m_strPath,
                                std::to_string(pFolder->m_nFlags)}));
    });
    // Ids 0..15 share bucket 0, newest first; 17 is in bucket 1; -1 in bucket
    // 15. The second line with id 2 keeps the first one's place; "#" starts a
    // comment in Files only.
    EXPECT_EQ((Lines{"0 | 0 | C:\\hash | 0", "3 | 3 | C:\\three | 0", "2 | 2 | C:\\second | 6", "1 | 1 | C:\\one | 1",
                     "17 | 17 | ${Target}\\seventeen | 4", "-1 | -1 | C:\\wrapped | 0"}),
              folders);
    EXPECT_EQ("pub/newer", *m_info->m_mapSources.Lookup(1));
}

TEST_F(FileSelectionTest, InfoFilesSectionIsCutAtItsBuffer) {
    auto name = [](int i) {
        char text[64];
        std::snprintf(text, sizeof text, "file%04d_with_a_long_name_for_its_line.dll", i);
        return std::string(text);
    };
    std::string text = kVersioned + "[Files]\n";
    for (int i = 0; i < 700; ++i) text += name(i) + "=1.0.0.0,,1,,,0,1\n";
    ASSERT_TRUE(Load(text));
    // Whole lines that fit into 32767 characters are read, in order; the rest is lost.
    ASSERT_GE(m_info->m_listFiles.size(), 32767 / (name(0) + "=1.0.0.0,,1,,,0,1\n").size() - 1);
    EXPECT_LT(m_info->m_listFiles.size(), 700u);
    int i = 0;
    for (const CPackageFile* pFile : m_info->m_listFiles) EXPECT_EQ(name(i++), pFile->m_strName);
}

TEST_F(FileSelectionTest, InfoDateTexts) {
    // Local times; unreadable texts give 0, times before 1970 or past 2038 -1.
    const char* const dates[][2] = {
        {"12/24/1999 10:30:00", "1999-12-24 10:30:00"}, {"12/24/1999", "1999-12-24 00:00:00"},
        {"1/2/2003 1:02:03 PM", "2003-01-02 13:02:03"}, {"2/29/2024 23:59:59", "2024-02-29 23:59:59"},
        {"7/4/2010 12:00:00", "2010-07-04 12:00:00"},   {"24 Dec 1999 10:30", "1999-12-24 10:30:00"},
        {"not a date", "0"}, {"", "0"}, {"13/45/2000", "0"}, {"12/30/1899", "-1"}, {"1/1/1950 12:00:00", "-1"},
        {"1/1/2100", "-1"},  {"12/31/9999 23:59:59", "-1"},
    };
    for (const auto& date : dates) EXPECT_EQ(date[1], LocalText(CPackageInfo::ParseFileDate(date[0]))) << date[0];
}

}  // namespace
