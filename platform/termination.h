#pragma once

// Requests to end the program that come from outside the window system: on POSIX SIGTERM (logout,
// shutdown, `kill`), SIGHUP (the terminal goes) and SIGINT (Ctrl+C in the terminal that started
// it). Windows sends such requests as window messages (WM_QUERYENDSESSION, WM_ENDSESSION), which the
// toolkit hands to the application object as a session end; there is nothing to watch there.
namespace platform {

// Starts catching the requests and returns a descriptor that becomes readable when one arrives, for
// the caller's event loop to watch; -1 where there is nothing to watch or the descriptor cannot be
// made (then the requests end the process the system's way, as without this call).
int WatchTerminationRequests();

// Takes the pending requests off the descriptor. From now on a further request ends the process at
// once, should the orderly close that the caller starts now hang.
void TakeTerminationRequests();

} // namespace platform
