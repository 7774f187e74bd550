#include "platform/session_bus.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace platform {

namespace {

constexpr const char* kAddressName = "DBUS_SESSION_BUS_ADDRESS";
// An address of a kind the D-Bus library does not know: connecting fails without starting a bus.
constexpr const char* kNoBus = "disabled:";

bool g_changed = false;

bool hasText(const char* value)
{
    return value != nullptr && *value != '\0';
}

} // namespace

bool AvoidSessionBusLaunch()
{
    if (g_changed)
        return true;
    if (hasText(std::getenv(kAddressName)))
        return false;
    // The per-user bus of a systemd session, which the library finds by itself.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info = {};
    if (hasText(runtime) && ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
        S_ISSOCK(info.st_mode))
        return false;
    if (::setenv(kAddressName, kNoBus, 1) != 0)
        return false;
    g_changed = true;
    return true;
}

std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> entries;
    const std::size_t nameLength = std::strlen(kAddressName);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (g_changed && std::strncmp(*entry, kAddressName, nameLength) == 0 && (*entry)[nameLength] == '=')
            continue;
        entries.emplace_back(*entry);
    }
    return entries;
}

} // namespace platform
