#include "core/exceptions.h"
#include "core/value_list_strings.h"
#include "launch/default_launch_table.h"
#include "platform/profile.h"
#include "storage/form_storage.h"
#include "storage/ini_file.h"
#include "storage/table_merge.h"
#include "tests/support/recording_window.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The two windows of the panel with their storages, driven through one run in the order the
// program drives them: both created, the main window shown (which makes the settings storage
// restore), the main window closed, the settings window then the main window destroyed.
struct Panel
{
    explicit Panel(const std::string& ini, std::vector<std::string> lines = DefaultLaunchTable())
        : main(326, 279, 608, 330, true), settings(412, 236, 560, 420, false), table(std::move(lines))
    {
        settings.table = &table;
        mainStorage = std::make_unique<TFormStorage>(main);
        settingsStorage = std::make_unique<TFormStorage>(settings);
        settingsStorage->SetStoredProps({"Verknuepfungseditor.Strings"});
        mainStorage->IniFileName = ini;
        mainStorage->IniSection = "Pultaro";
        settingsStorage->IniFileName = ini;
        settingsStorage->IniSection = "Einstellungenmaske";
        TFormStorage* other = settingsStorage.get();
        main.SetOnShow(nullptr);
        mainStorage.reset();
        main.SetOnShow([other] { other->LoadFromIni(); });
        mainStorage = std::make_unique<TFormStorage>(main);
        mainStorage->IniFileName = ini;
        mainStorage->IniSection = "Pultaro";
    }

    void run()
    {
        main.show();
        main.closeQuery();
        settings.destroy();
        main.destroy();
    }

    RecordingWindow main;
    RecordingWindow settings;
    TValueListStrings table;
    std::unique_ptr<TFormStorage> mainStorage;
    std::unique_ptr<TFormStorage> settingsStorage;
};

TEST(FormStorageFile, FirstRunWritesBothSectionsAndTheWholeTable)
{
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    Panel panel(ini);
    panel.run();
    EXPECT_TRUE(panel.main.errors.empty());
    EXPECT_TRUE(panel.settings.errors.empty());
    EXPECT_EQ(readBytes(ini), dataFile("first_run.ini"));
}

} // namespace

namespace {

// One storage on one window over a file holding `content`, restored once.
struct Restore
{
    Restore(const std::string& content, bool mainForm = false) : window(50, 60, 300, 200, mainForm)
    {
        writeBytes(ini, content);
        window.table = &table;
        storage = std::make_unique<TFormStorage>(window);
        storage->SetStoredProps({"Verknuepfungseditor.Strings"});
        storage->IniFileName = ini;
        storage->IniSection = "S";
        storage->LoadFromIni();
    }
    TempDir dir;
    std::string ini = dir.file("r.ini");
    RecordingWindow window;
    TValueListStrings table{std::vector<std::string>{"a=1", "b=2"}};
    std::unique_ptr<TFormStorage> storage;
};

TEST(FormStorageRestore, PlacementDecisions)
{
    {
        Restore r(
            "[S]\r\nFormVersion=-1\r\nNormPos=1,2,300,400\r\n[S.Verknuepfungseditor_Strings]\r\nCount=1\r\n"
            "Item0=x=y\r\n");
        EXPECT_EQ(r.window.normal, (TRect{50, 60, 350, 260}));
        EXPECT_EQ(r.table.Count(), 2);
        EXPECT_TRUE(r.storage->Restored());
    }
    {
        Restore r("[S]\r\nPixelsPerInch=120\r\nNormPos=1,2,300,400\r\nShowCmd=3\r\n");
        EXPECT_EQ(r.window.normal, (TRect{50, 60, 350, 260}));
        EXPECT_EQ(r.window.state, TWindowState::wsMaximized);
    }
    {
        Restore r("[S]\r\nNormPos(1280x1024)=5,6,105,206\r\nNormPos=1,2,300,400\r\n");
        EXPECT_EQ(r.window.normal, (TRect{5, 6, 105, 206}));
    }
    {
        Restore r("[S]\r\nNormPos(1280x1024)=\r\nNormPos=1,2,300,400\r\n");
        EXPECT_EQ(r.window.normal, (TRect{1, 2, 300, 400}));
    }
    {
        Restore r("[S]\r\nNormPos=100,100,100,400\r\n");
        EXPECT_EQ(r.window.normal, (TRect{50, 60, 350, 260}));
    }
    {
        Restore r("[S]\r\nNormPos=10,20\r\n");
        EXPECT_EQ(r.window.normal, (TRect{10, 20, 350, 260}));
    }
}

TEST(FormStorageRestore, EveryShowCmd)
{
    const struct
    {
        int showCmd;
        TWindowState state;
    } cases[] = {
        {-1, TWindowState::wsNormal},   {0, TWindowState::wsNormal},    {1, TWindowState::wsNormal},
        {2, TWindowState::wsMinimized}, {3, TWindowState::wsMaximized}, {4, TWindowState::wsNormal},
        {5, TWindowState::wsNormal},    {6, TWindowState::wsMinimized}, {7, TWindowState::wsMinimized},
        {8, TWindowState::wsNormal},    {9, TWindowState::wsNormal},    {10, TWindowState::wsNormal}};
    for (const auto& c : cases) {
        Restore r("[S]\r\nShowCmd=" + std::to_string(c.showCmd) + "\r\n");
        EXPECT_EQ(r.window.state, c.state) << c.showCmd;
        EXPECT_EQ(r.window.minimizePosts, 0);
        Restore m("[S]\r\nShowCmd=" + std::to_string(c.showCmd) + "\r\n", true);
        const bool minimized = c.state == TWindowState::wsMinimized;
        EXPECT_EQ(m.window.minimizePosts, minimized ? 1 : 0) << c.showCmd;
        EXPECT_EQ(m.window.state, minimized ? TWindowState::wsNormal : c.state) << c.showCmd;
    }
}

TEST(FormStorageRestore, StoredTableCount)
{
    const std::string head = "[S.Verknuepfungseditor_Strings]\r\n";
    EXPECT_EQ(Restore(head + "Count=abc\r\nItem0=z\r\n").table.Lines(),
              (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(Restore(head + "Count=-2\r\nItem0=z\r\n").table.Lines(),
              (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(Restore(head + "Count= 3 \r\nItem0=x=1\r\nItem2=\"\"q\"\"\r\n").table.Lines(),
              (std::vector<std::string>{"x=1", "", "\"q\""}));
}

// A table is read in one pass over its section; each line is what a read of its key would give.
TEST(FormStorageRestore, StoredTableLinesAsTheirKeysRead)
{
    const std::string head = "[S.Verknuepfungseditor_Strings]\r\nCount=3\r\n";
    const struct
    {
        const char* name;
        std::string items;
        std::vector<std::string> lines;
    } cases[] = {
        {"out of order", "Item2=c\r\nItem0=a\r\nItem1=b\r\n", {"a", "b", "c"}},
        {"first of a key", "Item0=a\r\nitem0=x\r\nITEM1=b\r\nItem2=c\r\n", {"a", "b", "c"}},
        {"names trimmed, numbers as written",
         " Item0 = a\r\nItem01=x\r\nItem+2=y\r\nItem1x=z\r\n",
         {"a", "", ""}},
        {"beyond the count, comments",
         "Item3=x\r\n;Item1=y\r\nItem2=c\r\nItem4294967297=z\r\n",
         {"", "", "c"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Restore(head + c.items).table.Lines(), c.lines) << c.name;
    // A second section of the same name is not the table.
    EXPECT_EQ(Restore(head + "Item0=a\r\n[S.Verknuepfungseditor_Strings]\r\nItem1=b\r\n").table.Lines(),
              (std::vector<std::string>{"a", "", ""}));
}

TEST(FormStorageSave, ValuesComeBackUnchanged)
{
    TempDir dir;
    const std::string ini = dir.file("q.ini");
    const std::vector<std::string> lines = {"\"quoted\"", "'single'",  "'",
                                            "trailing  ", "  leading", std::string(5000, 'x') + "=long"};
    RecordingWindow window(1, 2, 3, 4, false);
    TValueListStrings table(lines);
    window.table = &table;
    TFormStorage storage(window);
    storage.SetStoredProps({"Verknuepfungseditor.Strings"});
    storage.IniFileName = ini;
    storage.IniSection = "S";
    storage.LoadFromIni();
    storage.SaveToIni();
    table.Clear();
    storage.LoadFromIni();
    EXPECT_EQ(table.Lines(), lines);
}

TEST(FormStorageSave, ShorterAndEmptyTables)
{
    TempDir dir;
    const std::string ini = dir.file("t.ini");
    RecordingWindow window(1, 2, 3, 4, false);
    TValueListStrings table(std::vector<std::string>{"a=1", "b=2", "c=3"});
    window.table = &table;
    TFormStorage storage(window);
    storage.SetStoredProps({"Verknuepfungseditor.Strings"});
    storage.IniFileName = ini;
    storage.IniSection = "S";
    storage.OptionState = storage.OptionPosition = false;
    storage.LoadFromIni();
    storage.SaveToIni();
    table.Assign({"b=2"});
    storage.SaveToIni();
    EXPECT_EQ(readBytes(ini),
              "[S]\r\nFormVersion=0\r\n[S.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=b=2\r\n");
    table.Clear();
    storage.SaveToIni();
    EXPECT_EQ(readBytes(ini), "[S]\r\nFormVersion=0\r\n");
}

// Out of memory in a save is shown at every close: only the file's failure counts as one for all.
TEST(FormStorageSave, OutOfMemoryIsShownEachTime)
{
    struct NoMemory : TFormStorage
    {
        using TFormStorage::TFormStorage;
        void SaveProperties() override { throw std::bad_alloc(); }
    };
    TempDir dir;
    RecordingWindow window(1, 2, 3, 4, false);
    NoMemory storage(window);
    storage.IniFileName = dir.file("m.ini");
    storage.IniSection = "S";
    storage.LoadFromIni();
    window.closeQuery();
    window.closeQuery();
    EXPECT_EQ(window.errors.size(), 2u);
}

using Lines = std::vector<std::string>;

TEST(TableMerge, ThreeWay)
{
    const struct
    {
        const char* what;
        Lines base, ours, theirs, merged;
    } cases[] = {
        {"file unchanged: the operator's list as it stands",
         {"a=1", "b=2"},
         {"b=2", "a=1", "a=1"},
         {"a=1", "b=2"},
         {"b=2", "a=1", "a=1"}},
        {"operator changed nothing: the file's list", {"a=1"}, {"a=1"}, {"x", "a=2"}, {"x", "a=2"}},
        {"different names: both changes, the file's order",
         {"a=1", "b=2"},
         {"a=9", "b=2"},
         {"b=3", "a=1", "c=4"},
         {"b=3", "a=9", "c=4"}},
        {"the operator's removal and addition win",
         {"a=1", "b=2"},
         {"a=1", "d=5"},
         {"a=1", "b=3", "c=4"},
         {"a=1", "c=4", "d=5"}},
        {"same name changed on both sides, case ignored",
         {"CimE=1", "x=0"},
         {"cime=2", "x=0"},
         {"CIME=3", "x=0", "y=1"},
         {"cime=2", "x=0", "y=1"}},
        {"the file removed what the operator changed: it comes back",
         {"a=1", "b=2"},
         {"a=1", "b=7"},
         {"a=1"},
         {"a=1", "b=7"}},
        {"an edit of the second line of a name lands on the second",
         {"a=1", "a=2", "b=0"},
         {"a=1", "a=9", "b=0"},
         {"a=1", "a=2", "b=5"},
         {"a=1", "a=9", "b=5"}},
        {"an edit of the first line of a name keeps the file's second",
         {"a=1", "a=2", "b=0"},
         {"a=8", "a=2", "b=0"},
         {"a=1", "a=2", "b=5"},
         {"a=8", "a=2", "b=5"}},
        {"the operator's order stands where the file kept its order, the file's new line after its own",
         {"a=1", "b=2", "c=3"},
         {"c=3", "a=1", "b=2"},
         {"a=1", "b=5", "c=3", "d=4"},
         {"c=3", "d=4", "a=1", "b=5"}},
        {"names the launcher finds equal are one name: sharp s, ligatures, the soft hyphen",
         {"Stra\xDF"
          "e=1",
          "\xC6=1", "Co\xADop=1"},
         {"STRASSE=2", "AE=2", "Coop=2"},
         {"Stra\xDF"
          "e=1",
          "\xC6=1", "Co\xADop=1", "z=1"},
         {"STRASSE=2", "AE=2", "Coop=2", "z=1"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MergeTables(c.base, c.ours, c.theirs), c.merged) << c.what;
}

// What another panel or an administrator writes into the file meanwhile.
void writeOutside(const std::string& ini, const std::vector<std::pair<const char*, const char*>>& values)
{
    for (const auto& [key, value] : values) {
        const std::string section = std::string(key) == "NormPos" ? "S" : "S.Verknuepfungseditor_Strings";
        ASSERT_TRUE(platform::WritePrivateProfileStringA(section.c_str(), key, value, ini.c_str()));
    }
    ASSERT_TRUE(platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str()));
}

TEST(FormStorageShared, ASaveKeepsOutsideEditsAndAFollowTakesThemIn)
{
    Restore r("[S]\r\nNormPos=1,2,300,400\r\n[S.Verknuepfungseditor_Strings]\r\nCount=2\r\nItem0=a=1\r\n"
              "Item1=b=2\r\n");
    writeOutside(r.ini, {{"NormPos", "7,8,300,400"}, {"Item0", "a=outside"}});
    // Nobody touched this window: its save leaves the file's newer values; the next launch uses them.
    r.storage->SaveToIni();
    r.storage->FollowFile();
    EXPECT_EQ(r.table.Lines(), (Lines{"a=outside", "b=2"}));
    EXPECT_EQ(r.storage->ReadIniString("S", "NormPos", ""), "7,8,300,400");

    r.table.Put(1, "b=mine");
    writeOutside(r.ini, {{"Item0", "a=second"}, {"Count", "3"}, {"Item2", "c=3"}});
    r.storage->SaveToIni();
    EXPECT_EQ(r.table.Lines(), (Lines{"a=second", "b=mine", "c=3"}));
    EXPECT_EQ(Restore(readBytes(r.ini)).table.Lines(), r.table.Lines());

    // A window that found no table in the file merges its edits with one written meanwhile.
    {
        Restore fresh("[S]\r\n");
        fresh.table.Put(0, "a=mine");
        writeOutside(fresh.ini, {{"Count", "2"}, {"Item0", "z=9"}, {"Item1", "b=admin"}});
        fresh.storage->SaveToIni();
        EXPECT_EQ(fresh.table.Lines(), (Lines{"z=9", "b=admin", "a=mine"}));
    }

    // A launch looks at the file first; an open settings window is left alone until it closes.
    writeOutside(r.ini, {{"Item1", "b=admin"}});
    r.storage->FollowFile();
    EXPECT_EQ(r.table.Get(1), "b=admin");
    r.window.visible = true;
    writeOutside(r.ini, {{"Item1", "b=later"}});
    r.storage->FollowFile();
    EXPECT_EQ(r.table.Get(1), "b=admin");
}

} // namespace
