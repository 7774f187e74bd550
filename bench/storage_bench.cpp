// Save and restore of launch tables of 1,000, 10,000 and 100,000 lines through TFormStorage and the
// profile layer, on a real file in a temporary folder. Each figure is the median of several runs.
#include "core/value_list_strings.h"
#include "storage/form_storage.h"
#include "tests/support/recording_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

double saveRestoreMs(const std::string& ini, int lines)
{
    std::vector<std::string> content;
    content.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i)
        content.push_back("Entry" + std::to_string(i) + "=C:\\Cim4\\Cim_E\\program" + std::to_string(i) +
                          ".exe [-LANG German]");
    RecordingWindow window(412, 236, 560, 420, false);
    TValueListStrings table(content);
    window.table = &table;
    TFormStorage storage(window);
    storage.SetStoredProps({"Verknuepfungseditor.Strings"});
    storage.IniFileName = ini;
    storage.IniSection = "Einstellungenmaske";

    const auto start = std::chrono::steady_clock::now();
    storage.LoadFromIni();
    table.Assign(content);
    storage.SaveToIni();
    table.Clear();
    storage.LoadFromIni();
    const auto end = std::chrono::steady_clock::now();
    if (table.Count() != lines)
        throw std::runtime_error("the table did not come back");
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    TempDir dir;
    const int sizes[] = {1000, 10000, 100000};
    double ms[3] = {};
    for (int s = 0; s < 3; ++s) {
        std::vector<double> runs;
        for (int run = 0; run < 5; ++run)
            runs.push_back(saveRestoreMs(dir.file("bench" + std::to_string(s) + ".ini"), sizes[s]));
        ms[s] = median(runs);
        std::printf("save+restore %6d lines: %9.2f ms (%.3f us per line)\n", sizes[s], ms[s],
                    ms[s] * 1000.0 / sizes[s]);
    }
    const double growth = (ms[2] / sizes[2]) / (ms[0] / sizes[0]);
    std::printf("RESULT save_restore_100k_ms=%.1f growth_100k_over_1k=%.2f\n", ms[2], growth);
    return 0;
}
