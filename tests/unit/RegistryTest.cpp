// The registry store against the registry of the test run's own prefix.
#include "app/Registry.h"

#include <gtest/gtest.h>

#include <string>

static const char kKey[] = "SOFTWARE\\ORBEL\\ZEP\\ClientTest\\Registry";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey); }
    static void StoreRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &hKey));
        ::RegSetValueExA(hKey, name, 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(hKey);
    }
    static DWORD TypeAndSize(const char* name, DWORD& size) {
        DWORD type = 0;
        size = 0;
        ::RegGetValueA(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size);
        return type;
    }
};

TEST_F(RegistryTest, StringsAreCutToTheBufferAndAbsenceIsZero) {
    char buffer[64] = "untouched";
    // A missing key leaves the buffer alone, even with a default.
    EXPECT_EQ(0, ReadRegString(kKey, "Path", "dflt", buffer, sizeof buffer));
    EXPECT_STREQ("untouched", buffer);
    ASSERT_TRUE(WriteRegString(kKey, "Path", "C:\\Program Files\\ZEP"));
    EXPECT_EQ(21, ReadRegString(kKey, "Path", nullptr, buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Program Files\\ZEP", buffer);
    char small[8];
    EXPECT_EQ(8, ReadRegString(kKey, "Path", nullptr, small, sizeof small));
    EXPECT_STREQ("C:\\Prog", small);
    // An empty text still occupies its terminator and counts as present.
    ASSERT_TRUE(WriteRegString(kKey, "Empty", ""));
    EXPECT_EQ(1, ReadRegString(kKey, "Empty", nullptr, buffer, sizeof buffer));
    // A present key without the value copies the default but reports absence.
    EXPECT_EQ(0, ReadRegString(kKey, "None", "dflt", buffer, sizeof buffer));
    EXPECT_STREQ("dflt", buffer);
}

// Paths are used whole or not at all.
TEST_F(RegistryTest, PathsPastTheirLimitAreRefusedNotCut) {
    StoreRaw("Unterminated", REG_SZ, "C:\\abcde", 8);
    ASSERT_TRUE(WriteRegString(kKey, "Empty", ""));
    ASSERT_TRUE(WriteRegString(kKey, "Longer", "C:\\abcdef"));
    const struct {
        const char* name;
        const char* path;  // null: refused
    } cases[] = {{"Unterminated", "C:\\abcde"}, {"Empty", nullptr}, {"Longer", nullptr}, {"None", nullptr}};
    for (const auto& c : cases) {
        std::string path = "untouched";
        EXPECT_EQ(c.path != nullptr, ReadRegPath(kKey, c.name, 8, path)) << c.name;
        EXPECT_EQ(c.path ? c.path : "untouched", path) << c.name;
    }
}

TEST_F(RegistryTest, DwordNeedsExactlyFourBytes) {
    EXPECT_EQ(0x0203u, WriteRegDword(kKey, "Version", 0x0203));
    EXPECT_EQ(0x0203u, ReadRegDword(kKey, "Version", 0));
    const BYTE bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    StoreRaw("Short", REG_BINARY, bytes, 2);
    StoreRaw("Long", REG_BINARY, bytes, 8);
    EXPECT_EQ(99u, ReadRegDword(kKey, "Short", 99));
    EXPECT_EQ(99u, ReadRegDword(kKey, "Long", 99));
    EXPECT_EQ(7u, ReadRegDword(kKey, "Missing", 7));
}

TEST_F(RegistryTest, ValuesOfAPackageAreStoredByTheirType) {
    DWORD size = 0;
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Num", REG_DWORD, "12abc"));
    EXPECT_EQ(12u, ReadRegDword(kKey, "Num", 0));
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Exp", REG_EXPAND_SZ, "%TEMP%\\x"));
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), TypeAndSize("Exp", size));
    EXPECT_EQ(9u, size);
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Multi", REG_MULTI_SZ, "one"));
    EXPECT_EQ(DWORD(REG_MULTI_SZ), TypeAndSize("Multi", size));
    EXPECT_EQ(5u, size) << "a list of strings ends with two terminators";
    // An unsupported type stores nothing.
    EXPECT_FALSE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Bin", REG_BINARY, "01"));
    EXPECT_EQ(0u, TypeAndSize("Bin", size));
    EXPECT_TRUE(DeleteRegValue(kKey, "Num"));
    EXPECT_FALSE(DeleteRegValue(kKey, "Num"));
}
