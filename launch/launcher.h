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

void LaunchProgram(const TValueListStrings& table, const std::string& key, int showIndex,
                   const LaunchServices& services);
