#pragma once

// The launch tests' helpers that belong to POSIX: what the POSIX recording helper writes, the
// environment of the test process, and its children.
#include "launch_test_support.h"
#include "platform/shell.h"
#include "platform/termination.h"

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace launchtest {

struct Record
{
    std::string cwd;
    std::string session;
    std::string stdinKind;
    std::string signals;     // "SigBlk<mask>SigIgn<mask>" as the kernel shows them
    std::string descriptors; // the open descriptors in the order the kernel lists them, "0,1,2"
    std::vector<std::string> argv;
};

// Waits for the helper's record and reads it.
inline std::optional<Record> waitForRecord(const fs::path& file)
{
    const auto fields = waitForFields(file);
    if (!fields || fields->size() < 5)
        return std::nullopt;
    const std::vector<std::string>& f = *fields;
    Record record{f[0], f[1], f[2], f[3], f[4], {f.begin() + 5, f.end()}};
    return record;
}

// Points the helper at a record file for the lifetime of the object.
class RecordTo
{
public:
    explicit RecordTo(const fs::path& file) { ::setenv("VENTIRO_RECORD_FILE", file.c_str(), 1); }
    ~RecordTo() { ::unsetenv("VENTIRO_RECORD_FILE"); }
};

// Replaces PATH for the lifetime of the object.
class PathSetTo
{
public:
    explicit PathSetTo(const std::string& value)
    {
        const char* old = std::getenv("PATH");
        if (old != nullptr)
            m_old = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    ~PathSetTo()
    {
        if (m_old)
            ::setenv("PATH", m_old->c_str(), 1);
        else
            ::unsetenv("PATH");
    }

private:
    std::optional<std::string> m_old;
};

// Serves the shell's pipe of ended programs as the panel's event loop does, up to thirty seconds,
// until this process has no child `pid` left (no child at all for 0), neither running nor ended and
// unreaped; false when one is left. It reaps nothing itself: the started programs are the shell's.
inline bool noChildLeft(pid_t pid = 0)
{
    const idtype_t which = pid == 0 ? P_ALL : P_PID;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        siginfo_t info{};
        errno = 0;
        if (::waitid(which, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == -1 &&
            errno == ECHILD)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollfd ended{platform::SignalDescriptor(), POLLIN, 0};
        if (::poll(&ended, 1, 100) > 0) {
            platform::TakeSignals();
            platform::ReapStartedPrograms();
        }
    }
}

} // namespace launchtest
