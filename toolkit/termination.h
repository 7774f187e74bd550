#pragma once

#include <functional>

class QObject;

// Serves the signals of platform/termination.h in the event loop of the GUI thread: the programs the
// shell open started are reaped as they end, so none stays behind as a zombie, and a request to end
// from outside the window system reaches `onRequest`, so the program can close its main window the
// way the close box does and nothing is lost. A second request while the first is handled ends the
// process the system's way. On Windows a logoff or shutdown reaches the application object as a
// session end (toolkit/application.h).
void InstallSignalHandler(QObject* owner, std::function<void()> onRequest);
