// Package info files read through the real profile functions of the prefix.
#include "app/Component.h"
#include "app/Registry.h"
#include "install/PackageInfo.h"
#include "support/InstallTestPackage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <memory>

using namespace testsupport;

namespace {

const std::string kSections = "[Folders]\n0=C:\\zero\n1=C:\\one\n[Sources]\n0=pub/base\n2=pub/a,b,c\n";
const std::string kVersioned = "[Package]\nVer=258\n" + kSections;

class PackageInfoTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    // Writes the file and loads it into a new m_info.
    bool Load(const std::string& text) {
        m_path = m_dir + "\\comp.ini";
        EXPECT_TRUE(WriteFile(m_path, text));
        m_info = std::make_unique<CPackageInfo>("comp", nullptr);
        return m_info->Load(m_path);
    }
    std::string m_dir, m_path;
    std::unique_ptr<CPackageInfo> m_info;
};

TEST_F(PackageInfoTest, LinesRead) {
    const char* const lines[][2] = {
        {"[Files]\na.dll=1.2.3.4,12/24/1999 10:30:00,100,,,0,1",
         "a.dll | 1.2.3.4 | 1999-12-24 10:30:00 | 100 | a.dll | 100 | pub/base | C:\\one | 0"},
        {"[Files]\nc.dll=,,300,c.pk_,0,2,1,5", "c.dll | 0.0.0.0 | 0 | 300 | c.pk_ | 300 | pub/a,b,c | C:\\one | 5"},
        {"[Files]\nh.dll=2.0,,7,h.pk_,3,0,1,2", "h.dll | 2.0.0.0 | 0 | 7 | h.pk_ | 3 | pub/base | C:\\one | 2"},
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

TEST_F(PackageInfoTest, LinesDropped) {
    // Nothing without a version.
    for (const std::string& text : {kSections, "[Package]\nVer=0\n" + kSections}) {
        EXPECT_FALSE(Load(text + "[Files]\na.dll=1.0,,1,,,0,1\n")) << text;
        EXPECT_EQ(Lines{}, PackageEntries(*m_info)) << text;
        EXPECT_EQ(nullptr, m_info->m_mapFolders.Lookup(1)) << text;
    }
    EXPECT_FALSE(m_info->Load(m_dir + "\\missing.ini"));
    // Comments, an empty last folder id, unknown sources and folders, missing
    // fields, and names that would leave their folder.
    ASSERT_TRUE(Load(kVersioned +
                     "[Files]\n#c.dll=1.0,,1,,,0,1\nd.dll=,,1,,,0,\nb.dll=1.0,,200,b.pk_,50,9,1\nx.dll=,,1,,,0,2\n"
                     "g.dll=,,1,,\nno equals sign\n..\\..\\evil.dll=1.0,,1,,,0,1\nsub/x.dll=1.0,,1,,,0,1\n"
                     "C:evil.dll=1.0,,1,,,0,1\n..=1.0,,1,,,0,1\nok.dll=1.0,,1,.,,0,1\n"
                     "ok.dll=1.0,,1,..\\..\\evil.dll,,0,1\nok.dll=1.0,,1,sub/x.dll,,0,1\n"
                     "[Shortcuts]\nno equals sign\n..\\..\\evil=C:\\a.exe\nsub/x=C:\\a.exe\n"
                     "[RegEntries]\nonly,one=1,x\n"));
    EXPECT_EQ(Lines{}, PackageEntries(*m_info));
}

TEST_F(PackageInfoTest, FoldersAreWalkedBucketByBucket) {
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

TEST_F(PackageInfoTest, FilesSectionIsCutAtItsBuffer) {
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

TEST_F(PackageInfoTest, DateTexts) {
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

TEST_F(PackageInfoTest, InstalledComponentTakesItsFolderFromTheRegistry) {
    const std::string key = ZEP_CLIENT_KEY "\\PkgInfoTestComp";
    DeleteRegKey(key.c_str());
    CComponent component;
    const struct { int installedVersion; const char *recordedPath, *target; } cases[] = {
        {0x0102, nullptr, ""}, {0x0102, "C:\\ZEP\\Comp", "C:\\ZEP\\Comp"}, {0, "C:\\ZEP\\Comp", ""}};
    for (const auto& c : cases) {
        if (c.recordedPath) WriteRegString(key.c_str(), "Path", c.recordedPath);
        component.m_nInstalledVersion = c.installedVersion;
        EXPECT_EQ(c.target, CPackageInfo("PkgInfoTestComp", &component).m_strTarget) << c.installedVersion;
    }
    DeleteRegKey(key.c_str());
}

}  // namespace
