#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "shell.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

namespace {

// A working folder that does not exist is "path not found", as the POSIX backend reports it.
// Checked here because not every implementation of the shell does so (Wine reports the program
// as not found, or starts it in its own folder).
bool missingFolder(const char* directory)
{
    if (directory == nullptr || *directory == '\0')
        return false;
    const DWORD attributes = GetFileAttributesA(directory);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

std::intptr_t ShellExecuteA(void* hwnd, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd)
{
    if (missingFolder(directory))
        return SE_ERR_PNF;
    HINSTANCE result =
        ::ShellExecuteA(static_cast<HWND>(hwnd), operation, file, parameters, directory, showCmd);
    return reinterpret_cast<std::intptr_t>(result);
}

std::intptr_t PlanShellOpen(const char* /*operation*/, const char* file, const char* parameters,
                            const char* directory, ShellStart& start)
{
    if (missingFolder(directory))
        return SE_ERR_PNF;
    // The program itself for a program, the program registered for its type for a document.
    char program[MAX_PATH] = {};
    const auto result = reinterpret_cast<std::intptr_t>(::FindExecutableA(file, directory, program));
    if (result <= 32)
        return result;
    start.program = program;
    start.file = lstrcmpiA(program, file) != 0 ? file : program;
    start.arguments = {program};
    if (start.file != start.program)
        start.arguments.push_back(start.file);
    for (std::string& argument : SplitCommandLine(parameters != nullptr ? parameters : ""))
        start.arguments.push_back(std::move(argument));
    start.folder = directory != nullptr ? directory : "";
    return 0;
}

void ReapStartedPrograms() {}

} // namespace platform
