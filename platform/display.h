#pragma once

#include <string>

namespace platform {

// Looks, before the GUI toolkit starts, for a window system the program can open its windows on.
// False when there is none. Otherwise `toolkitPlatform` is the toolkit's name of the one to use
// ("xcb" for X11, "wayland"), or empty where the toolkit's own choice stands: the user named a
// platform (QT_QPA_PLATFORM), or the system has only one window system (Windows).
//
// Where a session offers both X11 and Wayland (XWayland), X11 is preferred: there a window can be
// put back where it was left, which is what the program's stored placement is for; Wayland lets no
// program read or set the position of its windows.
bool ChooseWindowSystem(std::string& toolkitPlatform);

// Closes what ChooseWindowSystem kept open to find the window system; call it once the GUI toolkit
// has connected.
void ReleaseDisplayProbe();

} // namespace platform
