#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Shell open with the semantics of the Windows call of the same name and the verb "open": the file
// is started (a program) or opened with its opener (a document or folder), not waited for. The
// result is above shellcode::kLastError (32) on success, otherwise one of the codes of
// platform/shell_codes.h. All text is 8-bit Windows-1252.
namespace platform {

std::intptr_t ShellExecuteA(void* hwnd, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd);

// What a shell open starts: the program (the file itself, or its opener: wine for a Windows program,
// the desktop's opener for a document or folder), its arguments from the program's own name on, and
// its working folder, and the file it opens (the program itself, or what its opener opens). Text of
// this system (UTF-8 on POSIX).
struct ShellStart
{
    std::string program;
    std::string file;
    std::vector<std::string> arguments;
    std::string folder;
};

// Finds what ShellExecuteA would start, by the same rules, and starts nothing: 0 with `start` filled
// in, or the code ShellExecuteA would return (32 or less).
std::intptr_t PlanShellOpen(const char* operation, const char* file, const char* parameters,
                            const char* directory, ShellStart& start);

// A shell open with the arguments and result of ShellExecuteA: the program's own (with the desktop's
// start-up feedback, toolkit/services.h) or a test's.
using ShellOpenFn = std::function<std::intptr_t(void* hwnd, const char* operation, const char* file,
                                                const char* parameters, const char* directory, int showCmd)>;

// On POSIX the programs ShellExecuteA starts are children of this process until they end, and it
// reaps them (no other child): the event loop of the GUI thread calls this when the signal descriptor
// (platform/termination.h) says that one may have ended. Windows: nothing to do.
void ReapStartedPrograms();

// Splits a command line into arguments the way a Windows program's C runtime does: blanks and tabs
// separate, '"' starts and ends quoting, '""' inside quotes is one '"', 2n backslashes before a '"'
// give n backslashes and the quote acts, 2n+1 give n backslashes and a literal '"'.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

} // namespace platform
