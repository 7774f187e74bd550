#pragma once

#include <QString>

#include <functional>

// The program's entry sequence, for main() and for test programs that start it with windows of
// their own.
//
// Chooses the display (1 without one, see TApplication::PrepareDisplay), creates the application
// object, prepares and titles it, lets `createForms` create the windows and
// runs the event loop until the program ends; the result is the process's exit code, 0. An error that
// escapes before the loop runs (a window that cannot be created) is shown in the "Application Error"
// box and the result is 1.
//
// Before that it reads the command line (ventiro --help), and looks for a panel that already runs for
// this operator, display and INI file: that one comes to the front and the result is 0.
int RunProgram(int argc, char** argv, const std::function<void()>& createForms);

// An X11 display name without its screen number (":0.0" is ":0").
QString screenlessDisplay(const QString& display);

// The panel's windows, in the order of their creation: the main window (the first window created
// becomes the application's main window), then the settings window, which shows the main window's
// glyphs.
void CreatePanelForms();
