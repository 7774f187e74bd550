// libFuzzer target: the profile reader and the restore of a stored table over arbitrary file bytes.
#include "core/value_list_strings.h"
#include "launch/default_launch_table.h"
#include "platform/profile.h"
#include "storage/form_storage.h"
#include "tests/support/recording_window.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TempDir dir;
    const std::string ini = dir.file("fuzz.ini");
    writeBytes(ini, std::string(reinterpret_cast<const char*>(data), size));
    // The layer keeps a parsed copy until a flush; flush so that the new bytes are read.
    platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());

    const char* sections[] = {"Pultaro", "Einstellungenmaske",
                              "Einstellungenmaske.Verknuepfungseditor_Strings", "", " s "};
    const char* keys[] = {"NormPos", "Count", "Item0", "ShowCmd", ""};
    for (const char* section : sections)
        for (const char* key : keys)
            (void)platform::GetPrivateProfileStringA(section, key, "d  ", ini.c_str());

    RecordingWindow window(326, 279, 608, 330, false);
    TValueListStrings table(DefaultLaunchTable());
    window.table = &table;
    {
        TFormStorage storage(window);
        storage.SetStoredProps({"Verknuepfungseditor.Strings"});
        storage.IniFileName = ini;
        storage.IniSection = "Einstellungenmaske";
        storage.LoadFromIni();
    }
    platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    return 0;
}
