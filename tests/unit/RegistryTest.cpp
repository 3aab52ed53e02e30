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
    // A value's type and size, "0 0" when there is none.
    static std::string TypeAndSize(const char* name) {
        DWORD type = 0, size = 0;
        ::RegGetValueA(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size);
        return std::to_string(type) + " " + std::to_string(size);
    }
};

TEST_F(RegistryTest, StringsAreCutToTheBufferAndAbsenceIsZero) {
    char buffer[64] = "untouched";
    // A missing key leaves the buffer alone, even with a default.
    EXPECT_EQ(0, ReadRegString(kKey, "Path", "dflt", buffer, sizeof buffer));
    EXPECT_STREQ("untouched", buffer);
    ASSERT_TRUE(WriteRegString(kKey, "Path", "C:\\Program Files\\ZEP"));
    EXPECT_EQ("1 21", TypeAndSize("Path"));  // REG_SZ: a reader asking for that type alone finds it
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

// Values of a package are stored by their type, a list of strings with two
// terminators, an unsupported type not at all; the program's own texts are
// never expanded; a DWORD is read only from exactly four bytes.
TEST_F(RegistryTest, ValuesAreStoredByTheirTypeAndDwordsNeedFourBytes) {
    EXPECT_EQ(0x0203u, WriteRegDword(kKey, "Version", 0x0203));
    ASSERT_TRUE(WriteRegString(kKey, "Text", "%TEMP%"));
    const BYTE bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    StoreRaw("Short", REG_BINARY, bytes, 2);
    StoreRaw("Long", REG_BINARY, bytes, 8);
    const struct { const char *name, *data; DWORD type; bool stored; } written[] = {
        {"Num", "12abc", REG_DWORD, true}, {"Exp", "%TEMP%\\x", REG_EXPAND_SZ, true},
        {"Multi", "one", REG_MULTI_SZ, true}, {"Bin", "01", REG_BINARY, false}};
    for (const auto& w : written) EXPECT_EQ(w.stored, WriteRegValue(HKEY_LOCAL_MACHINE, kKey, w.name, w.type, w.data));
    const struct { const char *name, *typeAndSize; DWORD dword; } read[] = {
        {"Version", "4 4", 0x0203}, {"Num", "4 4", 12}, {"Text", "1 7", 99}, {"Exp", "2 9", 99},
        {"Multi", "7 5", 99}, {"Bin", "0 0", 99}, {"Short", "3 2", 99}, {"Long", "3 8", 99}};
    for (const auto& r : read) {
        EXPECT_EQ(r.typeAndSize, TypeAndSize(r.name)) << r.name;
        EXPECT_EQ(r.dword, ReadRegDword(kKey, r.name, 99)) << r.name;
    }
    EXPECT_TRUE(DeleteRegValue(kKey, "Num"));
    EXPECT_FALSE(DeleteRegValue(kKey, "Num"));
}
