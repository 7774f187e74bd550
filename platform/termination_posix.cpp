#include "platform/termination.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

// The self-pipe: the handler writes a byte, the event loop reads it.
int g_pipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

void onSignal(int signal)
{
    // Only async-signal-safe calls here: the byte wakes the event loop.
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

int WatchTerminationRequests()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("ventiro: termination requests are not handled");
        return -1;
    }
    setHandler(onSignal);
    return g_pipe[0];
}

void TakeTerminationRequests()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
    }
    setHandler(SIG_DFL);
}

} // namespace platform
