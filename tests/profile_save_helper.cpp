// A second panel for the profile tests, started as a real process (also as another user):
//   profile_save_helper save <ini> <section> <lines> <fill> [repeats]
// saves a table of <lines> lines "Name<i>=<40 x fill>" under <section> through the form storage
// and exits 0, or prints the error and exits 1;
//   profile_save_helper read <ini> <section> <key>
// prints the value of <key> in <section>.
#include "core/exceptions.h"
#include "platform/profile.h"
#include "storage/form_storage.h"
#include "tests/support/recording_window.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "read" && argc == 5) {
        std::puts(platform::GetPrivateProfileStringA(argv[3], argv[4], "", argv[2]).c_str());
        return 0;
    }
    if (mode != "save" || argc < 6)
        return 2;
    const int count = std::atoi(argv[4]);
    const int repeats = argc > 6 ? std::atoi(argv[6]) : 1;
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back("Name" + std::to_string(i) + "=" + std::string(40, argv[5][0]));
    for (int repeat = 0; repeat < repeats; ++repeat) {
        RecordingWindow window(1, 2, 300, 200, false);
        TValueListStrings table(lines);
        window.table = &table;
        TFormStorage storage(window);
        storage.SetStoredProps({"Verknuepfungseditor.Strings"});
        storage.IniFileName = argv[2];
        storage.IniSection = argv[3];
        storage.LoadFromIni();
        table.Assign(lines);
        try {
            storage.SaveToIni();
        } catch (const Exception& e) {
            std::puts(e.Message().c_str());
            return 1;
        }
    }
    return 0;
}
