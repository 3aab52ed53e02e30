// The install log against real files: record bytes, reading by kind, damaged
// logs, the ".new~" replacement and the deletion of a log that was read.
#include "install/InstallLog.h"
#include "support/InstallTestPackage.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const std::string kFileA("F\x01\x00\x00\x00\x06\x00" "a.dll\0", 13);

class InstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "\\comp.DeIsLog";
    }
    std::string m_path;
};

TEST_F(InstallLogTest, RecordsAreByteExactAndReadBackByKind) {
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
        EXPECT_TRUE(log.AddFile(3, "a.dll", 1));
        EXPECT_TRUE(log.AddFolder(70000, "C:\\x", 0x10005));
        EXPECT_TRUE(log.AddLink("abcde", 0));
        EXPECT_TRUE(log.AddFile(1, "a.dll", 0));
        ASSERT_TRUE(log.Commit());
    }
    // 70000 keeps its low 16 bits, 4464 = 0x1170; so do the flags.
    EXPECT_EQ(std::string("F\x03\x00\x01\x00\x06\x00" "a.dll\0" "D\x70\x11\x05\x00\x05\x00" "C:\\x\0"
                          "L\x00\x00\x06\x00" "abcde\0", 36) + kFileA,
              FileText(m_path));
    EXPECT_EQ((Lines{"F 3 1 a.dll", "F 1 0 a.dll", "D 4464 5 C:\\x", "L 0 0 abcde"}), ReadInstallLog(m_path));
}

TEST_F(InstallLogTest, UnknownKindOrCutRecordEndsTheReading) {
    const std::string folder("D\x01\x00\x00\x00\x05\x00" "C:\\x\0", 12);
    const struct { const char* label; std::string bytes; Lines records; } logs[] = {
        {"empty", "", {}},
        {"unknown kind", kFileA + "X" + folder + kFileA, {"F 1 0 a.dll"}},
        {"cut inside a text", kFileA + kFileA.substr(0, 9), {"F 1 0 a.dll"}},
        {"cut inside a head", kFileA + kFileA.substr(0, 3), {"F 1 0 a.dll"}},
    };
    for (const auto& log : logs) {
        ASSERT_TRUE(WriteFile(m_path, log.bytes));
        EXPECT_EQ(log.records, ReadInstallLog(m_path)) << log.label;
    }
}

TEST_F(InstallLogTest, NewLogReplacesTheOldOnlyOnCommit) {
    const char* const ends[] = {"destroyed", "closed", "committed"};
    for (int end = 0; end < 3; ++end) {
        SCOPED_TRACE(ends[end]);
        ASSERT_TRUE(WriteFile(m_path, "previous"));
        {
            CInstallLog log;
            ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_WRITE));
            log.AddFile(1, "a.dll", 0);
            EXPECT_EQ("previous", FileText(m_path));
            EXPECT_TRUE(FileExists(m_path + ".new~"));
            if (end == 2) {
                EXPECT_TRUE(log.Commit());
            }
            if (end >= 1) log.Close();  // after a commit nothing is left for it to delete
        }
        EXPECT_FALSE(FileExists(m_path + ".new~"));
        EXPECT_EQ(end == 2 ? kFileA : "previous", FileText(m_path));
    }
}

TEST_F(InstallLogTest, ClosingAReadLogDeletesItOnceAndAFailedOpenLeavesNothingToCommit) {
    ASSERT_TRUE(WriteFile(m_path, ""));
    CInstallLog log;
    ASSERT_TRUE(log.Open(m_path, CInstallLog::MODE_READ));
    log.Close();
    EXPECT_FALSE(log.Open(m_path, CInstallLog::MODE_READ));
    // A new file under the same name is not the closed log's business.
    ASSERT_TRUE(WriteFile(m_path, "previous"));
    log.Close();
    // A folder in the way of the new log makes its creation fail.
    ASSERT_TRUE(::CreateDirectoryA((m_path + ".new~").c_str(), nullptr));
    EXPECT_FALSE(log.Open(m_path, CInstallLog::MODE_WRITE));
    EXPECT_FALSE(log.AddFile(1, "a.dll", 0));
    EXPECT_FALSE(log.Commit());
    EXPECT_EQ("previous", FileText(m_path));
}

}  // namespace
