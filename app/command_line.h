#pragma once

#include <optional>
#include <string>

// The program's options, read before any window system is needed.
struct TCommandLine
{
    // Open a panel of its own even where one already runs for this operator, display and INI file.
    bool NewInstance = false;
    // Check the launch table and start nothing (see RunCheck, app/check.h).
    bool Check = false;
    // The INI file to use instead of the usual one, as given (in the system's own spelling); empty
    // for the usual one.
    std::string IniFile;
};

// Reads the options. Where the request is answered on the command line alone (--help, --version)
// or cannot be understood (an unknown option: one line on standard error), the result is the exit
// code the program ends with, 0 or 2; otherwise it is empty and `options` says how to start. Options
// of the GUI toolkit (-platform xcb, -display :1, -session id ...) pass through to it.
std::optional<int> ParseCommandLine(int argc, char** argv, TCommandLine& options);
