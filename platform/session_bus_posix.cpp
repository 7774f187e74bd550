#include "platform/session_bus.h"

#include "platform/startup_notification.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace platform {

namespace {

constexpr const char* kAddressName = "DBUS_SESSION_BUS_ADDRESS";
constexpr char kStartupIdName[] = "DESKTOP_STARTUP_ID=";
// An address of a kind the D-Bus library does not know: connecting fails without starting a bus.
constexpr const char* kNoBus = "disabled:";

bool g_changed = false;

bool hasText(const char* value)
{
    return value != nullptr && *value != '\0';
}

std::string firstLineOf(const char* path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// dbus-launch, when it started a bus for an X display earlier, left the bus's address in
// ~/.dbus/session-bus/<machine id>-<display number>; a later client of that display uses that bus
// while the daemon lives. Empty when there is no such file or its daemon has gone.
std::string launchedBusAddress()
{
    const char* display = std::getenv("DISPLAY");
    const char* home = std::getenv("HOME");
    if (!hasText(display) || !hasText(home))
        return {};
    std::string number(display); // "host:1.0" is display 1
    const std::size_t colon = number.rfind(':');
    if (colon == std::string::npos)
        return {};
    number = number.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    std::string machine = firstLineOf("/etc/machine-id");
    if (machine.empty())
        machine = firstLineOf("/var/lib/dbus/machine-id");
    if (number.empty() || machine.empty())
        return {};

    std::ifstream file(std::string(home) + "/.dbus/session-bus/" + machine + "-" + number);
    std::string line;
    std::string address;
    long pid = 0;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
            value = value.substr(1, value.size() - 2);
        if (line.compare(0, equals, kAddressName) == 0)
            address = value;
        else if (line.compare(0, equals, "DBUS_SESSION_BUS_PID") == 0)
            pid = std::strtol(value.c_str(), nullptr, 10);
    }
    if (address.empty() || pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM))
        return {};
    return address;
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
    const std::string launched = launchedBusAddress();
    if (::setenv(kAddressName, launched.empty() ? kNoBus : launched.c_str(), 1) != 0)
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
        // The start-up ID of the panel's own start is the panel's; a started program gets its own.
        if (std::strncmp(*entry, kStartupIdName, sizeof kStartupIdName - 1) == 0)
            continue;
        entries.emplace_back(*entry);
    }
    if (!ChildStartupId().empty())
        entries.push_back(std::string(kStartupIdName) + ChildStartupId());
    return entries;
}

} // namespace platform
