// Package info files read through the real profile functions of the prefix.
#include "app/Component.h"
#include "app/Registry.h"
#include "install/PackageInfo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace testsupport;

class PackageInfoTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    // Writes the file and loads it into m_info.
    bool Load(const std::string& text) {
        m_path = m_dir + "\\comp.ini";
        EXPECT_TRUE(WriteFile(m_path, text));
        return m_info.Load(m_path);
    }
    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        for (const CPackageFile* pFile : m_info.m_listFiles) names.push_back(pFile->m_strName);
        return names;
    }
    const CPackageFile* File(const std::string& name) const {
        for (const CPackageFile* pFile : m_info.m_listFiles)
            if (pFile->m_strName == name) return pFile;
        return nullptr;
    }
    std::string m_dir, m_path;
    CPackageInfo m_info{"comp", nullptr};
};

// The local calendar time of a time, through the system's conversion in the
// other direction.
static std::string LocalText(int32_t seconds) {
    const uint64_t ticks = uint64_t(seconds + 11644473600LL) * 10000000u;
    const FILETIME fileTime = {DWORD(ticks), DWORD(ticks >> 32)};
    SYSTEMTIME utc, local;
    if (!::FileTimeToSystemTime(&fileTime, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return "unconvertible";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    return text;
}

TEST_F(PackageInfoTest, WithoutVersionNothingIsRead) {
    const char* files = "[Folders]\n1=C:\\a\n[Sources]\n0=pub\n[Files]\na.dll=1.0,,1,,,0,1\n";
    EXPECT_FALSE(Load(files));
    EXPECT_FALSE(Load(std::string("[Package]\nVer=0\n") + files));
    EXPECT_FALSE(m_info.Load(m_dir + "\\missing.ini"));
    EXPECT_EQ("", m_info.m_strInfoPath);
    EXPECT_EQ(0, m_info.m_nVersion);
    EXPECT_TRUE(m_info.m_listFiles.empty());
    EXPECT_EQ(nullptr, m_info.m_mapFolders.Lookup(1));
}

TEST_F(PackageInfoTest, FilesFieldsDefaultsAndDroppedLines) {
    ASSERT_TRUE(Load("[Package]\nVer=258\n"
                     "[Folders]\n0=C:\\zero\n1=C:\\one\n"
                     "[Sources]\n0=pub/base\n2=pub/a,b,c\n"
                     "[Files]\n"
                     "#c.dll=1.0,,1,,,0,1\n"
                     "a.dll=1.2.3.4,12/24/1999 10:30:00,100,,,0,1\n"
                     "b.dll=1.0,,200,b.pk_,50,9,1\n"
                     "c.dll=,,300,c.pk_,0,2,1,5\n"
                     "d.dll=,,1,,,0,\n"
                     "e.dll=,,1,,,0,1,\n"
                     "f.dll=,,1,,,,,3\n"
                     "g.dll=,,1,,\n"
                     "no equals sign\n"
                     "x.dll=,,1,,,0,2\n"
                     "h.dll=2.0,,7,h.pk_,3,0,1,2\n"));
    EXPECT_EQ(258, m_info.m_nVersion);
    EXPECT_EQ(m_path, m_info.m_strInfoPath);
    EXPECT_EQ((std::vector<std::string>{"a.dll", "c.dll", "e.dll", "f.dll", "h.dll"}), FileNames());

    const CPackageFile* a = File("a.dll");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ((int64_t(1) << 48) | (int64_t(2) << 32) | (3 << 16) | 4, a->m_nVersion);
    EXPECT_EQ("1999-12-24 10:30:00", LocalText(a->m_tDate));
    EXPECT_EQ(100, a->m_nSize);
    EXPECT_EQ("a.dll", a->m_strSource);
    EXPECT_EQ(100, a->m_nPackedSize);
    EXPECT_EQ(0, a->m_nFlags);
    EXPECT_EQ(m_info.m_mapSources.Lookup(0), a->m_pSource);
    EXPECT_EQ(m_info.m_mapFolders.Lookup(1), a->m_pFolder);
    EXPECT_TRUE(a->m_bDownload);
    EXPECT_FALSE(a->m_bInstall);

    const CPackageFile* c = File("c.dll");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(0, c->m_nVersion);
    EXPECT_EQ(0, c->m_tDate);
    EXPECT_EQ(300, c->m_nPackedSize);
    EXPECT_EQ("c.pk_", c->m_strSource);
    EXPECT_EQ(5, c->m_nFlags);
    ASSERT_NE(nullptr, c->m_pSource);
    EXPECT_EQ("pub/a,b,c", *c->m_pSource);

    EXPECT_EQ(0, File("e.dll")->m_nFlags);
    // Empty ids between commas are id 0.
    EXPECT_EQ(m_info.m_mapFolders.Lookup(0), File("f.dll")->m_pFolder);
    EXPECT_EQ(m_info.m_mapSources.Lookup(0), File("f.dll")->m_pSource);
    EXPECT_EQ(3, File("f.dll")->m_nFlags);

    const CPackageFile* h = File("h.dll");
    ASSERT_NE(nullptr, h);
    EXPECT_EQ("h.pk_", h->m_strSource);
    EXPECT_EQ(7, h->m_nSize);
    EXPECT_EQ(3, h->m_nPackedSize);
    EXPECT_EQ(2, h->m_nFlags);
}

TEST_F(PackageInfoTest, NamesThatLeaveTheirFolderAreDropped) {
    ASSERT_TRUE(Load("[Package]\nVer=1\n[Folders]\n1=C:\\app\n[Sources]\n0=pub\n"
                     "[Files]\n"
                     "..\\..\\evil.dll=1.0,,1,,,0,1\n"
                     "sub/x.dll=1.0,,1,,,0,1\n"
                     "C:evil.dll=1.0,,1,,,0,1\n"
                     "..=1.0,,1,,,0,1\n"
                     "ok.dll=1.0,,1,..\\..\\evil.dll,,0,1\n"
                     "ok.dll=1.0,,1,sub/x.dll,,0,1\n"
                     "ok.dll=1.0,,1,.,,0,1\n"
                     "ok.dll=1.0,,1,ok.pk_,,0,1\n"
                     "[Shortcuts]\n"
                     "..\\..\\evil=C:\\app\\a.exe\n"
                     "sub/x=C:\\app\\a.exe\n"
                     "App=C:\\app\\a.exe\n"));
    ASSERT_EQ(1u, m_info.m_listFiles.size());
    EXPECT_EQ("ok.pk_", m_info.m_listFiles.front()->m_strSource);
    ASSERT_EQ(1u, m_info.m_listShortcuts.size());
    EXPECT_EQ("App", m_info.m_listShortcuts.front()->m_strName);
}

TEST_F(PackageInfoTest, FoldersAreWalkedBucketByBucket) {
    ASSERT_TRUE(Load("[Package]\nVer=1\n[Folders]\n"
                     "1=C:\\one,1\n"
                     "2=C:\\two\n"
                     "3=C:\\three,\n"
                     "#5=C:\\hash\n"
                     "17=${Target}\\seventeen,4\n"
                     "4294967295=C:\\wrapped\n"
                     "2=C:\\second,6\n"
                     "[Sources]\n1=pub\n1=pub/newer\n"));
    std::vector<int> ids;
    m_info.m_mapFolders.ForEach([&](int id, CPackageFolder* pFolder) {
        EXPECT_EQ(id, pFolder->m_nId);
        ids.push_back(id);
    });
    // Ids 0..15 share bucket 0, newest first; 17 is in bucket 1; -1 in bucket 15.
    // The second line with id 2 keeps the first one's place.
    EXPECT_EQ((std::vector<int>{0, 3, 2, 1, 17, -1}), ids);
    EXPECT_EQ("C:\\second", m_info.m_mapFolders.Lookup(2)->m_strPath);
    EXPECT_EQ(6, m_info.m_mapFolders.Lookup(2)->m_nFlags);
    EXPECT_EQ(1, m_info.m_mapFolders.Lookup(1)->m_nFlags);
    EXPECT_EQ("C:\\three", m_info.m_mapFolders.Lookup(3)->m_strPath);
    EXPECT_EQ(0, m_info.m_mapFolders.Lookup(3)->m_nFlags);
    // "#" starts a comment in Files only.
    EXPECT_EQ("C:\\hash", m_info.m_mapFolders.Lookup(0)->m_strPath);
    EXPECT_EQ("${Target}\\seventeen", m_info.m_mapFolders.Lookup(17)->m_strPath);
    EXPECT_EQ("C:\\wrapped", m_info.m_mapFolders.Lookup(-1)->m_strPath);
    EXPECT_EQ("pub/newer", *m_info.m_mapSources.Lookup(1));
}

TEST_F(PackageInfoTest, ShortcutsAndRegEntries) {
    ASSERT_TRUE(Load("[Package]\nVer=1\n"
                     "[Shortcuts]\n"
                     "App=${Target}\\app.exe,${Target}\\work,dir\n"
                     "Bare=C:\\x.exe\n"
                     "no equals sign\n"
                     "Trail=C:\\y.exe,\n"
                     "[RegEntries]\n"
                     "2147483650,SOFTWARE\\ZEP,Name=1,text,5\n"
                     "-2147483646,Key,V=4,42\n"
                     "only,one=1,x\n"
                     "2147483649,K,a,b=3,d,\n"
                     "1,K,V=7\n"
                     "2147483650,Software\\a=b,Name=1,x\n"));
    std::vector<const CPackageShortcut*> shortcuts(m_info.m_listShortcuts.begin(), m_info.m_listShortcuts.end());
    ASSERT_EQ(3u, shortcuts.size());
    EXPECT_EQ("App", shortcuts[0]->m_strName);
    EXPECT_EQ("${Target}\\app.exe", shortcuts[0]->m_strTarget);
    EXPECT_EQ("${Target}\\work,dir", shortcuts[0]->m_strWorkDir);
    EXPECT_EQ("C:\\x.exe", shortcuts[1]->m_strTarget);
    EXPECT_EQ("", shortcuts[1]->m_strWorkDir);
    EXPECT_EQ("Trail", shortcuts[2]->m_strName);
    EXPECT_EQ("", shortcuts[2]->m_strWorkDir);

    std::vector<const CPackageRegEntry*> entries(m_info.m_listRegEntries.begin(), m_info.m_listRegEntries.end());
    ASSERT_EQ(5u, entries.size());
    EXPECT_EQ(int(0x80000002u), entries[0]->m_nRoot);
    EXPECT_EQ("SOFTWARE\\ZEP", entries[0]->m_strKey);
    EXPECT_EQ("Name", entries[0]->m_strValueName);
    EXPECT_EQ(1, entries[0]->m_nType);
    EXPECT_EQ("text", entries[0]->m_strData);
    EXPECT_EQ(5, entries[0]->m_nFlags);
    // The signed decimal of the same handle.
    EXPECT_EQ(int(0x80000002u), entries[1]->m_nRoot);
    EXPECT_EQ("42", entries[1]->m_strData);
    EXPECT_EQ(0, entries[1]->m_nFlags);
    EXPECT_EQ("a,b", entries[2]->m_strValueName);
    EXPECT_EQ(3, entries[2]->m_nType);
    EXPECT_EQ("d", entries[2]->m_strData);
    EXPECT_EQ(0, entries[2]->m_nFlags);
    EXPECT_EQ(7, entries[3]->m_nType);
    EXPECT_EQ("", entries[3]->m_strData);
    // A key may hold "=": the value name starts after the key's comma.
    EXPECT_EQ("Software\\a=b", entries[4]->m_strKey);
    EXPECT_EQ("Name", entries[4]->m_strValueName);
    EXPECT_EQ(1, entries[4]->m_nType);
    EXPECT_EQ("x", entries[4]->m_strData);
}

TEST_F(PackageInfoTest, FilesSectionIsCutAtItsBuffer) {
    std::string text = "[Package]\nVer=1\n[Folders]\n1=C:\\a\n[Sources]\n0=pub\n[Files]\n";
    const int lines = 700;
    char line[128];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "file%04d_with_a_long_name_for_its_line.dll=1.0.0.0,,1,,,0,1\n", i);
        text += line;
    }
    const size_t lineLength = std::strlen(line);
    ASSERT_TRUE(Load(text));
    const std::vector<std::string> names = FileNames();
    // Whole lines that fit into 32767 characters are read, in order; the rest is lost.
    const size_t whole = 32767 / lineLength - 1;
    ASSERT_GE(names.size(), whole);
    EXPECT_LT(names.size(), size_t(lines));
    for (size_t i = 0; i < names.size(); ++i) {
        std::snprintf(line, sizeof line, "file%04d_with_a_long_name_for_its_line.dll", int(i));
        EXPECT_EQ(line, names[i]);
    }
}

TEST_F(PackageInfoTest, DateTexts) {
    const char* const readable[][2] = {
        {"12/24/1999 10:30:00", "1999-12-24 10:30:00"},
        {"12/24/1999", "1999-12-24 00:00:00"},
        {"1/2/2003 1:02:03 PM", "2003-01-02 13:02:03"},
        {"2/29/2024 23:59:59", "2024-02-29 23:59:59"},
        {"7/4/2010 12:00:00", "2010-07-04 12:00:00"},
        {"24 Dec 1999 10:30", "1999-12-24 10:30:00"},
    };
    for (const auto& c : readable) EXPECT_EQ(c[1], LocalText(CPackageInfo::ParseFileDate(c[0]))) << c[0];
    // Unreadable texts give 0; times before 1970 or past 2038 give -1.
    const std::pair<const char*, int32_t> outside[] = {
        {"not a date", 0},   {"", 0},           {"13/45/2000", 0},          {"12/30/1899", -1},
        {"1/1/1950 12:00:00", -1}, {"1/1/2100", -1}, {"12/31/9999 23:59:59", -1},
    };
    for (const auto& c : outside) EXPECT_EQ(c.second, CPackageInfo::ParseFileDate(c.first)) << c.first;
}

TEST_F(PackageInfoTest, InstalledComponentTakesItsFolderFromTheRegistry) {
    const std::string key = ZEP_CLIENT_KEY "\\PkgInfoTestComp";
    DeleteRegKey(key.c_str());
    CComponent component;
    component.m_nInstalledVersion = 0x0102;
    {
        CPackageInfo info("PkgInfoTestComp", &component);
        EXPECT_EQ("", info.m_strTarget);
    }
    ASSERT_TRUE(WriteRegString(key.c_str(), "Path", "C:\\Program Files\\ZEP\\Comp"));
    CPackageInfo installed("PkgInfoTestComp", &component);
    EXPECT_EQ("C:\\Program Files\\ZEP\\Comp", installed.m_strTarget);
    EXPECT_EQ(&component, installed.m_pComponent);
    EXPECT_EQ("PkgInfoTestComp", installed.m_strKey);
    EXPECT_TRUE(installed.m_bNeedInfo);
    EXPECT_FALSE(installed.m_bQueueFailed);
    EXPECT_EQ(0, installed.m_nVersion);

    component.m_nInstalledVersion = 0;
    CPackageInfo notInstalled("PkgInfoTestComp", &component);
    EXPECT_EQ("", notInstalled.m_strTarget);
    DeleteRegKey(key.c_str());
}
