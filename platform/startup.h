#pragma once

#include <string>

namespace platform {

// The window show request the program was started with (the showCmd values of window placements:
// 1 normal, 3 maximized, 7 minimized without activation, ...). Windows takes it from the process
// start information; POSIX has none, so the environment variable VENTIRO_SHOWCMD stands in for it.
// Without a request the result is 1.
int StartupShowCommand();

// Who runs the program, as a text that tells users apart (the user id on POSIX, the user name on
// Windows).
std::string CurrentUser();

// Windows: a program of the window subsystem has no console; where it was started from a command
// prompt and its standard output and error go nowhere else, they go to that prompt's console, so
// that --help, --version and --check print there. POSIX: nothing to do.
void UseStartingConsole();

} // namespace platform
