// Measures the launcher against the bare system call: the median cost of 1,000 launches of a real
// short-lived program through LaunchFromTable (26-line table), next to 1,000 bare posix_spawn calls of
// the same program, and the median ValueOfKey time in a 100,000-line table with the key at the end.
#include "launch/default_launch_table.h"
#include "launch/launcher.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double medianUs(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double elapsedUs(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Waits for the started programs so that they do not pile up; the launcher's own children are
// already detached, so this only collects the bare spawns.
void reapAll()
{
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    const std::string program = "/bin/true";

    std::vector<std::string> lines = DefaultLaunchTable();
    lines.back() = "ciminfo=" + program + " [A B]";
    const TValueListStrings table(lines);
    LaunchServices services;
    int failures = 0;
    services.showMessage = [&](const std::string&) { ++failures; };

    std::vector<double> launch;
    std::vector<double> spawn;
    launch.reserve(static_cast<std::size_t>(runs));
    spawn.reserve(static_cast<std::size_t>(runs));
    char* spawnArgv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("A"), const_cast<char*>("B"),
                         nullptr};
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        LaunchFromTable(table, "CimInfo", 9, services);
        launch.push_back(elapsedUs(start));

        start = Clock::now();
        pid_t pid = 0;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, spawnArgv, environ) != 0)
            ++failures;
        spawn.push_back(elapsedUs(start));
        ::waitpid(pid, nullptr, 0);
        reapAll();
    }

    std::vector<std::string> big;
    big.reserve(100000);
    for (int i = 0; i < 99999; ++i)
        big.push_back("Key" + std::to_string(i) + "=C:\\Tools\\program" + std::to_string(i) + ".exe");
    big.push_back("LastKey=C:\\Tools\\last.exe [x]");
    const TValueListStrings bigTable(std::move(big));
    std::vector<double> lookup;
    std::size_t sink = 0;
    for (int i = 0; i < 101; ++i) {
        const auto start = Clock::now();
        sink += ValueOfKey(bigTable, "lastkey").size();
        lookup.push_back(elapsedUs(start));
    }

    const double launchUs = medianUs(launch);
    const double spawnUs = medianUs(spawn);
    const double lookupUs = medianUs(lookup);
    std::printf("launches: %d, failures: %d, lookup check: %zu\n", runs, failures, sink / 101);
    std::printf("LaunchFromTable median: %.1f us\n", launchUs);
    std::printf("posix_spawn median:   %.1f us\n", spawnUs);
    std::printf("ValueOfKey 100k median: %.1f us\n", lookupUs);
    std::printf("RESULT launch_vs_spawn=%.2f lookup_100k_us=%.1f\n", launchUs / spawnUs, lookupUs);
    return failures == 0 ? 0 : 1;
}
