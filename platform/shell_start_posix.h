#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Process start of the POSIX shell open: the program becomes a child of the panel in a session of its
// own, and the panel reaps it when it ends.
namespace platform::shellstart {

// Starts a program with the given argv in a folder, without waiting for it. Returns the shell's
// result: above 32 when the program runs, otherwise the code of the reason it could not start.
std::intptr_t StartProgram(const std::string& executable, const std::vector<std::string>& args,
                           const std::string& folder);

} // namespace platform::shellstart
