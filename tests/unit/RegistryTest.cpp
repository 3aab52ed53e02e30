// Runs against the registry of the test run's own Wine prefix.
#include "app/Registry.h"

#include <gtest/gtest.h>

#include <string>

static const char kKey[] = "SOFTWARE\\ORBEL\\ZEP\\ClientTest\\Registry";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORBEL\\ZEP\\ClientTest\\Registry\\Sub");
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    }
    static void StoreRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &hKey));
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(hKey, name, 0, type, static_cast<const BYTE*>(data), size));
        ::RegCloseKey(hKey);
    }
};

TEST_F(RegistryTest, StringRoundTripAndSizes) {
    ASSERT_TRUE(WriteRegString(kKey, "Path", "C:\\Program Files\\ZEP"));
    char buffer[64] = "untouched";
    EXPECT_EQ(21, ReadRegString(kKey, "Path", nullptr, buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Program Files\\ZEP", buffer);

    // Longer than the buffer: cut to size - 1 characters, result is the buffer size.
    char small[8];
    EXPECT_EQ(8, ReadRegString(kKey, "Path", nullptr, small, sizeof small));
    EXPECT_STREQ("C:\\Prog", small);

    // An empty text still occupies its terminator and counts as present.
    ASSERT_TRUE(WriteRegString(kKey, "Empty", ""));
    EXPECT_EQ(1, ReadRegString(kKey, "Empty", nullptr, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(RegistryTest, AbsentValuesAndDefaults) {
    char buffer[16] = "untouched";
    // A missing key leaves the buffer alone, even with a default.
    EXPECT_EQ(0, ReadRegString(kKey, "Path", "dflt", buffer, sizeof buffer));
    EXPECT_STREQ("untouched", buffer);
    // A present key without the value copies the default but still reports absence.
    ASSERT_TRUE(WriteRegString(kKey, "Other", "x"));
    EXPECT_EQ(0, ReadRegString(kKey, "Path", "dflt", buffer, sizeof buffer));
    EXPECT_STREQ("dflt", buffer);
    EXPECT_EQ(0u, ReadRegDword(kKey, "Version", 0));
    EXPECT_EQ(7u, ReadRegDword("SOFTWARE\\ORBEL\\ZEP\\NoSuchKey", "Version", 7));
}

TEST_F(RegistryTest, DwordNeedsExactlyFourBytes) {
    EXPECT_EQ(0x0203u, WriteRegDword(kKey, "Version", 0x0203));
    EXPECT_EQ(0x0203u, ReadRegDword(kKey, "Version", 0));
    const BYTE two[2] = {1, 2};
    StoreRaw("Short", REG_BINARY, two, sizeof two);
    EXPECT_EQ(99u, ReadRegDword(kKey, "Short", 99));
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    StoreRaw("Long", REG_BINARY, eight, sizeof eight);
    EXPECT_EQ(99u, ReadRegDword(kKey, "Long", 99));
}

TEST_F(RegistryTest, WritesCreateMissingKeysAndDeletesReportWhatHappened) {
    std::string sub = std::string(kKey) + "\\Sub";
    EXPECT_TRUE(WriteRegString(sub.c_str(), "Path", "x"));
    EXPECT_TRUE(DeleteRegValue(sub.c_str(), "Path"));
    EXPECT_FALSE(DeleteRegValue(sub.c_str(), "Path"));
    EXPECT_FALSE(DeleteRegValue("SOFTWARE\\ORBEL\\ZEP\\NoSuchKey", "Path"));
    EXPECT_TRUE(DeleteRegKey(sub.c_str()));
    EXPECT_FALSE(DeleteRegKey(sub.c_str()));
}

TEST_F(RegistryTest, WriteRegValueByType) {
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Num", REG_DWORD, "12abc"));
    EXPECT_EQ(12u, ReadRegDword(kKey, "Num", 0));
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Exp", REG_EXPAND_SZ, "%TEMP%\\x"));
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "Multi", REG_MULTI_SZ, "one"));

    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &hKey));
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(hKey, "Exp", nullptr, &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), type);
    EXPECT_EQ(9u, size);
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(hKey, "Multi", nullptr, &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_MULTI_SZ), type);
    EXPECT_EQ(4u, size);

    // An unsupported type stores nothing but still creates the key.
    std::string sub = std::string(kKey) + "\\Sub";
    EXPECT_FALSE(WriteRegValue(HKEY_LOCAL_MACHINE, sub.c_str(), "Bin", REG_BINARY, "01"));
    HKEY hSub;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_QUERY_VALUE, &hSub));
    EXPECT_NE(ERROR_SUCCESS, ::RegQueryValueExA(hSub, "Bin", nullptr, nullptr, nullptr, &size));
    ::RegCloseKey(hSub);
    ::RegCloseKey(hKey);
}
