#include "shell_start_posix.h"

#include "session_bus.h"
#include "shell_codes.h"

#include <atomic>
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

int codeForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ELOOP:
    case ENAMETOOLONG:
        return kFileNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EACCES:
    case EPERM:
        return kAccessDenied;
    case ENOEXEC:
        return kBadFormat;
    case ENOMEM:
    case EAGAIN:
    case E2BIG:
        return kOutOfMemory;
    case ETXTBSY:
        return kSharingViolation;
    default:
        return kOutOfResources;
    }
}

// The started programs are children of the panel until they end, and the panel reaps them: each
// one's pid waits in a slot until waitpid collects it. Only these pids are ever waited for, so
// children that other parts of the process start (Qt's QProcess reaps its own) are left alone.
//
// Slots are read and written both by the SIGCHLD handler (on whichever thread the signal lands) and
// by the launch, so they are lock-free atomics: 0 free, a pid, or a negative pid while one party is
// checking that child. Whoever finds a slot being checked raises g_recheck; whoever checked a child
// looks at g_recheck afterwards and goes round once more, so an end that arrives while a child is
// being checked is never lost.
constexpr std::size_t kSlots = 1024;
std::atomic<pid_t> g_children[kSlots];
std::atomic<bool> g_recheck{false};
// Programs beyond kSlots that still run (GUI thread only); they are reaped at later launches.
std::vector<pid_t> g_overflow;
struct sigaction g_previous = {};
std::once_flag g_reaperOnce;

bool ended(pid_t pid)
{
    int result = 0;
    do {
        result = ::waitpid(pid, nullptr, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result == pid || (result < 0 && errno == ECHILD);
}

// One pass over the slots; true when this pass checked a child itself.
bool reapPass()
{
    bool checked = false;
    for (std::atomic<pid_t>& slot : g_children) {
        pid_t pid = slot.load();
        if (pid < 0) {
            g_recheck.store(true);
            pid = slot.load();
        }
        if (pid <= 0)
            continue;
        if (!slot.compare_exchange_strong(pid, -pid)) {
            g_recheck.store(true);
            continue;
        }
        checked = true;
        slot.store(ended(pid) ? 0 : pid);
    }
    return checked;
}

// Reaps every started program that has ended. Async-signal-safe.
void reapEnded()
{
    const int savedErrno = errno;
    while (reapPass() && g_recheck.exchange(false)) {
    }
    errno = savedErrno;
}

void onChildEnded(int signal, siginfo_t* info, void* context)
{
    reapEnded();
    // Whoever handled SIGCHLD before keeps getting it.
    if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
        if (g_previous.sa_sigaction != nullptr)
            g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN &&
               g_previous.sa_handler != nullptr) {
        g_previous.sa_handler(signal);
    }
}

// Installs the SIGCHLD handler that reaps a started program as soon as it ends. Where SIGCHLD is
// ignored the system reaps every child itself, and nothing is installed.
void installReaper()
{
    struct sigaction current = {};
    ::sigaction(SIGCHLD, nullptr, &current);
    const bool ignored = (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN;
    if (ignored || (current.sa_flags & SA_NOCLDWAIT) != 0)
        return;
    g_previous = current;
    struct sigaction reaper = {};
    reaper.sa_sigaction = onChildEnded;
    reaper.sa_flags = SA_SIGINFO | SA_RESTART | (current.sa_flags & SA_NOCLDSTOP);
    sigemptyset(&reaper.sa_mask);
    ::sigaction(SIGCHLD, &reaper, nullptr);
}

void remember(pid_t pid)
{
    for (std::atomic<pid_t>& slot : g_children) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, pid))
            return;
    }
    g_overflow.push_back(pid);
}

void reapOverflow()
{
    std::erase_if(g_overflow, ended);
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
        return errno == EACCES || errno == EPERM ? kAccessDenied : kPathNotFound;

    SpawnSetup setup;
    int error = configure(setup, folderFd);

    // SIGCHLD waits on this thread while the slots change hands, so that the handler never runs
    // in the middle of a check on the same thread.
    sigset_t childSignal;
    sigset_t previousMask;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    ::pthread_sigmask(SIG_BLOCK, &childSignal, &previousMask);
    std::call_once(g_reaperOnce, installReaper);
    pid_t pid = 0;
    if (error == 0)
        error = ::posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(),
                              envp.data());
    if (error == 0)
        remember(pid);
    // Collects whatever has ended: programs whose end was signalled before they were remembered, and
    // those of the overflow.
    reapEnded();
    reapOverflow();
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::close(folderFd);
    return error == 0 ? kStarted : codeForErrno(error);
}

} // namespace platform::shellstart
