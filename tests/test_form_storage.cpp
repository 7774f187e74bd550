#include "launch/value_list_strings.h"
#include "platform/sysutils.h"
#include "storage/form_storage.h"
#include "storage/ini_file.h"
#include "storage_test_support.h"

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
