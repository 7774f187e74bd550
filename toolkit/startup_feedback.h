#pragma once

#include "platform/shell_codes.h"

#include <cstdint>
#include <string>

// The desktop's feedback while a started program comes up (its busy pointer, a task bar entry): the
// shell open of the services runs every start through StartWithFeedback. On X11 each start begins a
// start-up notification sequence whose ID the program gets in DESKTOP_STARTUP_ID; the sequence ends
// when the program's window appears, at once when the start fails, and at the latest after
// kStartupFeedbackMs. Nothing waits in between: the display's news and one timer per sequence wake
// the panel, nothing else.
constexpr int kStartupFeedbackMs = 20000;

// Runs `start` (a shell open, its result above kLastError on success) inside a sequence named after `file`.
template <class Start>
std::intptr_t StartWithFeedback(const char* file, Start start);

// What StartWithFeedback is made of.
std::string BeginStartupFeedback(const char* file);
void EndStartupFeedback(const std::string& id, bool started);

template <class Start>
std::intptr_t StartWithFeedback(const char* file, Start start)
{
    const std::string id = BeginStartupFeedback(file);
    const std::intptr_t result = start();
    EndStartupFeedback(id, result > platform::shellcode::kLastError);
    return result;
}
