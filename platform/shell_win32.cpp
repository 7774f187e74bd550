#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "shell.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

std::intptr_t ShellExecuteA(void* hwnd, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd)
{
    HINSTANCE result =
        ::ShellExecuteA(static_cast<HWND>(hwnd), operation, file, parameters, directory, showCmd);
    return reinterpret_cast<std::intptr_t>(result);
}

} // namespace platform
