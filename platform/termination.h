#pragma once

// The signals that the event loop of the GUI thread serves, all through one descriptor (a self-pipe
// on POSIX: a signal handler only writes a byte to it):
// - requests to end the program that come from outside the window system: SIGTERM (logout,
//   shutdown, `kill`), SIGHUP (the terminal goes) and SIGINT (Ctrl+C in the terminal that started
//   it). Windows sends such requests as window messages (WM_QUERYENDSESSION, WM_ENDSESSION), which
//   the toolkit hands to the application object as a session end; there is nothing to watch there.
// - the end of a program that the shell open started (SIGCHLD, platform/shell.h), which the loop
//   then reaps (ReapStartedPrograms).
namespace platform {

// The descriptor, readable when a signal arrived; -1 where there is nothing to watch (Windows) or it
// cannot be made.
int SignalDescriptor();

// Puts `signal` on the descriptor. Async-signal-safe: for signal handlers.
void PostSignal(int signal);

// Starts catching the requests to end and returns SignalDescriptor() for the caller's event loop to
// watch; where it is -1 the requests end the process the system's way, as without this call.
int WatchTerminationRequests();

// Takes what arrived off the descriptor; true when a request to end was among it. From then on a
// further request ends the process at once, should the orderly close that the caller starts hang.
bool TakeSignals();

} // namespace platform
