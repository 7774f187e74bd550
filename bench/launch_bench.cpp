// Cost of one button press: LaunchProgram with a 26-line table against a bare posix_spawn of the
// same program, and the keyed read in a 100,000-line table with the key at the end.
#include "launch/launcher.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double microseconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::micro>(b - a).count();
}

} // namespace

int main()
{
    const int runs = 1000;
    TValueListStrings table(DefaultLaunchTable());
    table.Put(25, "ciminfo=/bin/true [-]");
    LaunchServices services;
    int failures = 0;
    services.showMessage = [&](const std::string&) { ++failures; };

    std::vector<double> launch, spawn;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        LaunchProgram(table, "CimInfo", 9, services);
        auto t1 = Clock::now();
        launch.push_back(microseconds(t0, t1));

        char arg0[] = "/bin/true";
        char arg1[] = "-";
        char* argv[] = {arg0, arg1, nullptr};
        pid_t pid = 0;
        t0 = Clock::now();
        if (posix_spawn(&pid, "/bin/true", nullptr, nullptr, argv, environ) == 0)
            waitpid(pid, nullptr, 0);
        t1 = Clock::now();
        spawn.push_back(microseconds(t0, t1));
    }

    std::vector<std::string> lines;
    for (int i = 0; i < 99999; ++i)
        lines.push_back("Key" + std::to_string(i) + "=C:\\X\\TOOL" + std::to_string(i) + ".EXE");
    lines.push_back("Last=C:\\X\\LAST.EXE");
    const TValueListStrings big(std::move(lines));
    std::vector<double> lookup;
    std::size_t sink = 0;
    for (int i = 0; i < 21; ++i) {
        const auto t0 = Clock::now();
        sink += ValueOfKey(big, "LAST").size();
        lookup.push_back(microseconds(t0, Clock::now()));
    }

    const double l = median(launch), s = median(spawn), k = median(lookup);
    std::printf("launch median %.1f us, posix_spawn median %.1f us, failed launches %d\n", l, s, failures);
    std::printf("ValueOfKey in 100000 lines, key last: median %.1f us (%zu)\n", k, sink);
    std::printf("RESULT launch_vs_spawn=%.2f lookup_100k_us=%.0f\n", l / s, k);
    return failures == 0 ? 0 : 1;
}
