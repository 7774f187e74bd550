#include "platform/startup.h"

#include <windows.h>

#include <cstdio>

namespace platform {

int StartupShowCommand()
{
    STARTUPINFOA info{};
    info.cb = sizeof info;
    GetStartupInfoA(&info);
    return (info.dwFlags & STARTF_USESHOWWINDOW) != 0 ? info.wShowWindow : SW_SHOWNORMAL;
}

std::string CurrentUser()
{
    char name[257] = "";
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

void UseStartingConsole()
{
    // Standard output handed over by the caller (a pipe, a file) stays where it goes.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out != nullptr && out != INVALID_HANDLE_VALUE) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

} // namespace platform
