#include "platform/session_bus.h"

namespace platform {

// Windows has no session bus to start.
bool AvoidSessionBusLaunch()
{
    return false;
}

// Programs are started by the shell, with the process's environment.
std::vector<std::string> ChildEnvironment()
{
    return {};
}

} // namespace platform
