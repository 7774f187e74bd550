#pragma once

// What the tests of the real program share: temporary folders, child processes, a private X server
// (Xvfb) and its windows seen from outside with xdotool, and the INI file read back as text.

#include "tests/support/files.h"

#include <QRect>

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct xcb_connection_t;

namespace e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long one step (a window appearing, a file being written, the program ending) may take on a slow,
// sanitized build before the case fails.
constexpr auto kPatience = 30s;

template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit = kPatience)
{
    const auto end = Clock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() >= end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

void writeFile(const fs::path& path, const std::string& content);

// Runs a command-line tool to its end and returns its exit code and standard output.
struct ToolResult
{
    int code = -1;
    std::string out;
};
// With `withErrors` its standard error goes into `out` as well.
ToolResult runTool(std::vector<std::string> args, std::chrono::milliseconds limit = kPatience,
                   bool withErrors = false);

// A program started in the background, its standard output and error going to one file. It is killed
// if it still runs when the object goes. `inChild` runs in the child just before the program starts
// (to change its user, say); returning false ends the child with 126.
class Process
{
public:
    Process(std::vector<std::string> args, const fs::path& folder, const fs::path& output,
            const std::function<bool()>& inChild = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return m_pid; }
    // The exit code once the process has ended (-1 after a signal).
    std::optional<int> ExitCode();
    std::optional<int> WaitForExit();

private:
    pid_t m_pid = -1;
    std::optional<int> m_code;
};

// The X server of a test program, with a private home and runtime folder: DISPLAY, HOME and
// XDG_RUNTIME_DIR point there, and the variables that would change how the program starts are unset.
class XServer : public testing::Environment
{
public:
    void SetUp() override;
    void TearDown() override;
    const fs::path& Root() const { return m_root->path(); }

private:
    void startServer();

    std::optional<TempDir> m_root;
    pid_t m_server = -1;
    std::string m_display;
};

// Sends what a window manager's close box sends: the WM_DELETE_WINDOW protocol message.
void closeFromOutside(std::uint32_t window);
// The visible window of a process whose title matches, 0 while there is none.
std::uint32_t visibleWindow(pid_t pid, const std::string& title);
std::uint32_t waitForWindow(pid_t pid, const std::string& title);
QRect geometryOf(std::uint32_t window);

// The window that has the keyboard.
std::uint32_t focusedWindow();

// A window of another program, mapped and given the keyboard, until the object goes.
class ForeignWindow
{
public:
    ForeignWindow();
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;
    std::uint32_t Id() const { return m_window; }

private:
    ::xcb_connection_t* m_c = nullptr;
    std::uint32_t m_window = 0;
};

// The start-up notification messages sent to the root window (as a desktop receives them), in the
// order sent, from the object's creation on.
class StartupMessages
{
public:
    StartupMessages();
    ~StartupMessages();
    StartupMessages(const StartupMessages&) = delete;
    StartupMessages& operator=(const StartupMessages&) = delete;
    // The whole messages received so far ("new: ID=\"...\" ...").
    const std::vector<std::string>& Read();

private:
    ::xcb_connection_t* m_c = nullptr;
    std::uint32_t m_begin = 0, m_more = 0;
    std::map<std::uint32_t, std::string> m_partial;
    std::vector<std::string> m_messages;
};

// The sections of an INI file with their keys, in the program's own spelling.
using IniContent = std::map<std::string, std::map<std::string, std::string>>;
IniContent readIni(const fs::path& path);

inline const char* const kMainSection = "Pultaro";
inline const char* const kSettingsSection = "Einstellungenmaske";
inline const char* const kTableSection = "Einstellungenmaske.Verknuepfungseditor_Strings";

// The launch table as it is stored: "Count" and one "ItemN" per line.
std::vector<std::string> storedTable(const IniContent& ini);
std::string iniFileOf(const std::vector<std::string>& table);

} // namespace e2e
