#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The launch table as the panel would use it: the designed table, or the one the settings window
// keeps in `iniFile` (read as the window reads it when the panel opens; nothing is written). No
// display is needed.
std::vector<std::string> StoredLaunchTable(const std::string& iniFile);

// ventiro --check: resolves the command of every button and of every other line of the panel's table
// as a press would (platform::PlanShellOpen), starts nothing, and writes one line each to `out`: the
// launch key, what would be started, and "OK" or the German reason of the failure message, separated
// by tabs. The result is the exit code: 0 when every button would start its program, otherwise 1.
int RunCheck(std::FILE* out);
