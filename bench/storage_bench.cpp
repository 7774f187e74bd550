// Save and restore of launch tables of 10,000, 100,000 and 1,000,000 lines through TFormStorage and
// the INI file's transaction, on a real file in a temporary folder.
//
// Time: the median of several save+restore runs per size. Memory: each size is measured in fresh
// processes (this program started again): one writes the file, one saves the table over it, one
// restores it. The save's figure is the peak resident size above what the process held before the
// save (the table itself); the restore's is what the process holds afterwards above what it held
// before (the restored table included). Both are given as multiples of the file's size.
//
// Reload: a panel holds a 100,000-line table while another writes a changed one into the file; the
// time is from that write to the new table being in force in the first panel (its next click).
#include "core/value_list_strings.h"
#include "storage/form_storage.h"
#include "tests/support/recording_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> tableOf(int lines, char variant)
{
    std::vector<std::string> content;
    content.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i)
        content.push_back("Entry" + std::to_string(i) + "=C:\\Cim4\\Cim_E\\program" + std::to_string(i) +
                          ".exe [-LANG " + (variant == 'a' ? "German]" : "French]"));
    return content;
}

struct Panel
{
    explicit Panel(const std::string& ini) : window(412, 236, 560, 420, false), storage(window)
    {
        window.table = &table;
        storage.SetStoredProps({"Verknuepfungseditor.Strings"});
        storage.IniFileName = ini;
        storage.IniSection = "Einstellungenmaske";
    }
    RecordingWindow window;
    TValueListStrings table;
    TFormStorage storage;
};

// The processor time of the last timed run: on a busy machine it tells how much of the clock time
// was our own work.
double g_lastCpuMs = 0;

// Each run changes every line of the table the file holds (from the last run's variant to the
// other), so that the save writes the whole table.
double saveRestoreMs(const std::string& ini, int lines, char variant)
{
    const std::vector<std::string> content = tableOf(lines, variant);
    Panel panel(ini);
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    panel.storage.LoadFromIni();
    panel.table.Assign(content);
    panel.storage.SaveToIni();
    panel.table.Clear();
    panel.storage.LoadFromIni();
    const auto end = std::chrono::steady_clock::now();
    g_lastCpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (panel.table.Count() != lines)
        throw std::runtime_error("the table did not come back");
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A field of /proc/self/status in kB.
long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The memory measurements, each run in a process of its own. Prints the kB figure.
int measure(const std::string& what, const std::string& ini, int lines)
{
    Panel panel(ini);
    panel.storage.Active = false; // a save without a restore before it
    if (what == "write") {
        panel.table.Assign(tableOf(lines, 'a'));
        panel.storage.SaveToIni();
        return 0;
    }
    if (what == "save") {
        panel.table.Assign(tableOf(lines, 'b'));
        const long before = statusKb("VmRSS");
        resetPeak();
        panel.storage.SaveToIni();
        std::printf("%ld\n", statusKb("VmHWM") - before);
        return 0;
    }
    const long before = statusKb("VmRSS");
    panel.storage.LoadFromIni();
    if (panel.table.Count() != lines)
        return 1;
    std::printf("%ld\n", statusKb("VmRSS") - before);
    return 0;
}

long inFreshProcess(const char* self, const std::string& what, const std::string& ini, int lines)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        const std::string count = std::to_string(lines);
        ::execl(self, self, "--memory", what.c_str(), ini.c_str(), count.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[64];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the " + what + " measurement failed");
    return std::atol(out.c_str());
}

double reloadMs(const std::string& ini, int lines)
{
    Panel panel(ini);
    panel.table.Assign(tableOf(lines, 'a'));
    panel.storage.LoadFromIni();
    panel.storage.SaveToIni();
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        const char variant = run % 2 == 0 ? 'b' : 'a';
        {
            Panel other(ini);
            other.storage.LoadFromIni();
            other.table.Assign(tableOf(lines, variant));
            other.storage.SaveToIni();
        }
        const auto start = std::chrono::steady_clock::now();
        panel.storage.FollowFile();
        runs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (panel.table.Lines() != tableOf(lines, variant))
            throw std::runtime_error("the changed table did not come in");
    }
    return median(runs);
}

// A save that must merge: another panel changed one line of the 100,000-line table since this one
// read it, and this one changed another.
double mergeSaveMs(const std::string& ini, int lines)
{
    {
        Panel first(ini);
        first.table.Assign(tableOf(lines, 'a'));
        first.storage.Active = false;
        first.storage.SaveToIni();
    }
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        Panel panel(ini);
        panel.storage.LoadFromIni();
        {
            Panel other(ini);
            other.storage.LoadFromIni();
            other.table.Put(10 + run, "Other" + std::to_string(run) + "=C:\\other.exe");
            other.storage.SaveToIni();
        }
        panel.table.Put(lines / 2 + run, "Mine" + std::to_string(run) + "=C:\\mine.exe");
        const auto start = std::chrono::steady_clock::now();
        panel.storage.SaveToIni();
        runs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (panel.table.Get(10 + run) != "Other" + std::to_string(run) + "=C:\\other.exe")
            throw std::runtime_error("the merge lost the other panel's line");
    }
    return median(runs);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--memory")
        return measure(argv[2], argv[3], std::atoi(argv[4]));

    TempDir dir;
    const int sizes[] = {10000, 100000, 1000000};
    double ms[3] = {};
    double savePeak[3] = {};
    double restoreKept[3] = {};
    for (int s = 0; s < 3; ++s) {
        std::vector<double> runs;
        std::vector<double> cpu;
        const std::string timed = dir.file("timed" + std::to_string(s) + ".ini");
        for (int run = 0; run < (s == 2 ? 3 : 5); ++run) {
            runs.push_back(saveRestoreMs(timed, sizes[s], run % 2 == 0 ? 'a' : 'b'));
            cpu.push_back(g_lastCpuMs);
        }
        ms[s] = median(runs);

        const std::string ini = dir.file("memory" + std::to_string(s) + ".ini");
        inFreshProcess("/proc/self/exe", "write", ini, sizes[s]);
        const long saveKb = inFreshProcess("/proc/self/exe", "save", ini, sizes[s]);
        struct stat st;
        ::stat(ini.c_str(), &st);
        const double fileKb = static_cast<double>(st.st_size) / 1024.0;
        const long restoreKb = inFreshProcess("/proc/self/exe", "restore", ini, sizes[s]);
        savePeak[s] = static_cast<double>(saveKb) / fileKb;
        restoreKept[s] = static_cast<double>(restoreKb) / fileKb;
        std::printf("%7d lines: save+restore %9.2f ms (%.3f us per line, processor %.0f ms); file %.1f MB, "
                    "save peak %.1f MB "
                    "(%.2f x file), kept after restore %.1f MB (%.2f x file)\n",
                    sizes[s], ms[s], ms[s] * 1000.0 / sizes[s], median(cpu), fileKb / 1024.0, saveKb / 1024.0,
                    savePeak[s], restoreKb / 1024.0, restoreKept[s]);
        std::fflush(stdout);
    }
    const double growth = (ms[2] / sizes[2]) / (ms[0] / sizes[0]);
    const double reload = reloadMs(dir.file("reload.ini"), 100000);
    std::printf(" 100000 lines changed on disk: in force after %.1f ms\n", reload);
    const double merge = mergeSaveMs(dir.file("merge.ini"), 100000);
    std::printf(" 100000 lines, a save merged with another panel's: %.1f ms\n", merge);
    std::printf(
        "RESULT save_restore_100k_ms=%.1f save_restore_1m_ms=%.1f growth_1m_over_10k=%.2f "
        "save_peak_over_file=%.2f restore_peak_over_file=%.2f reload_100k_ms=%.1f merge_save_100k_ms=%.1f\n",
        ms[1], ms[2], growth, *std::max_element(savePeak, savePeak + 3),
        *std::max_element(restoreKept, restoreKept + 3), reload, merge);
    return 0;
}
