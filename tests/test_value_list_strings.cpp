#include "launch/launch_keys.h"
#include "launch/value_list_strings.h"
#include "platform/locale.h"

#include <gtest/gtest.h>

TEST(LaunchTable, EveryActionKeyReachesItsDefaultLine)
{
    const TValueListStrings table(DefaultLaunchTable());
    ASSERT_EQ(table.Count(), 26);
    // The action order differs from the table order only for Hotline / DelVerif.
    const int expectedLine[26] = {1,  2,  3,  4,  6,  5,  7,  8,  9,  10, 11, 12, 13,
                                  14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26};
    for (std::size_t i = 0; i < LaunchKeys().size(); ++i) {
        int row = 0;
        ASSERT_TRUE(FindKeyRow(table, LaunchKeys()[i].key, row)) << LaunchKeys()[i].key;
        EXPECT_EQ(row, expectedLine[i]) << LaunchKeys()[i].key;
        EXPECT_EQ(ValueOfKey(table, LaunchKeys()[i].key), table.ValueFromIndex(row - 1));
    }
    EXPECT_EQ(ValueOfKey(table, "qdrill"), "C:\\Cim4\\Cim_E\\quickdrill\\quickdrill.exe");
    EXPECT_EQ(ValueOfKey(table, "Delwa"), "C:\\Cim4\\Cim_E\\delwa.bat");
}

TEST(LaunchTable, LinesSplitAtTheFirstEqualsSignWithNothingTrimmed)
{
    struct Case
    {
        std::vector<std::string> lines;
        std::string key;
        std::string value;
        bool found;
    };
    const Case cases[] = {
        {{"Simula=A", "simula=B"}, "Simula", "A", true},
        {{"CimE =X"}, "CimE", "", false},
        {{"CimE= X"}, "CimE", " X", true},
        {{"Farben=a=b"}, "Farben", "a=b", true},
        {{"Farben="}, "Farben", "", true},
        {{"", "CimE", "=x"}, "CimE", "", false},
        {{"=x"}, "", "x", true},
        {{}, "CimE", "", false},
        {{"\xC4rger=1"}, "\xE4RGER", "1", true}, // Windows-1252 letters fold
        {{"caf\xE9=1"}, "cafe", "", false},      // accents count
        {{"co-op=1"}, "coop", "", false},
    };
    for (const Case& c : cases) {
        const TValueListStrings table(c.lines);
        int row = -1;
        EXPECT_EQ(FindKeyRow(table, c.key, row), c.found) << c.key;
        EXPECT_EQ(ValueOfKey(table, c.key), c.value) << c.key;
    }
    const TValueListStrings odd({"no equals sign", "k=v"});
    EXPECT_EQ(odd.Names(0), "");
    EXPECT_EQ(odd.ValueFromIndex(0), "no equals sign");
}

TEST(LaunchTable, CaseInsensitiveCompareFollowsWindows1252Pairs)
{
    using platform::CompareStringA;
    const auto eq = [](const char* a, const char* b) {
        return CompareStringA(platform::LOCALE_USER_DEFAULT, platform::NORM_IGNORECASE, a, -1, b, -1) ==
               platform::CSTR_EQUAL;
    };
    EXPECT_TRUE(eq("Salut", "SaLuT"));
    EXPECT_FALSE(eq("Salut", "Salute"));
    EXPECT_TRUE(eq("\xC9", "\xE9"));
    EXPECT_FALSE(eq("\xD7", "\xF7")); // multiplication and division signs are no pair
    EXPECT_TRUE(eq("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"));
    EXPECT_EQ(CompareStringA(0x400, 1, nullptr, -1, "a", -1), 0);
}

TEST(LaunchTable, EveryChangeIsReported)
{
    TValueListStrings table;
    int changes = 0;
    table.SetOnChange([&] { ++changes; });
    table.Add("a=1");
    table.Put(0, "a=2");
    table.Insert(0, "b=1");
    table.Delete(1);
    table.Assign({"x=1", "y=2"});
    table.Clear();
    EXPECT_EQ(changes, 6);
    EXPECT_THROW(table.Delete(0), std::out_of_range);
}
