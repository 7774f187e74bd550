#pragma once

#include "platform/shell.h"

#include <functional>
#include <string>

class QString;

// The one place where the program meets the world outside its windows: a test that must see or
// refuse such an act (a program started, the clipboard written, a message or an error box shown), or
// that keeps the windows' state in a file of its own, replaces the service here, and nothing else of
// the program knows about it.
//
// The program uses the defaults. A replacement is set before the code under test runs, for a window
// before the window is created (a test program's set-up), with the members it needs; members left
// empty keep their default.
struct TServices
{
    // Opens a file through the shell, with the arguments and result of platform::ShellExecuteA; the
    // launcher starts every program through it. Default: platform::ShellExecuteA, with the desktop's
    // start-up feedback (toolkit/startup_feedback.h).
    platform::ShellOpenFn shellOpen;
    // Shows a message to the operator and returns when it has been read: a failed launch. Default:
    // ShowMessage (toolkit/message_dialog.h).
    std::function<void(const std::string& text)> showMessage;
    // Puts text on the system clipboard; false when the clipboard cannot be opened (another program
    // holds it, or the window system refuses). Default: Qt's clipboard, read back to see that it took.
    std::function<bool(const QString& text)> writeClipboard;
    // Shows an error to the operator and returns when it has been seen: the caption and the text of
    // the stop box (the application title and an escaped error, or "Application Error" and the text of
    // a failed start-up). Default: a modal message box with the stop icon.
    std::function<void(const std::string& caption, const std::string& text)> showError;
    // The INI file the windows keep their state in, taken when a window is created. Default (empty):
    // Ventiro.ini where the program keeps it (platform/config_location.h).
    std::string iniFile;
};

// The services in force; every member is set.
const TServices& Services();

// Puts `services` in force, the default in every empty member; SetServices({}) restores the defaults.
void SetServices(TServices services);
