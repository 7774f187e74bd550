// The start-up IDs, the same on both systems: the one for the programs started next, an ID's time.
#include "platform/startup_notification.h"

#include <cstdlib>

namespace platform {

namespace {
std::string g_childStartupId;
} // namespace

void SetChildStartupId(const std::string& id)
{
    g_childStartupId = id;
}

const std::string& ChildStartupId()
{
    return g_childStartupId;
}

std::uint32_t StartupIdTime(const std::string& id)
{
    const std::size_t at = id.rfind("_TIME");
    if (at == std::string::npos)
        return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(id.c_str() + at + 5, &end, 10);
    return *end == '\0' ? static_cast<std::uint32_t>(value) : 0;
}

} // namespace platform
