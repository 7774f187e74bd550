#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include "shell.h"

namespace platform {

std::intptr_t ShellExecuteA(void* owner, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd)
{
    return reinterpret_cast<std::intptr_t>(
        ::ShellExecuteA(static_cast<HWND>(owner), operation, file, parameters, directory, showCmd));
}

} // namespace platform
