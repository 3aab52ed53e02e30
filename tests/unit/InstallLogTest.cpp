// The install log against real files: record bytes, navigation by kind, the
// ".new~" replacement and the deletion of a log that was read.
#include "install/InstallLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace testsupport;

class InstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_path = m_dir + "\\comp.DeIsLog";
    }
    std::string Contents(const std::string& path) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(path, bytes)) << path;
        return bytes;
    }
    std::string m_dir, m_path;
};

static std::string Bytes(const char* data, size_t size) { return std::string(data, size); }

TEST_F(InstallLogTest, RecordsAreByteExact) {
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
        EXPECT_TRUE(log.AddFile(3, "a.dll", 1));
        EXPECT_TRUE(log.AddFolder(70000, "C:\\x", 0x10005));
        EXPECT_TRUE(log.AddLink("abcde", 0));
        ASSERT_TRUE(log.Commit());
    }
    const std::string file = Bytes("F\x03\x00\x01\x00\x06\x00" "a.dll\0", 13);
    // 70000 keeps its low 16 bits, 4464 = 0x1170; so do the flags.
    const std::string folder = Bytes("D\x70\x11\x05\x00\x05\x00" "C:\\x\0", 12);
    const std::string link = Bytes("L\x00\x00\x06\x00" "abcde\0", 11);
    EXPECT_EQ(file + folder + link, Contents(m_path));
}

TEST_F(InstallLogTest, ReadsEachKindPastTheOthers) {
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
        log.AddFile(1, "first.dll", 0);
        log.AddFile(70000, "second.dll", 1);
        log.AddFolder(1, "C:\\Program Files\\ZEP", 1);
        log.AddLink("C:\\menu\\App.lnk", 0);
        ASSERT_TRUE(log.Commit());
    }
    CInstallLog log;
    ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_READ));
    CInstallLogRecord record;
    ASSERT_TRUE(log.ReadFirstFolder(record));
    EXPECT_EQ(1, record.m_nFolderId);
    EXPECT_EQ(1, record.m_nFlags);
    EXPECT_EQ("C:\\Program Files\\ZEP", record.m_strText);
    EXPECT_FALSE(log.ReadNextFolder(record));

    ASSERT_TRUE(log.ReadFirstFile(record));
    EXPECT_EQ("first.dll", record.m_strText);
    ASSERT_TRUE(log.ReadNextFile(record));
    EXPECT_EQ("second.dll", record.m_strText);
    EXPECT_EQ(4464, record.m_nFolderId);
    EXPECT_EQ(1, record.m_nFlags);
    EXPECT_FALSE(log.ReadNextFile(record));

    ASSERT_TRUE(log.ReadFirstLink(record));
    EXPECT_EQ("C:\\menu\\App.lnk", record.m_strText);
    EXPECT_EQ(0, record.m_nFlags);
    EXPECT_FALSE(log.ReadNextLink(record));
    // A read-first starts over whatever was read before.
    ASSERT_TRUE(log.ReadFirstFile(record));
    EXPECT_EQ("first.dll", record.m_strText);
}

TEST_F(InstallLogTest, EmptyLogHasNoRecords) {
    ASSERT_TRUE(WriteFile(m_path, ""));
    CInstallLog log;
    ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_READ));
    CInstallLogRecord record;
    EXPECT_FALSE(log.ReadFirstFolder(record));
    EXPECT_FALSE(log.ReadFirstFile(record));
    EXPECT_FALSE(log.ReadFirstLink(record));
    EXPECT_FALSE(log.ReadNextFile(record));
}

TEST_F(InstallLogTest, NewLogReplacesTheOldOnlyOnCommit) {
    ASSERT_TRUE(WriteFile(m_path, "previous"));
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
        log.AddFile(1, "a.dll", 0);
        EXPECT_EQ("previous", Contents(m_path));
        EXPECT_TRUE(FileExists(m_path + ".new~"));
        // Never committed: the object's end throws the new log away.
    }
    EXPECT_FALSE(FileExists(m_path + ".new~"));
    EXPECT_EQ("previous", Contents(m_path));

    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
        log.AddFile(1, "a.dll", 0);
        log.Close();
        EXPECT_FALSE(FileExists(m_path + ".new~"));
        EXPECT_EQ("previous", Contents(m_path));
    }

    CInstallLog log;
    ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
    log.AddFile(1, "a.dll", 0);
    ASSERT_TRUE(log.Commit());
    EXPECT_FALSE(FileExists(m_path + ".new~"));
    EXPECT_EQ(Bytes("F\x01\x00\x00\x00\x06\x00" "a.dll\0", 13), Contents(m_path));
    // Committed: nothing is left for Close or the destructor to delete.
    log.Close();
    EXPECT_TRUE(FileExists(m_path));
}

TEST_F(InstallLogTest, ClosingAReadLogDeletesItOnce) {
    ASSERT_TRUE(WriteFile(m_path, ""));
    CInstallLog log;
    ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_READ));
    log.Close();
    EXPECT_FALSE(FileExists(m_path));
    // A new file under the same name is not the closed log's business.
    ASSERT_TRUE(WriteFile(m_path, "new"));
    log.Close();
    EXPECT_TRUE(FileExists(m_path));
    {
        CInstallLog reader;
        ASSERT_TRUE(reader.Open(m_path, CInstallLog::MODE_READ));
    }
    EXPECT_FALSE(FileExists(m_path));
}

TEST_F(InstallLogTest, FailedOpenLeavesNothingToCommit) {
    CInstallLog reader;
    EXPECT_FALSE(reader.Open(m_path, CInstallLog::MODE_READ));
    EXPECT_EQ(CInstallLog::MODE_NONE, reader.m_nMode);

    ASSERT_TRUE(WriteFile(m_path, "previous"));
    // A folder in the way of the new log makes its creation fail.
    ASSERT_TRUE(::CreateDirectoryA((m_path + ".new~").c_str(), nullptr));
    CInstallLog log;
    EXPECT_FALSE(log.Open(m_path, CInstallLog::MODE_WRITE));
    EXPECT_EQ(CInstallLog::MODE_NONE, log.m_nMode);
    EXPECT_FALSE(log.AddFile(1, "a.dll", 0));
    EXPECT_FALSE(log.Commit());
    EXPECT_EQ("previous", Contents(m_path));
}

TEST_F(InstallLogTest, UnknownKindOrCutRecordEndsTheReading) {
    const std::string file = Bytes("F\x01\x00\x00\x00\x06\x00" "a.dll\0", 13);
    const std::string folder = Bytes("D\x01\x00\x00\x00\x05\x00" "C:\\x\0", 12);
    ASSERT_TRUE(WriteFile(m_path, file + "X" + folder + file));
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_READ));
        CInstallLogRecord record;
        ASSERT_TRUE(log.ReadFirstFile(record));
        EXPECT_EQ("a.dll", record.m_strText);
        EXPECT_FALSE(log.ReadNextFile(record));
        EXPECT_FALSE(log.ReadNextFile(record));
        EXPECT_FALSE(log.ReadFirstFolder(record));
        EXPECT_FALSE(log.ReadFirstLink(record));
    }

    // Cut inside the text of the second record, then inside the head.
    for (size_t cut : {file.size() + 9, file.size() + 3}) {
        ASSERT_TRUE(WriteFile(m_path, file + (file + folder).substr(0, cut - file.size())));
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_READ));
        CInstallLogRecord record;
        ASSERT_TRUE(log.ReadFirstFile(record)) << cut;
        EXPECT_FALSE(log.ReadNextFile(record)) << cut;
        EXPECT_FALSE(log.ReadFirstFolder(record)) << cut;
    }
}
