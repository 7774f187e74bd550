#include "shell_start_posix.h"

#include "shell_codes.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

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
        return 0;
    }
}

// What the child reports through the pipe when it cannot start the program.
struct StartFailure
{
    int stage; // 0 session or fork, 1 working folder, 2 exec
    int error;
};

[[noreturn]] void reportAndExit(int fd, int stage, int error)
{
    const StartFailure failure{stage, error};
    [[maybe_unused]] const ssize_t written = ::write(fd, &failure, sizeof failure);
    ::_exit(127);
}

} // namespace

// Starts the program detached from the panel: a double fork leaves no zombie, the program gets its
// own session (it outlives the panel) and /dev/null as its standard input. A failure in the child
// comes back through a close-on-exec pipe that closes without data when exec succeeds.
std::intptr_t StartProgram(const std::string& executable, const std::vector<std::string>& args,
                           const std::string& folder)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return codeForErrno(errno);

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return codeForErrno(error);
    }
    if (child == 0) {
        ::close(fds[0]);
        if (::setsid() < 0)
            reportAndExit(fds[1], 0, errno);
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
            reportAndExit(fds[1], 0, errno);
        if (grandchild > 0)
            ::_exit(0);
        // The program starts with the signals as a fresh process has them, not with
        // the panel's handlers (which would otherwise run here until exec) or its
        // ignored signals.
        struct sigaction standard = {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &standard, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(folder.c_str()) != 0)
            reportAndExit(fds[1], 1, errno);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0 && devNull != STDIN_FILENO) {
            ::dup2(devNull, STDIN_FILENO);
            ::close(devNull);
        }
        ::execv(executable.c_str(), argv.data());
        reportAndExit(fds[1], 2, errno);
    }

    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    StartFailure failure{};
    std::size_t got = 0;
    while (got < sizeof failure) {
        const ssize_t n = ::read(fds[0], reinterpret_cast<char*>(&failure) + got, sizeof failure - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fds[0]);
    if (got < sizeof failure)
        return kStarted;
    if (failure.stage == 1 && (failure.error == ENOENT || failure.error == ENOTDIR))
        return kPathNotFound;
    return codeForErrno(failure.error);
}

} // namespace platform::shellstart
