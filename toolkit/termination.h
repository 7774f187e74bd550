#pragma once

#include <functional>

class QObject;

// Serves the signals of platform/termination.h in the event loop of the GUI thread: the programs that
// the shell open started are reaped as they end (platform/shell.h), so none stays behind as a zombie,
// and a request to end the program from outside the window system (on POSIX SIGTERM at logout or
// shutdown, SIGHUP when the terminal goes, SIGINT from Ctrl+C in the terminal that started it)
// reaches `onRequest`, so the program can close its main window the way the close box does and
// nothing is lost. A second request while the first is handled ends the process the system's way.
// Windows sends such requests as window messages: a logoff or shutdown reaches the application
// object as a session end (toolkit/application.h).
void InstallSignalHandler(QObject* owner, std::function<void()> onRequest);
