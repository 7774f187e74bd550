#include "core/exceptions.h"
#include "core/value_list_strings.h"
#include "launch/default_launch_table.h"
#include "launch/panel_buttons.h"
#include "platform/locale.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(DefaultLaunchTable, HasTheTwentySixLinesInOrder)
{
    const auto& lines = DefaultLaunchTable();
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines.front(), "CimE=c:\\cim4\\cim_e\\CimatronE_Launcher.exe [-LANG German]");
    EXPECT_EQ(lines[14], "DFPost=C:\\Cim4\\Cim_E\\dfstrd.exe [p]");
    EXPECT_EQ(lines.back(), "ciminfo=C:\\Cim4\\Cim_E\\ciminfo.exe");

    // All names are distinct even without regard to case.
    const TValueListStrings table(lines);
    std::set<std::string> folded;
    for (int i = 0; i < table.Count(); ++i) {
        std::string name = table.Names(i);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        folded.insert(name);
        EXPECT_EQ(table.Names(i) + "=" + table.ValueFromIndex(i), lines[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(folded.size(), 26u);
}

TEST(PanelButtons, EveryLaunchKeyReachesItsOwnDesignedLine)
{
    const TValueListStrings table(DefaultLaunchTable());
    int launching = 0;
    for (const PanelButton& button : PanelButtons()) {
        SCOPED_TRACE(button.action);
        EXPECT_EQ(FindPanelButton(button.action), &button);
        ASSERT_EQ(button.launchKey == nullptr, button.command == nullptr);
        ASSERT_EQ(button.launchKey != nullptr, button.deed == PanelDeed::Launch);
        if (button.launchKey == nullptr)
            continue;
        int row = -1;
        ASSERT_TRUE(FindKeyRow(table, button.launchKey, row));
        EXPECT_EQ(table.Get(row - 1), button.command);
        EXPECT_EQ(row, ++launching); // the designed lines in the buttons' order
    }
    EXPECT_EQ(launching, table.Count()); // and no line without its button
    // Keys that are not the action names, and differ in case from the table's names.
    EXPECT_STREQ(FindPanelButton("DeleteWa")->launchKey, "Delwa");
    EXPECT_STREQ(FindPanelButton("Drahterodieren")->launchKey, "Drahter");
    EXPECT_STREQ(FindPanelButton("NcDoc")->launchKey, "NcDoku");
    EXPECT_EQ(FindPanelButton("Einstellungen")->deed, PanelDeed::OpenSettings);
    EXPECT_EQ(FindPanelButton("Schliessen")->deed, PanelDeed::CloseWindow);
    EXPECT_EQ(FindPanelButton("NoSuchButton"), nullptr);
}

struct LookupCase
{
    const char* name;
    std::vector<std::string> lines;
    std::string key;
    std::string value;
    int row; // 0: not found
};

class Lookup : public testing::TestWithParam<LookupCase>
{};

TEST_P(Lookup, FindsTheFirstMatchingName)
{
    const LookupCase& c = GetParam();
    const TValueListStrings table(c.lines);
    EXPECT_EQ(ValueOfKey(table, c.key), c.value);
    int row = -7;
    EXPECT_EQ(FindKeyRow(table, c.key, row), c.row != 0);
    EXPECT_EQ(row, c.row != 0 ? c.row : -7);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, Lookup,
    testing::Values(LookupCase{"Lowercase", DefaultLaunchTable(), "qdrill",
                               "C:\\Cim4\\Cim_E\\quickdrill\\quickdrill.exe", 14},
                    LookupCase{"Delwa", DefaultLaunchTable(), "Delwa", "C:\\Cim4\\Cim_E\\delwa.bat", 3},
                    LookupCase{"Duplicate", {"Simula=A", "simula=B"}, "Simula", "A", 1},
                    LookupCase{"DuplicateOtherCase", {"Simula=A", "simula=B"}, "SIMULA", "A", 1},
                    LookupCase{"BlankBeforeEquals", {"CimE =X"}, "CimE", "", 0},
                    LookupCase{"BlankBeforeEqualsKeyWithBlank", {"CimE =X"}, "CimE ", "X", 1},
                    LookupCase{"BlankAfterEquals", {"CimE= X"}, "CimE", " X", 1},
                    LookupCase{"FurtherEquals", {"Farben=a=b"}, "Farben", "a=b", 1},
                    LookupCase{"EmptyValue", {"Farben="}, "Farben", "", 1},
                    LookupCase{"LineWithoutEquals", {"Farben", "", "x=1"}, "Farben", "", 0},
                    LookupCase{"BlankLineNeverFound", {"", "x=1"}, "", "", 0},
                    LookupCase{"EmptyName", {"=v"}, "", "v", 1}, LookupCase{"EmptyTable", {}, "CimE", "", 0},
                    LookupCase{"PrefixIsNoMatch", {"CimEx=1", "Cim=2"}, "CimE", "", 0},
                    LookupCase{"AccentsFold", {"\xC4rger=1"}, "\xE4RGER", "1", 1},
                    LookupCase{"AccentsCount", {"\xE9t\xE9=1"}, "ete", "", 0},
                    LookupCase{"SharpS",
                               {"x=0", "Stra\xDF"
                                       "e=1"},
                               "STRASSE",
                               "1",
                               2}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST(CompareStringA, IgnoresCaseOfWindows1252LettersOnly)
{
    using platform::CompareStringA;
    using platform::CSTR_EQUAL;
    const unsigned loc = platform::LOCALE_USER_DEFAULT;
    const unsigned ic = platform::NORM_IGNORECASE;
    struct
    {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"Salut", "SaLuT", true}, {"Salut", "Salute", false},
        {"co-op", "coop", false}, {"\xC9t\xE9", "\xE9T\xC9", true},
        {"\xE9", "e", false},     {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},
        {"\xD7", "\xF7", false},  {"it's", "its", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(CompareStringA(loc, ic, c.a, -1, c.b, -1) == CSTR_EQUAL, c.equal);
    }
    EXPECT_NE(CompareStringA(loc, 0, "a", -1, "A", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(loc, ic, "ab", 1, "A", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(loc, ic, nullptr, -1, "A", -1), 0);
    EXPECT_EQ(CompareStringA(loc, ic, "a", -2, "A", -1), CSTR_EQUAL); // any negative length: up to the NUL
}

TEST(TValueListStrings, SplitsAtTheFirstEqualsAndReportsChanges)
{
    TValueListStrings table;
    int changes = 0;
    table.SetOnChange([&] { ++changes; });
    table.Add("a=b=c");
    table.Add("plain");
    table.Insert(0, "x=");
    table.Put(2, "plain=1");
    table.Delete(0);
    EXPECT_EQ(changes, 5);
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Names(0), "a");
    EXPECT_EQ(table.ValueFromIndex(0), "b=c");
    EXPECT_EQ(table.IndexOfName("PLAIN"), 1);
    table.SetCaseSensitive(true);
    EXPECT_EQ(table.IndexOfName("PLAIN"), -1);
    for (const int index : {-1, 2})
        EXPECT_THROW(table.Put(index, "z=1"), EListError);
    EXPECT_THROW(table.Insert(3, "z=1"), EListError);
    EXPECT_THROW(table.Delete(2), EListError);
    EXPECT_THROW(table.Get(-1), EListError);
    table.Clear();
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(ValueOfKey(table, "a"), "");
}

} // namespace
