#include "platform/startup.h"
#include "platform/winuser.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace platform {

int StartupShowCommand()
{
    const char* text = std::getenv("VENTIRO_SHOWCMD");
    if (text == nullptr || *text == '\0')
        return SW_SHOWNORMAL;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0 || value > SW_MAX)
        return SW_SHOWNORMAL;
    return static_cast<int>(value);
}

std::string CurrentUser()
{
    return "uid " + std::to_string(::getuid());
}

void UseStartingConsole() {}

} // namespace platform
