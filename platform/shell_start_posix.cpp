#include "shell_start_posix.h"

#include "session_bus.h"
#include "shell.h"
#include "shell_codes.h"
#include "shell_path_posix.h"
#include "termination.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

// glibc 2.34 and later close every descriptor above 2 in one spawn action.
#if !(defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34)))
#define VENTIRO_CLOSE_EACH_DESCRIPTOR 1
#endif

extern char** environ;

namespace platform::shellstart {
namespace {

using namespace shellcode;

// The started programs are children of the panel until they end, and the panel reaps them: their
// pids wait in g_started until waitpid collects them. Only these pids are ever waited for, so
// children that other parts of the process start (Qt's QProcess reaps its own) are left alone.
// The SIGCHLD handler only writes a byte to the event loop's signal pipe (platform/termination.h);
// the reaping happens on the thread that reads it (the GUI thread's event loop) and at every start.
std::mutex g_startedMutex;
std::vector<pid_t> g_started;
struct sigaction g_previous = {};
std::once_flag g_watchOnce;

bool ended(pid_t pid)
{
    int result = 0;
    do {
        result = ::waitpid(pid, nullptr, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result == pid || (result < 0 && errno == ECHILD);
}

void onChildEnded(int signal, siginfo_t* info, void* context)
{
    // Only async-signal-safe calls here: the byte wakes whoever watches the pipe.
    PostSignal(signal);
    // Whoever handled SIGCHLD before keeps getting it.
    if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
        if (g_previous.sa_sigaction != nullptr)
            g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN &&
               g_previous.sa_handler != nullptr) {
        g_previous.sa_handler(signal);
    }
}

// Installs the SIGCHLD handler that writes to the pipe, at the first start: until then no signal
// of a child that another part of the process started interrupts anyone's wait. Where SIGCHLD is
// ignored the system reaps every child itself, and no handler is installed.
void watchChildren()
{
    if (SignalDescriptor() < 0)
        return;
    struct sigaction current = {};
    ::sigaction(SIGCHLD, nullptr, &current);
    const bool ignored = (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN;
    if (ignored || (current.sa_flags & SA_NOCLDWAIT) != 0)
        return;
    g_previous = current;
    struct sigaction handler = {};
    handler.sa_sigaction = onChildEnded;
    handler.sa_flags = SA_SIGINFO | SA_RESTART | (current.sa_flags & SA_NOCLDSTOP);
    sigemptyset(&handler.sa_mask);
    ::sigaction(SIGCHLD, &handler, nullptr);
}

#ifdef VENTIRO_CLOSE_EACH_DESCRIPTOR
// Without a close-from action: one close action for every open descriptor above 2 that would be
// inherited.
int closeInherited(posix_spawn_file_actions_t* actions)
{
    long limit = ::sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > 65536)
        limit = 65536;
    for (int fd = 3; fd < limit; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && (flags & FD_CLOEXEC) == 0) {
            if (const int error = ::posix_spawn_file_actions_addclose(actions, fd))
                return error;
        }
    }
    return 0;
}
#else
int closeInherited(posix_spawn_file_actions_t* actions)
{
    return ::posix_spawn_file_actions_addclosefrom_np(actions, 3);
}
#endif

// The spawn attributes and actions, released on every way out.
class SpawnSetup
{
public:
    SpawnSetup()
    {
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

// Configures the start: its own session (the program outlives the panel), the signals as a fresh
// process has them (no handler, nothing ignored, nothing blocked), the working folder, /dev/null as
// standard input and no descriptor above 2.
int configure(SpawnSetup& setup, int folder)
{
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    int error = ::posix_spawnattr_setflags(
        &setup.attributes,
        static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    if (error == 0)
        error = ::posix_spawnattr_setsigdefault(&setup.attributes, &all);
    if (error == 0)
        error = ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    if (error == 0)
        error = ::posix_spawn_file_actions_addfchdir_np(&setup.actions, folder);
    if (error == 0)
        error = ::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (error == 0)
        error = closeInherited(&setup.actions);
    return error;
}

} // namespace

std::intptr_t StartProgram(const std::string& executable, const std::vector<std::string>& args,
                           const std::string& folder)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The environment the panel was started with (not the one it set up for itself).
    std::vector<std::string> environment = ChildEnvironment();
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    // The folder is opened here, so that the child's only failure left is the exec itself. Changing
    // into it needs search permission only, so it is opened as a path where the system can.
#ifdef O_PATH
    const int pathOnly = O_PATH;
#else
    const int pathOnly = O_RDONLY;
#endif
    const int folderFd = ::open(folder.c_str(), pathOnly | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return shellpath::CodeForErrno(errno, true);

    SpawnSetup setup;
    int error = configure(setup, folderFd);

    std::call_once(g_watchOnce, watchChildren);
    pid_t pid = 0;
    if (error == 0)
        error = ::posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(),
                              envp.data());
    if (error == 0) {
        const std::lock_guard lock(g_startedMutex);
        g_started.push_back(pid);
    }
    // Also where no event loop watches the pipe, the ended programs go at the next start.
    ReapStartedPrograms();
    ::close(folderFd);
    return error == 0 ? kStarted : shellpath::CodeForErrno(error);
}

} // namespace platform::shellstart

namespace platform {

void ReapStartedPrograms()
{
    const std::lock_guard lock(shellstart::g_startedMutex);
    std::erase_if(shellstart::g_started, shellstart::ended);
}

} // namespace platform
