// Number and version texts of the setup files, and the order of the
// string-keyed maps that the catalogue and the package map rely on.
#include "app/NumberText.h"
#include "app/PathText.h"
#include "app/StringKeyMap.h"

#include <gtest/gtest.h>

#include <vector>

TEST(NumberText, VersionTextUsesTheTwoLowBytes) {
    EXPECT_EQ("2.1", VersionToString(513));
    EXPECT_EQ("255.255", VersionToString(-1));
    EXPECT_EQ("3.4", VersionToString(0x7F0304));
}

TEST(NumberText, ParseVersion64PlacesPartsHighestFirst) {
    const std::pair<const char*, int64_t> cases[] = {
        {"4.71.1712.5", 0x0004004706B00005LL}, {"", 0}, {"1.2", 0x0001000200000000LL}, {"1.2.", 0x0001000200000000LL},
        {"1..3", 0x0001000000030000LL}, {"1.2.3.4.5", 0x0001000200030004LL}, {" 7x.y", 0x0007000000000000LL},
        // A part too large for 16 bits does not spill into its neighbour.
        {"1.131071", 0x0001FFFF00000000LL},
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, ParseVersion64(c.first)) << c.first;
}

TEST(NumberText, DecimalConversionStopsAtTheFirstOtherCharacterAndWraps) {
    const std::pair<const char*, int> cases[] = {
        {"12abc", 12}, {"  -5", -5}, {"abc", 0}, {"2147483650", int(0x80000002u)}, {"-2147483646", int(0x80000002u)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, ParseDecimal(c.first)) << c.first;
}

TEST(PathText, OneSeparatorBetweenFolderAndName) {
    EXPECT_EQ("C:\\a\\b.dll", JoinPath("C:\\a", "b.dll"));
    EXPECT_EQ("C:\\a\\b.dll", JoinPath("C:\\a\\", "b.dll"));
    EXPECT_EQ("C:/a/b.dll", JoinPath("C:/a/", "b.dll"));
}

TEST(PathText, PlainNamesStayInTheirFolderAndNameNoDevice) {
    const struct {
        const char* name;
        bool plain;
    } cases[] = {{"a.dll", true},  {"con.txt.bak", false}, {"..", false},     {"a\\b", false},   {"c:x", false},
                 {"CON", false},   {"nul.txt", false},     {"Aux", false},    {"prn .log", false}, {"COM1", false},
                 {"lpt9.dll", false}, {"COM0", true},      {"COM10", true},   {"console", true},   {"lpt", true},
                 {"", false}};
    for (const auto& c : cases) EXPECT_EQ(c.plain, IsPlainFileName(c.name)) << c.name;
}

TEST(StringKeyMap, NewestKeyFirstAndReinsertKeepsPlace) {
    CStringKeyMap<int> map;
    for (const char* key : {"a", "b", "c"}) map.SetAt(key, 1);
    map.SetAt("a", 10);
    map.SetAt("A", 5);
    std::vector<std::string> order;
    for (auto& entry : map) order.push_back(entry.first);
    EXPECT_EQ((std::vector<std::string>{"A", "c", "b", "a"}), order);
    ASSERT_NE(nullptr, map.Lookup("a"));
    EXPECT_EQ(10, *map.Lookup("a"));
    EXPECT_EQ(nullptr, map.Lookup("B"));
    EXPECT_TRUE(map.RemoveKey("c"));
    EXPECT_FALSE(map.RemoveKey("c"));
    EXPECT_EQ(3, map.GetCount());
}
