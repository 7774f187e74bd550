#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "shell.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

std::intptr_t ShellExecuteA(void* hwnd, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd)
{
    // A working folder that does not exist is "path not found", as the POSIX backend reports it.
    // Checked here because not every implementation of the call does so (Wine reports the program
    // as not found, or starts it in its own folder).
    if (directory != nullptr && *directory != '\0') {
        const DWORD attributes = GetFileAttributesA(directory);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return SE_ERR_PNF;
    }
    HINSTANCE result =
        ::ShellExecuteA(static_cast<HWND>(hwnd), operation, file, parameters, directory, showCmd);
    return reinterpret_cast<std::intptr_t>(result);
}

void ReapStartedPrograms() {}

} // namespace platform
