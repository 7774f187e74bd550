#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens a file with the shell, as the Windows call of the same name with the verb "open" does:
// a result above 32 is success; 32 or less is an error code (2 file not found, 3 path not found,
// 5 access denied, 8 out of memory, 11 not a valid executable, 31 no association).
// The started program is not waited for.
namespace platform {

std::intptr_t ShellExecuteA(void* owner, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd);

// Splits a command line into arguments by the rules of the Windows C runtime.
std::vector<std::string> SplitCommandLine(const std::string& line);

} // namespace platform
