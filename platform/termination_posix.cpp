#include "platform/termination.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace platform {
namespace {

// The self-pipe: a handler writes the signal's number, the event loop reads it.
int g_pipe[2] = {-1, -1};
std::once_flag g_pipeOnce;
const int kRequests[] = {SIGTERM, SIGHUP, SIGINT};

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kRequests)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

int SignalDescriptor()
{
    std::call_once(g_pipeOnce, [] {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) // leaves both -1
            std::perror("ventiro: signals are not handled");
    });
    return g_pipe[0];
}

void PostSignal(int signal)
{
    // Only async-signal-safe calls here: the byte wakes the event loop.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

int WatchTerminationRequests()
{
    if (SignalDescriptor() >= 0)
        setHandler(PostSignal);
    return g_pipe[0];
}

bool TakeSignals()
{
    bool request = false;
    unsigned char byte = 0;
    while (g_pipe[0] >= 0 && ::read(g_pipe[0], &byte, 1) == 1)
        request = request || byte != SIGCHLD;
    if (request)
        setHandler(SIG_DFL);
    return request;
}

} // namespace platform
