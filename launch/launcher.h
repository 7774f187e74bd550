#pragma once

#include "launch/value_list_strings.h"

#include <cstdint>
#include <functional>
#include <string>

// Turns a launch key into a started program: the key's command entry is read from the table anew,
// upper-cased, split into directory, program file and the parameters in square brackets, and handed
// to the shell; a refusal becomes one German message.

using ShellOpenFn = std::function<std::intptr_t(void* owner, const char* operation, const char* file,
                                                const char* parameters, const char* directory, int showCmd)>;
using MessageFn = std::function<void(const std::string& message)>;

struct LaunchServices
{
    void* ownerWindow = nullptr; // the application's window handle, passed to the shell
    MessageFn showMessage;       // the modal message display
    ShellOpenFn shellOpen;       // empty: the platform's shell open
};

struct CommandParts
{
    std::string directory;
    std::string program;
    std::string parameters;
};

// Only the ASCII letters a-z change; every other byte stays as it is.
std::string UpperCaseAscii(std::string text);

// Splits an upper-cased command entry. The directory ends at the last "\", "/" or ":" outside the
// first "[...]" pair; the parameters are the text inside that pair, "-" when there is no "[".
CommandParts SplitCommand(const std::string& entry);

// The show command for a show index 0 to 9; any other index hides the window (0).
int ShowCommand(int showIndex);

// The German text for a shell result of 32 or less; empty for codes without a text.
std::string ErrorText(int code);

// "Verzeichnis: ...\rProgramm: ...\rParameter: ...\r\r<error text>"
std::string FailureMessage(const CommandParts& parts, int code);

void LaunchProgram(const TValueListStrings& table, const std::string& key, int showIndex,
                   const LaunchServices& services);
