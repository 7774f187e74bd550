#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The desktop's feedback while a program starts (the freedesktop start-up notification protocol of
// X11): the desktop shows its busy pointer or a task bar entry from the "new:" message of a sequence
// until the "remove:" message ends it. The started program finds the sequence's ID in its variable
// DESKTOP_STARTUP_ID and ends it itself once its window is up; for one that does not, the sequence
// ends when a new top-level window appears, or when the owner gives up waiting. Elsewhere (no X11,
// Windows, where the system does this itself) nothing is sent and every ID is empty.
class StartupFeedback
{
public:
    StartupFeedback();
    ~StartupFeedback();
    StartupFeedback(const StartupFeedback&) = delete;
    StartupFeedback& operator=(const StartupFeedback&) = delete;

    // Begins a sequence for a program about to start: `name` for the operator, `binary` the program
    // file, `timestamp` the X server time of the click that asked for it (0 if unknown). Returns the
    // new ID, empty where there is no X11 display.
    std::string Begin(const std::string& name, const std::string& binary, std::uint32_t timestamp);
    // Ends a sequence (unknown IDs are ignored; an empty one too).
    void End(const std::string& id);

    // While sequences run, the descriptor that becomes readable when the display has news; -1 when
    // none runs. Each time it does, ReadEvents takes the news and ends every sequence whose program
    // showed its window; it returns the IDs it ended.
    int EventDescriptor() const;
    std::vector<std::string> ReadEvents();

    struct Connection;

private:
    std::unique_ptr<Connection> m_connection;
    std::vector<std::string> m_pending;
};

// The start-up ID that the programs started next get in DESKTOP_STARTUP_ID; empty: none (an ID the
// panel itself was started with is never handed on).
void SetChildStartupId(const std::string& id);
const std::string& ChildStartupId();

// The X server time of a start-up ID ("..._TIME<n>"), 0 when it carries none.
std::uint32_t StartupIdTime(const std::string& id);

// Brings a top-level X11 window of this program to the front and gives it the keyboard, on behalf of
// the user action at `timestamp` (0: now), through the window manager where one runs. No-op off X11.
void ActivateX11Window(std::uint32_t window, std::uint32_t timestamp);

// Ends the desktop's sequence of a start that opens no window of its own (the ID it was started with).
void EndOwnStartupSequence(const std::string& id);

} // namespace platform
