// Measures a launch against the floor of starting a process. Each pair times one launch of a real
// short-lived program through LaunchFromTable (26-line table, the program named in upper case so that
// its folders are matched without regard to case) and one bare posix_spawn of the same program in a
// session of its own, in this one process, alternating which goes first; each timing starts only
// when the programs of the previous one have ended. Prints the median of the per-pair ratios, and
// the median ValueOfKey time in a 100,000-line table with the key at the end.
#include "launch/default_launch_table.h"
#include "launch/launcher.h"
#include "platform/shell.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double elapsedUs(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Waits until every child of this process has ended and been reaped; the launched programs are
// reaped by the shell's own reaping, which here stands in for the panel's event loop, so this only
// looks (WNOWAIT) and never reaps one of them itself.
bool waitForNoChild()
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD)
            return true;
        if (Clock::now() > deadline)
            return false;
        platform::ReapStartedPrograms();
        std::this_thread::yield();
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int pairs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    const std::string program = "/bin/true";

    std::vector<std::string> lines = DefaultLaunchTable();
    lines.back() = "ciminfo=" + program + " [A B]";
    const TValueListStrings table(lines);
    LaunchServices services;
    services.shellOpen = platform::ShellExecuteA;
    int failures = 0;
    services.showMessage = [&](const std::string&) { ++failures; };

    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* spawnArgv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("A"), const_cast<char*>("B"),
                         nullptr};
    const auto launchOnce = [&] {
        const auto start = Clock::now();
        LaunchFromTable(table, "CimInfo", 9, services);
        const double us = elapsedUs(start);
        if (!waitForNoChild())
            ++failures;
        return us;
    };
    const auto floorOnce = [&] {
        const auto start = Clock::now();
        pid_t pid = 0;
        if (::posix_spawn(&pid, program.c_str(), nullptr, &attributes, spawnArgv, environ) != 0)
            ++failures;
        const double us = elapsedUs(start);
        ::waitpid(pid, nullptr, 0);
        if (!waitForNoChild())
            ++failures;
        return us;
    };

    std::vector<double> launch;
    std::vector<double> floor;
    std::vector<double> ratios;
    std::vector<double> extra;
    for (int i = 0; i < pairs; ++i) {
        double l = 0;
        double f = 0;
        if (i % 2 == 0) {
            l = launchOnce();
            f = floorOnce();
        } else {
            f = floorOnce();
            l = launchOnce();
        }
        launch.push_back(l);
        floor.push_back(f);
        ratios.push_back(l / f);
        extra.push_back(l - f);
    }
    ::posix_spawnattr_destroy(&attributes);

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

    const double lookupUs = median(lookup);
    std::printf("pairs: %d, failures: %d, lookup check: %zu\n", pairs, failures, sink / 101);
    std::printf("LaunchFromTable median:           %.1f us\n", median(launch));
    std::printf("posix_spawn + SETSID median:    %.1f us\n", median(floor));
    std::printf("launch - floor, median of pairs: %.1f us\n", median(extra));
    std::printf("ValueOfKey 100k median:         %.1f us\n", lookupUs);
    std::printf("RESULT launch_vs_floor=%.2f lookup_100k_us=%.1f\n", median(ratios), lookupUs);
    return failures == 0 ? 0 : 1;
}
