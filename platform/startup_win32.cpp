#include "platform/startup.h"

#include <windows.h>

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

} // namespace platform
