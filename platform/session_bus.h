#pragma once

#include <string>
#include <vector>

namespace platform {

// Where no session bus can be reached (no DBUS_SESSION_BUS_ADDRESS and no $XDG_RUNTIME_DIR/bus
// socket), the D-Bus library would start one for the first caller (dbus-launch) and make the GUI
// thread wait for it, leaving a daemon behind; the GUI toolkit asks for the bus at start-up for
// accessibility and its theme. This points the bus address of this process at the bus that
// dbus-launch started earlier for the same X display, if that one still runs, and at no bus
// otherwise, so asking fails at once. Wherever a bus is announced, nothing changes. Call it before the GUI
// toolkit starts. True if the environment was changed.
bool AvoidSessionBusLaunch();

// The environment programs started by the panel get: the process's own, without the change above,
// with DESKTOP_STARTUP_ID set to the start-up ID of the next start (platform/startup_notification.h)
// or unset. Entries "NAME=value".
std::vector<std::string> ChildEnvironment();

} // namespace platform
