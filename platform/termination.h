#pragma once

// The signals that the event loop of the GUI thread serves, through one descriptor (a self-pipe on
// POSIX, to which a signal handler only writes a byte): requests to end the program from outside the
// window system (SIGTERM at logout or shutdown or from `kill`, SIGHUP when the terminal goes, SIGINT
// from Ctrl+C), and the end of a program the shell open started (SIGCHLD), which the loop then reaps
// (platform/shell.h). Windows sends the requests as window messages, which reach the application
// object as a session end, and starts no children to reap: there is nothing to watch there.
namespace platform {

// The descriptor, readable when a signal arrived; -1 where there is nothing to watch.
int SignalDescriptor();

// Puts `signal` on the descriptor. Async-signal-safe: for the signal handlers of POSIX.
void PostSignal(int signal);

// Starts catching the requests to end and returns SignalDescriptor(); where that is -1 the requests
// end the process the system's way.
int WatchTerminationRequests();

// Takes what arrived off the descriptor; true when a request to end was among it. From then on a
// further request ends the process at once, should the orderly close that follows hang.
bool TakeSignals();

} // namespace platform
