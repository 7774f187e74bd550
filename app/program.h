#pragma once

#include <functional>

// The program's entry sequence, for main() and for test programs that start it with windows of
// their own.
//
// Chooses the display (1 without one, see TApplication::PrepareDisplay), creates the application
// object, prepares and titles it, lets `createForms` create the windows and
// runs the event loop until the program ends; the result is the process's exit code, 0. An error that
// escapes before the loop runs (a window that cannot be created) is shown in the "Application Error"
// box and the result is 1.
int RunProgram(int argc, char** argv, const std::function<void()>& createForms);

// The panel's windows, in the order of their creation: the main window (the first window created
// becomes the application's main window), then the settings window, which shows the main window's
// glyphs.
void CreatePanelForms();
