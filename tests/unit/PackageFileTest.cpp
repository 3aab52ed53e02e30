// Compressed package files: round trips against streams of the bzip2 command
// (made at build time into bin\bzip2-fixtures) and of the packing tool, the
// probe, and damaged files that must fail without output and without ending
// the process, in either decoder.
#include "app/SetupRun.h"
#include "install/PackageFile.h"
#include "install/PackageInfo.h"
#include "install/ParallelDecode.h"
#include "support/ChildProcess.h"
#include "support/PackageTestFiles.h"
#include "support/TestSupport.h"

#include <bzlib.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

std::string Fixture(const std::string& name) { return FileText(BinDir() + "\\bzip2-fixtures\\" + name); }

std::string BigEndian(uint32_t value) {
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return std::string(bytes, 4);
}

// A compressed package file around a standard bzip2 stream ("BZh" + digit + blocks).
std::string MakePackage(const std::string& text, uint32_t time, uint32_t high, uint32_t low,
                        const std::string& stream) {
    return "MSF" + text + std::string(1, '\0') + BigEndian(time) + BigEndian(high) + BigEndian(low) + stream.substr(2);
}

const uint64_t kBlockMagic = 0x314159265359, kEndMagic = 0x177245385090;

// Where the 48-bit pattern starts at or after bit `from`, at any bit offset; npos when nowhere.
size_t FindBits(const std::string& bytes, uint64_t pattern, size_t from) {
    uint64_t window = 0;
    for (size_t bit = 0; bit < bytes.size() * 8; ++bit) {
        window = (window << 1 | (uint8_t(bytes[bit / 8]) >> (7 - bit % 8) & 1)) & 0xFFFFFFFFFFFF;
        if (bit >= from + 47 && window == pattern) return bit - 47;
    }
    return std::string::npos;
}

std::string FlipBit(std::string bytes, size_t bit) {
    bytes[bit / 8] ^= char(0x80 >> bit % 8);
    return bytes;
}

// The bzip2 stream of data at block size digit 1, by libbz2.
std::string Compress(const std::string& data) {
    std::string stream(data.size() + data.size() / 100 + 600, '\0');
    unsigned size = unsigned(stream.size());
    EXPECT_EQ(BZ_OK, BZ2_bzBuffToBuffCompress(&stream[0], &size, const_cast<char*>(data.data()), unsigned(data.size()),
                                              1, 0, 0));
    return stream.substr(0, size);
}

// `size` bytes from `alphabet`, none like the one before it (no runs, whose lengths would join the block's bytes).
std::string RandomText(const std::string& alphabet, size_t size, std::mt19937& random) {
    std::string text;
    while (text.size() < size) {
        const char c = alphabet[random() % alphabet.size()];
        if (text.empty() || c != text.back()) text.push_back(c);
    }
    return text;
}

class PackageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_src = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_dst = m_src + "\\dst";
        ::CreateDirectoryA(m_dst.c_str(), nullptr);
    }

    // Version and time as the probe reads them from src\name.
    std::string Probe(const std::string& name) {
        int64_t version = 77;
        int32_t time = 88;
        const bool package = ProbePackageFile(m_src + "\\" + name, version, time);
        char text[64] = "untouched";
        if (version != 77 || time != 88)
            std::snprintf(text, sizeof text, "%016llX %d", (unsigned long long)version, int(time));
        return (package ? "" : "no package, ") + std::string(text);
    }

    // The decoded src\name, or "<failed>".
    std::string Unpack(const std::string& name, const std::string& dest) {
        return UnpackPackageFile(m_src, name, dest) ? FileText(dest + "\\" + name) : "<failed>";
    }

    std::string m_src, m_dst;
};

TEST_F(PackageFileTest, RoundTripsOfBzip2CommandStreamsAndPackingToolOutput) {
    for (const char* input : {"empty", "one-byte", "random-1m", "text-10m"}) {
        for (const char* digit : {"1", "9"}) {
            const std::string name = std::string(input) + "." + digit;
            ASSERT_TRUE(WriteFile(m_src + "\\" + name,
                                  MakePackage("", 946710000, 0x00010002, 0x00030004, Fixture(name + ".bz2"))));
            EXPECT_EQ("0001000200030004 946710000", Probe(name));
            EXPECT_TRUE(Unpack(name, m_dst) == Fixture(input)) << name;
        }
    }
    // The packing tool as built for Windows: its package decodes, and the
    // Files line it prints reads back to what the package holds.
    const std::string tool = BinDir() + "\\zeppack.exe", input = BinDir() + "\\bzip2-fixtures\\random-1m";
    std::string line;
    DWORD exitCode = 99;
    ASSERT_TRUE(RunChild("\"" + tool + "\" -b 1 -t 946713599 -v 1.2.32768.4 -s 3 -f 1 -n random.dll \"" + input +
                             "\" \"" + m_src + "\\random.pk_\"",
                         "", 120000, exitCode, &line));
    ASSERT_EQ(0u, exitCode) << line;
    EXPECT_EQ("0001000280000004 946713599", Probe("random.pk_"));
    EXPECT_TRUE(Unpack("random.pk_", m_dst) == Fixture("random-1m"));
    const std::string info = "[Package]\nVer=1\n[Folders]\n1=C:\\app\n[Sources]\n3=pub\n[Files]\n" + line;
    ASSERT_TRUE(WriteFile(m_src + "\\info.ini", info));
    CSetupRun run;
    CPackageInfo read(run, "comp", nullptr);
    ASSERT_TRUE(read.Load(m_src + "\\info.ini") && read.m_listFiles.size() == 1) << line;
    const CPackageFile& f = *read.m_listFiles.front();
    EXPECT_EQ("random.dll random.pk_ 946713599 " + std::to_string(Fixture("random-1m").size()) + " " +
                  std::to_string(FileText(m_src + "\\random.pk_").size()),
              f.m_strName + " " + f.m_strSource + " " + std::to_string(f.m_tDate) + " " + std::to_string(f.m_nSize) +
                  " " + std::to_string(f.m_nPackedSize));
    EXPECT_EQ(0x0001000280000004LL, f.m_nVersion) << line;
}

TEST_F(PackageFileTest, ProbeReadsTheHeaderAndOnlyPackagesDecode) {
    const std::string stream = Fixture("one-byte.9.bz2");
    std::string digitZero = MakePackage("", 1234, 5, 6, stream);
    digitZero[digitZero.size() - stream.size() + 3] = '0';
    // The low half's top bit must not reach the high half. With block digit
    // 0 there is no package, but the probe has read version and time; not a
    // package, or one that ends inside its header: nothing read.
    const struct { const char* label; std::string bytes; const char* probe; } files[] = {
        {"top bits", MakePackage("any text", 0xFFFFFFFF, 0x00010002, 0x80000001, stream), "0001000280000001 -1"},
        {"block digit 0", digitZero, "no package, 0000000500000006 1234"},
        {"program", std::string("MZ\x90\0\x03\0\0\0", 8), "no package, untouched"},
        {"bare stream", stream, "no package, untouched"}, {"empty", "", "no package, untouched"},
        {"magic cut", "MS", "no package, untouched"}, {"ends inside its text", "MSFsome text", "no package, untouched"},
        {"ends inside its header", MakePackage("t", 1, 2, 3, stream).substr(0, 12), "no package, untouched"},
    };
    for (const auto& file : files) {
        ASSERT_TRUE(WriteFile(m_src + "\\probe.pk_", file.bytes));
        EXPECT_EQ(file.probe, Probe("probe.pk_")) << file.label;
        if (std::string(file.probe).find("no package") != 0) continue;
        // Not decoded, and an older output of the name is deleted.
        ASSERT_TRUE(WriteFile(m_dst + "\\probe.pk_", "older output"));
        EXPECT_EQ("<failed>", Unpack("probe.pk_", m_dst)) << file.label;
        EXPECT_FALSE(FileExists(m_dst + "\\probe.pk_")) << file.label;
    }
    EXPECT_EQ("no package, untouched", Probe("missing.pk_"));
}

TEST_F(PackageFileTest, InputFolderAndOutputRules) {
    const std::string package = MakePackage("", 1, 0, 0, Fixture("one-byte.1.bz2"));
    ASSERT_TRUE(WriteFile(m_src + "\\a.pk_", package));
    // An existing output is replaced.
    ASSERT_TRUE(WriteFile(m_dst + "\\a.pk_", "a much longer older output"));
    EXPECT_EQ("Z", Unpack("a.pk_", m_dst));
    // No input, or a folder as input: the output is not touched.
    ASSERT_TRUE(WriteFile(m_dst + "\\missing.pk_", "kept"));
    EXPECT_EQ("<failed>", Unpack("missing.pk_", m_dst));
    EXPECT_EQ("kept", FileText(m_dst + "\\missing.pk_"));
    ASSERT_TRUE(::CreateDirectoryA((m_src + "\\folder.pk_").c_str(), nullptr));
    EXPECT_EQ("<failed>", Unpack("folder.pk_", m_dst));
    EXPECT_FALSE(FileExists(m_dst + "\\folder.pk_"));
    EXPECT_EQ("<failed>", Unpack("a.pk_", m_dst + "\\no such folder"));
    // An output path past the supported length fails whole, leaving no cut name behind.
    EXPECT_FALSE(UnpackPackageFile(m_src, "a.pk_", m_dst, std::string(1024, 'o')));
    WIN32_FIND_DATAA found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, ::FindFirstFileA((m_dst + "\\o*").c_str(), &found));
    // The package's own folder, however spelt: the package stays intact.
    EXPECT_EQ("<failed>", Unpack("a.pk_", m_dst + "\\.."));
    EXPECT_TRUE(FileText(m_src + "\\a.pk_") == package);
}

// The parallel decoder against the sequential one on intact, odd and damaged streams of several blocks: the same
// bytes, the same refusals. Alone, on the block stream, the parallel one decodes only what it can vouch for and
// leaves the rest to the sequential one. A block's head holds bitmaps of the bytes in it, so a block of chosen
// bytes spells a magic there.
TEST_F(PackageFileTest, ParallelAndSequentialDecodersAgreeOnEveryForm) {
    std::mt19937 random(7);
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[size_t(i)] = char(i);
    const std::string plain = RandomText(all, 450000, random), mixed = RandomText(all, 60000, random);
    const std::string spellsBlock = mixed + RandomText("!#$'*-.13679;<?p\x90\xF0", 200000, random);
    const std::string spellsEnd = mixed + RandomText("157:;<QSX[`p\x90\xA0\xB0\xE0", 200000, random);
    const std::string runs = std::string(3000000, 'a') + plain;
    const std::string package = MakePackage("", 1, 0, 0, Compress(plain));
    std::vector<size_t> blocks;
    for (size_t at = 0; (at = FindBits(package, kBlockMagic, at)) != std::string::npos; ++at) blocks.push_back(at);
    const size_t end = FindBits(package, kEndMagic, 0);
    ASSERT_EQ(5u, blocks.size());
    ASSERT_NE(std::string::npos, end);
    std::string digitTwo = package, letter = package;
    digitTwo[17] = '2';
    letter[16] = 'H';
    const std::string middleOf3 = package.substr(0, (blocks[2] + blocks[3]) / 16);
    const std::string magicIn3 = middleOf3 + "1AY&SY" + package.substr(middleOf3.size() + 6);
    const struct { const char* label; std::string bytes, expected; bool alone; uint64_t limit = ~0ull; } forms[] = {
        {"intact", package, plain, true},
        {"decodes to exactly its size", package, plain, true, plain.size()},
        {"decodes to more than its size", package, "<failed>", false, plain.size() - 1},
        {"junk after the stream", package + "junk", plain, true},
        {"block size digit raised", digitTwo, plain, true},
        {"no blocks", MakePackage("", 1, 0, 0, Compress("")), "", true},
        {"a block of long runs", MakePackage("", 1, 0, 0, Compress(runs)), runs, true},
        {"a block spelling the block magic", MakePackage("", 1, 0, 0, Compress(spellsBlock)), spellsBlock, false},
        {"a block spelling the end magic", MakePackage("", 1, 0, 0, Compress(spellsEnd)), spellsEnd, false},
        {"header letter H (the block stream is intact)", letter, "<failed>", true},
        {"cut inside block 3", middleOf3, "<failed>", false},
        {"cut before the end magic", package.substr(0, end / 8), "<failed>", false},
        {"cut inside the combined CRC", package.substr(0, package.size() - 2), "<failed>", false},
        {"flipped bit in block 3", FlipBit(package, (blocks[2] + blocks[3]) / 2), "<failed>", false},
        {"CRC of block 1", FlipBit(package, blocks[0] + 50), "<failed>", false},
        {"CRC of block 4", FlipBit(package, blocks[3] + 79), "<failed>", false},
        {"magic of block 3", FlipBit(package, blocks[2] + 10), "<failed>", false},
        {"block magic over block 3's data", magicIn3, "<failed>", false},
        {"end magic", FlipBit(package, end + 20), "<failed>", false},
        {"combined CRC", FlipBit(package, end + 48 + 31), "<failed>", false},
    };
    for (const auto& form : forms) {
        ASSERT_TRUE(WriteFile(m_src + "\\form.pk_", form.bytes));
        for (unsigned workers : {1u, 3u}) {
            const std::string label = std::string(form.label) + ", workers " + std::to_string(workers);
            ASSERT_TRUE(WriteFile(m_dst + "\\form.pk_", "older output"));
            const bool unpacked = UnpackPackageFile(m_src, "form.pk_", m_dst, "", workers, form.limit);
            EXPECT_TRUE((unpacked ? FileText(m_dst + "\\form.pk_") : "<failed>") == form.expected) << label;
            EXPECT_EQ(unpacked, FileExists(m_dst + "\\form.pk_")) << label;
        }
        std::FILE* input = std::fopen((m_src + "\\form.pk_").c_str(), "rb");
        std::FILE* output = std::fopen((m_dst + "\\alone").c_str(), "wb");
        ASSERT_TRUE(input && output);
        int64_t version;
        int32_t time;
        uint64_t written;
        EXPECT_EQ(form.alone, ProbePackageStream(input, version, time) &&
                                  DecodeBlocksInParallel(input, output, form.bytes[17], 2, form.limit, written) ==
                                      EParallelDecode::kDecoded) << form.label;
        std::fclose(input);
        std::fclose(output);
    }
    // A full disk fails either decoder, and no output is left there.
    const std::string volume = SmallVolume();
    ASSERT_TRUE(WriteFile(m_src + "\\form.pk_", package));
    for (unsigned workers : {1u, 3u}) {
        EXPECT_FALSE(UnpackPackageFile(m_src, "form.pk_", volume, "", workers)) << workers;
        EXPECT_FALSE(FileExists(volume + "\\form.pk_")) << workers;
    }
}

}  // namespace
