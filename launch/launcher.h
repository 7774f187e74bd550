#pragma once

#include "core/value_list_strings.h"
#include "platform/shell.h"

#include <cstdint>
#include <functional>
#include <string>

// Turns a launch key into a started program: the key's command entry is read from the table anew,
// upper-cased, split into directory, program file and the parameters in square brackets, and handed
// to the shell; a refusal becomes one German message.

using MessageFn = std::function<void(const std::string& message)>;

// What the launcher acts through: it has no way to the outside of its own. The program hands it its
// services (toolkit/services.h); a test of the launcher alone hands it the shell open it wants
// (platform::ShellExecuteA for the real one).
struct LaunchServices
{
    void* ownerWindow = nullptr;     // the application's window handle, passed to the shell
    MessageFn showMessage;           // the modal message display; empty: no message
    platform::ShellOpenFn shellOpen; // the shell open; empty: nothing is started, nothing shown
};

// The main window's LaunchProgram (app/Ventiro_Unit1.h) calls this with the settings window's table.
void LaunchFromTable(const TValueListStrings& table, const std::string& key, int showIndex,
                     const LaunchServices& services);

// What a press of the key would start, found by the same rules as LaunchFromTable and the shell open
// (platform::PlanShellOpen) and without starting anything.
struct LaunchCheck
{
    bool hasEntry = false;  // the table has a line for the key
    std::string entry;      // its command entry, upper-cased
    std::intptr_t code = 0; // 0: it would start `start`; otherwise the shell's code
    platform::ShellStart start;
};
LaunchCheck CheckLaunch(const TValueListStrings& table, const std::string& key);

// The three parts a command entry is split into, as they are handed to the shell.
struct SplitCommandResult
{
    std::string directory;
    std::string program;
    std::string parameters;

    bool operator==(const SplitCommandResult&) const = default;
};

// Only the ASCII letters a-z become capitals; every other byte stays as it is.
std::string UpperCaseAscii(const std::string& text);

// Splits an already upper-cased command entry. The directory ends at the last "\", "/" or ":" that
// is not inside the first "[" ... "]" pair; the parameters are the text between the first "[" and
// the first "]", or "-" when there is no "[" at all.
SplitCommandResult SplitCommand(const std::string& entry);

// The window show command for a show index 0-9; any other index hides the window (SW_HIDE).
int ShowCommand(int showIndex);

// The show index of SW_SHOWNORMAL, with which every button starts its program.
constexpr int kShowIndexNormal = 9;

// The German text for a shell result of 32 or less; empty for codes without a text.
const char* ErrorText(std::intptr_t code);

// "Verzeichnis: ...", "Programm: ...", "Parameter: ...", an empty line and the error text, joined by
// single carriage returns.
std::string FailureMessage(const SplitCommandResult& parts, std::intptr_t code);
