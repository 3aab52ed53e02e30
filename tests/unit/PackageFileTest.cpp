// Compressed package files: round trips against streams of the bzip2 command
// (made at build time into bin\bzip2-fixtures) and of the packing tool, the
// probe, and damaged files that must fail without output and without ending
// the process.
#include "install/PackageFile.h"
#include "install/PackageInfo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const char* const kInputs[] = {"empty", "one-byte", "random-1m", "text-10m"};

std::string Fixture(const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(ReadFile(BinDir() + "\\bzip2-fixtures\\" + name, bytes)) << name;
    return bytes;
}

std::string BigEndian(uint32_t value) {
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return std::string(bytes, 4);
}

// A compressed package file around a standard bzip2 stream ("BZh" + digit + blocks).
std::string MakePackage(const std::string& text, uint32_t time, uint32_t high, uint32_t low,
                        const std::string& stream) {
    return "MSF" + text + std::string(1, '\0') + BigEndian(time) + BigEndian(high) + BigEndian(low) + stream.substr(2);
}

}  // namespace

class PackageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_src = m_dir + "\\src";
        m_dst = m_dir + "\\dst";
        ::CreateDirectoryA(m_src.c_str(), nullptr);
        ::CreateDirectoryA(m_dst.c_str(), nullptr);
    }

    // Runs the packing tool's Windows build; its output lands in `output`.
    int RunZeppack(const std::string& arguments, std::string& output) {
        const std::string outputPath = m_dir + "\\zeppack.out";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE hOutput = ::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, hOutput);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = hOutput;
        startup.hStdError = hOutput;
        PROCESS_INFORMATION process = {};
        std::string commandLine = "\"" + BinDir() + "\\zeppack.exe\" " + arguments;
        DWORD exitCode = DWORD(-1);
        if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &process)) {
            EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, 120000));
            ::GetExitCodeProcess(process.hProcess, &exitCode);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
        } else {
            ADD_FAILURE() << "cannot start " << commandLine;
        }
        ::CloseHandle(hOutput);
        ReadFile(outputPath, output);
        return int(exitCode);
    }

    // Every damaged file: false, no output (an older one is deleted too).
    void ExpectUnpackFails(const std::string& bytes, const std::string& label) {
        ASSERT_TRUE(WriteFile(m_src + "\\bad.pk_", bytes));
        ASSERT_TRUE(WriteFile(m_dst + "\\bad.pk_", "older output"));
        EXPECT_FALSE(UnpackPackageFile(m_src, "bad.pk_", m_dst)) << label;
        EXPECT_FALSE(FileExists(m_dst + "\\bad.pk_")) << label;
    }

    std::string Unpacked(const std::string& name) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(m_dst + "\\" + name, bytes)) << name;
        return bytes;
    }

    std::string m_dir, m_src, m_dst;
};

TEST_F(PackageFileTest, RoundTripOfBzip2CommandStreams) {
    for (const char* input : kInputs) {
        const std::string original = Fixture(input);
        for (const char* digit : {"1", "9"}) {
            const std::string label = std::string(input) + "." + digit;
            const std::string stream = Fixture(label + ".bz2");
            ASSERT_TRUE(WriteFile(m_src + "\\" + label, MakePackage("", 946710000, 0x00010002, 0x00030004, stream)));
            int64_t version = 0;
            int32_t time = 0;
            EXPECT_TRUE(ProbePackageFile(m_src + "\\" + label, version, time)) << label;
            EXPECT_EQ(0x0001000200030004LL, version) << label;
            EXPECT_EQ(946710000, time) << label;
            ASSERT_TRUE(UnpackPackageFile(m_src, label, m_dst)) << label;
            EXPECT_TRUE(Unpacked(label) == original) << label;
        }
    }
}

TEST_F(PackageFileTest, RoundTripOfPackingToolOutputAndItsFilesLine) {
    for (const char* input : kInputs) {
        const std::string original = Fixture(input);
        for (const char* digit : {"1", "9"}) {
            const std::string package = std::string(input) + digit + ".pk_";
            std::string line;
            ASSERT_EQ(0, RunZeppack(std::string("-b ") + digit + " -t 946713599 -v 1.2.32768.4 -s 3 -f 1 -n " + input +
                                        ".dll \"" + BinDir() + "\\bzip2-fixtures\\" + input + "\" \"" + m_src + "\\" +
                                        package + "\"",
                                    line))
                << line;
            int64_t version = 0;
            int32_t time = 0;
            EXPECT_TRUE(ProbePackageFile(m_src + "\\" + package, version, time)) << package;
            EXPECT_EQ(0x0001000280000004LL, version) << package;
            EXPECT_EQ(946713599, time) << package;
            ASSERT_TRUE(UnpackPackageFile(m_src, package, m_dst)) << package;
            EXPECT_TRUE(Unpacked(package) == original) << package;

            // The printed line reads back to what the package holds.
            ASSERT_TRUE(WriteFile(m_dir + "\\info.ini",
                                  "[Package]\nVer=1\n[Folders]\n1=C:\\app\n[Sources]\n3=pub\n[Files]\n" + line));
            CPackageInfo info("comp", nullptr);
            ASSERT_TRUE(info.Load(m_dir + "\\info.ini"));
            ASSERT_EQ(1u, info.m_listFiles.size()) << line;
            const CPackageFile* pFile = info.m_listFiles.front();
            EXPECT_EQ(std::string(input) + ".dll", pFile->m_strName);
            EXPECT_EQ(package, pFile->m_strSource);
            EXPECT_EQ(version, pFile->m_nVersion);
            EXPECT_EQ(time, pFile->m_tDate) << line;
            EXPECT_EQ(int(original.size()), pFile->m_nSize);
            std::string packed;
            ReadFile(m_src + "\\" + package, packed);
            EXPECT_EQ(int(packed.size()), pFile->m_nPackedSize);
        }
    }
}

TEST_F(PackageFileTest, PackingToolRefusesWhatItCannotRead) {
    std::string output;
    EXPECT_EQ(1, RunZeppack("\"" + m_src + "\\missing.dll\" \"" + m_dst + "\\out.pk_\"", output));
    EXPECT_NE(std::string::npos, output.find("cannot read")) << output;
    EXPECT_EQ(1, RunZeppack("\"" + m_src + "\" \"" + m_dst + "\\out.pk_\"", output));
    EXPECT_NE(std::string::npos, output.find("not a regular file")) << output;
    EXPECT_FALSE(FileExists(m_dst + "\\out.pk_"));
}

TEST_F(PackageFileTest, ProbeReadsTheHeader) {
    const std::string stream = Fixture("one-byte.9.bz2");
    // The low half's top bit must not reach the high half.
    ASSERT_TRUE(WriteFile(m_src + "\\top.pk_", MakePackage("any text", 0xFFFFFFFF, 0x00010002, 0x80000001, stream)));
    int64_t version = 0;
    int32_t time = 0;
    ASSERT_TRUE(ProbePackageFile(m_src + "\\top.pk_", version, time));
    EXPECT_EQ(0x00010002, version >> 32);
    EXPECT_EQ(0x0001000280000001LL, version);
    EXPECT_EQ(-1, time);

    // Block digit 0: no package, but the probe has read version and time.
    std::string zero = MakePackage("", 1234, 5, 6, stream);
    zero[zero.size() - stream.size() + 3] = '0';
    ASSERT_TRUE(WriteFile(m_src + "\\zero.pk_", zero));
    EXPECT_FALSE(ProbePackageFile(m_src + "\\zero.pk_", version, time));
    EXPECT_EQ((int64_t(5) << 32) | 6, version);
    EXPECT_EQ(1234, time);
    ExpectUnpackFails(zero, "digit 0");

    // Not a package, or one that ends inside its header: outputs untouched.
    const std::string notPackages[] = {
        std::string("MZ\x90\0\x03\0\0\0", 8), stream, "", "MS", "MSFsome text", MakePackage("t", 1, 2, 3, stream).substr(0, 12)};
    for (const std::string& bytes : notPackages) {
        ASSERT_TRUE(WriteFile(m_src + "\\not.pk_", bytes));
        version = 77;
        time = 88;
        EXPECT_FALSE(ProbePackageFile(m_src + "\\not.pk_", version, time)) << bytes;
        EXPECT_EQ(77, version) << bytes;
        EXPECT_EQ(88, time) << bytes;
        ExpectUnpackFails(bytes, "not a package");
    }
    EXPECT_FALSE(ProbePackageFile(m_src + "\\missing.pk_", version, time));
}

TEST_F(PackageFileTest, InputFolderAndOutputRules) {
    const std::string package = MakePackage("", 1, 0, 0, Fixture("one-byte.1.bz2"));
    ASSERT_TRUE(WriteFile(m_src + "\\a.pk_", package));
    // A trailing backslash gets no second one.
    ASSERT_TRUE(UnpackPackageFile(m_src + "\\", "a.pk_", m_dst + "\\"));
    EXPECT_EQ("Z", Unpacked("a.pk_"));
    // An existing output is replaced.
    ASSERT_TRUE(WriteFile(m_dst + "\\a.pk_", "a much longer older output"));
    ASSERT_TRUE(UnpackPackageFile(m_src, "a.pk_", m_dst));
    EXPECT_EQ("Z", Unpacked("a.pk_"));

    // No input, or a folder as input: the output is not touched.
    ASSERT_TRUE(WriteFile(m_dst + "\\missing.pk_", "kept"));
    EXPECT_FALSE(UnpackPackageFile(m_src, "missing.pk_", m_dst));
    EXPECT_EQ("kept", Unpacked("missing.pk_"));
    ASSERT_TRUE(::CreateDirectoryA((m_src + "\\folder.pk_").c_str(), nullptr));
    EXPECT_FALSE(UnpackPackageFile(m_src, "folder.pk_", m_dst));
    EXPECT_FALSE(FileExists(m_dst + "\\folder.pk_"));
    // An output that cannot be created.
    EXPECT_FALSE(UnpackPackageFile(m_src, "a.pk_", m_dst + "\\no such folder"));
    // The package's own folder, however spelt: the package stays intact.
    EXPECT_FALSE(UnpackPackageFile(m_src, "a.pk_", m_dir + "\\dst\\..\\src"));
    std::string kept;
    ASSERT_TRUE(ReadFile(m_src + "\\a.pk_", kept));
    EXPECT_TRUE(kept == package);
}

TEST_F(PackageFileTest, DamagedStreamsFailWithoutOutput) {
    std::mt19937 random(5);
    std::string original(100000, '\0');
    for (char& c : original) c = char(random());
    ASSERT_TRUE(WriteFile(m_src + "\\original.bin", original));
    std::string output;
    ASSERT_EQ(0, RunZeppack("-b 1 -T \"\" \"" + m_src + "\\original.bin\" \"" + m_src + "\\good.pk_\"", output))
        << output;
    std::string package;
    ASSERT_TRUE(ReadFile(m_src + "\\good.pk_", package));
    const size_t body = 3 + 1 + 12 + 2;
    ASSERT_GT(package.size(), body + 5000);

    std::string flipped = package;
    flipped[body + 5000] ^= 0x10;
    ExpectUnpackFails(flipped, "flipped byte in a block");
    // The combined CRC takes the whole of the last byte but one.
    std::string crc = package;
    crc[crc.size() - 2] ^= char(0xFF);
    ExpectUnpackFails(crc, "combined CRC");
    ExpectUnpackFails(package.substr(0, 2), "two bytes");
    ExpectUnpackFails(MakePackage("some text", 0, 0, 0, "BZh9").substr(0, 7), "ends inside its text");
    int cuts = 0;
    for (size_t cut = 997; cut < package.size(); cut += 997, ++cuts) ExpectUnpackFails(package.substr(0, cut), "cut");
    EXPECT_EQ(int(package.size() / 997), cuts);

    // Still here, and the intact package still decodes.
    ASSERT_TRUE(UnpackPackageFile(m_src, "good.pk_", m_dst));
    EXPECT_TRUE(Unpacked("good.pk_") == original);
}
