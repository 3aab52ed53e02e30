#include "app/NumberText.h"
#include "app/StringKeyMap.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

TEST(NumberText, IntegersKeepTheirSign) {
    EXPECT_EQ("0", IntToString(0));
    EXPECT_EQ("-17", IntToString(-17));
    EXPECT_EQ("-2147483648", IntToString(INT_MIN));
    EXPECT_EQ("9223372036854775807", Int64ToString(INT64_MAX));
    EXPECT_EQ("-5000000000", Int64ToString(-5000000000LL));
}

TEST(NumberText, VersionTextUsesTheTwoLowBytes) {
    EXPECT_EQ("2.1", VersionToString(513));
    EXPECT_EQ("1.2", VersionToString(0x0102));
    EXPECT_EQ("255.255", VersionToString(-1));
    EXPECT_EQ("3.4", VersionToString(0x7F0304));
}

TEST(NumberText, ParseVersion64PlacesPartsHighestFirst) {
    EXPECT_EQ(0x0004004706B00005LL, ParseVersion64("4.71.1712.5"));
    EXPECT_EQ(0, ParseVersion64(""));
    EXPECT_EQ(0x0001000200000000LL, ParseVersion64("1.2"));
    EXPECT_EQ(0x0001000200000000LL, ParseVersion64("1.2."));
    EXPECT_EQ(0x0001000000030000LL, ParseVersion64("1..3"));
    EXPECT_EQ(0x0001000200030004LL, ParseVersion64("1.2.3.4.5"));
    EXPECT_EQ(0x0007000000000000LL, ParseVersion64(" 7x.y"));
    // A part too large for 16 bits does not spill into its neighbour.
    EXPECT_EQ(0x0001FFFF00000000LL, ParseVersion64("1.131071"));
}

TEST(NumberText, DecimalConversionStopsAtTheFirstOtherCharacter) {
    EXPECT_EQ(12, ParseDecimal("12abc"));
    EXPECT_EQ(-5, ParseDecimal("  -5"));
    EXPECT_EQ(0, ParseDecimal("abc"));
    EXPECT_EQ(int(0x80000002u), ParseDecimal("2147483650"));
    EXPECT_EQ(int(0x80000002u), ParseDecimal("-2147483646"));
}

TEST(StringKeyMap, NewestKeyFirstAndReinsertKeepsPlace) {
    CStringKeyMap<int> map;
    map.SetAt("a", 1);
    map.SetAt("b", 2);
    map.SetAt("c", 3);
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
