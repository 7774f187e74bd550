#include "platform/display.h"

#include "platform/path_list.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

namespace platform {

namespace {

// The connection that found the X server. It stays open until the toolkit has made its own: an X
// server whose last client leaves resets itself and, while it does, refuses the next one.
xcb_connection_t* g_probe = nullptr;

// An X server named by DISPLAY accepts us (the connection set-up, authorisation included, succeeds).
bool x11Opens()
{
    if (g_probe != nullptr)
        return true;
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return false;
    // A server that is busy resetting refuses for a moment (EAGAIN): it is there, so ask again for
    // a bounded time.
    for (int attempt = 0;; ++attempt) {
        errno = 0;
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const bool ok = xcb_connection_has_error(connection) == 0;
        const bool busy = !ok && errno == EAGAIN;
        if (ok) {
            g_probe = connection;
            return true;
        }
        xcb_disconnect(connection);
        if (!busy || attempt == 100)
            return false;
        const timespec pause{0, 50'000'000L};
        ::nanosleep(&pause, nullptr);
    }
}

// A Wayland compositor listens on the socket that the client library would use: $WAYLAND_DISPLAY
// (default "wayland-0") in $XDG_RUNTIME_DIR, or that path itself when it is absolute.
bool waylandOpens()
{
    const char* socketFd = std::getenv("WAYLAND_SOCKET");
    if (socketFd != nullptr && *socketFd != '\0')
        return true; // a connection handed over by the parent
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::string path = name != nullptr && *name != '\0' ? name : "wayland-0";
    if (path[0] != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr || *runtime == '\0')
            return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool ChooseWindowSystem(std::string& toolkitPlatform)
{
    toolkitPlatform.clear();
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen != nullptr && *chosen != '\0') {
        // The user's choice stands; it only fails here when every window system it names is
        // missing. Platforms that need no display (offscreen, vnc, eglfs ...) are taken as they are.
        for (const std::string& name : SplitPathList(chosen, ';')) {
            const std::string base = name.substr(0, name.find(':'));
            if (base == "xcb" ? x11Opens() : base.rfind("wayland", 0) == 0 ? waylandOpens() : !base.empty())
                return true;
        }
        return false;
    }
    if (x11Opens())
        toolkitPlatform = "xcb";
    else if (waylandOpens())
        toolkitPlatform = "wayland";
    else
        return false;
    return true;
}

void ReleaseDisplayProbe()
{
    if (g_probe != nullptr)
        xcb_disconnect(std::exchange(g_probe, nullptr));
}

} // namespace platform
