// The real program in a private X server, driven from outside the way an operator drives it: xdotool
// moves the mouse, clicks and types, xclip reads the clipboard, and a window manager's close box is
// the WM_DELETE_WINDOW message sent to the window. Each case runs a fresh copy of the program in a
// temporary folder, so that its Ventiro.ini lands there.

#include "app/Ventiro_Unit1.h"
#include "core/value_list_strings.h"
#include "launch/default_launch_table.h"
#include "launch/launcher.h"
#include "platform/codepage.h"
#include "storage/form_storage.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/application.h"

#include <QPoint>
#include <QRect>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// How long one step (a window appearing, a file being written, the program ending) may take on a slow,
// sanitized build before the case fails.
constexpr auto kPatience = 30s;

const char* const kApplicationTitle = "Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung";
const char* const kDivider = "---------------------------\r\n";

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

std::vector<char*> argvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

fs::path makeTempDir(const char* prefix)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed: " + pattern);
    return fs::canonical(pattern);
}

// Runs a command-line tool to its end and returns its exit code and standard output.
struct ToolResult
{
    int code = -1;
    std::string out;
};

ToolResult runTool(std::vector<std::string> args)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    std::vector<char*> argv = argvOf(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    ToolResult result;
    const auto end = Clock::now() + kPatience;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd pfd{fds[0], POLLIN, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A program started in the background, its standard output and error going to one file. It is killed
// if it still runs when the object goes.
class Process
{
public:
    Process(std::vector<std::string> args, const fs::path& folder, const fs::path& output)
    {
        std::vector<char*> argv = argvOf(args);
        const std::string cwd = folder.string();
        const std::string log = output.string();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int in = ::open("/dev/null", O_RDONLY);
            if (out < 0 || in < 0 || ::chdir(cwd.c_str()) != 0)
                ::_exit(126);
            ::dup2(in, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Process()
    {
        if (m_pid > 0 && !m_code) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return m_pid; }

    // The exit code once the process has ended (-1 after a signal).
    std::optional<int> ExitCode()
    {
        if (!m_code && m_pid > 0) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return m_code;
    }

    std::optional<int> WaitForExit()
    {
        waitFor([this] { return ExitCode().has_value(); });
        return ExitCode();
    }

private:
    pid_t m_pid = -1;
    std::optional<int> m_code;
};

// The X server of this test program, its private home folder and the aim points of the main
// window's buttons.
class XServer : public testing::Environment
{
public:
    void SetUp() override
    {
        m_root = makeTempDir("ventiro-e2e-");
        const fs::path home = m_root / "home";
        const fs::path runtime = m_root / "run";
        fs::create_directories(home);
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        startServer();
        ASSERT_FALSE(m_display.empty()) << "Xvfb did not start (see " << (m_root / "xvfb.log") << ")";

        // The program and the tools find this server; nothing of the user's home is touched.
        ::setenv("DISPLAY", m_display.c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        for (const char* name : {"QT_QPA_PLATFORM", "WINEPREFIX", "XAUTHORITY", "VENTIRO_NO_ERROR_BOX",
                                 "VENTIRO_SHOWCMD", "WAYLAND_DISPLAY"})
            ::unsetenv(name);
        ASSERT_TRUE(waitFor([] {
            xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
            const bool ok = xcb_connection_has_error(connection) == 0;
            xcb_disconnect(connection);
            return ok;
        })) << "no connection to "
            << m_display;
        ASSERT_EQ(runTool({"xdotool", "version"}).code, 0) << "xdotool is missing";
        ASSERT_EQ(runTool({"xclip", "-version"}).code, 0) << "xclip is missing";
        measureButtons();
    }

    void TearDown() override
    {
        if (m_server > 0) {
            ::kill(m_server, SIGTERM);
            ::waitpid(m_server, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    // The centre of an action's button, relative to the main window's client area.
    static QPoint Button(const std::string& action)
    {
        const auto found = buttons().find(action);
        return found == buttons().end() ? QPoint(-1, -1) : found->second;
    }

private:
    static std::map<std::string, QPoint>& buttons()
    {
        static std::map<std::string, QPoint> centres;
        return centres;
    }

    void startServer()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        const std::string log = (m_root / "xvfb.log").string();
        std::vector<std::string> args = {"Xvfb",         "-displayfd", fd,    "-screen", "0",
                                         "1280x1024x24", "-nolisten",  "tcp", "-noreset"};
        std::vector<char*> argv = argvOf(args);
        m_server = ::fork();
        if (m_server == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(fds[0]);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        // The server writes its display number once it accepts connections.
        std::string number;
        const auto end = Clock::now() + kPatience;
        while (number.find('\n') == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd pfd{fds[0], POLLIN, 0};
            if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0)
                break;
            char buffer[16];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        if (number.find('\n') != std::string::npos)
            m_display = ":" + number.substr(0, number.find('\n'));
    }

    // The designed window, built here with the fonts that the program finds on this server, tells
    // where each button is; the clicks below aim at these points.
    void measureButtons()
    {
        static int argc = 1;
        static char name[] = "test_end_to_end";
        static char* argv[] = {name, nullptr};
        auto application = std::make_unique<TApplication>(argc, argv);
        auto form = std::make_unique<TVentiro_Form1>();
        form->FormStorage1->IniFileName = (m_root / "unused.ini").string();
        for (TActionToolBar* bar : {form->ActionToolBar2, form->ActionToolBar1, form->ActionToolBar4,
                                    form->ActionToolBar6, form->ActionToolBar5}) {
            bar->Relayout();
            for (std::size_t i = 0; i < bar->Items().size(); ++i) {
                const QWidget* button = bar->Button(static_cast<int>(i));
                ASSERT_NE(button, nullptr);
                buttons()[bar->Items()[i].Action->Name] = button->mapTo(form.get(), button->rect().center());
            }
        }
        form.reset();
        application.reset();
    }

    fs::path m_root;
    pid_t m_server = -1;
    std::string m_display;
};

// Sends what a window manager's close box sends: the WM_DELETE_WINDOW protocol message.
void closeFromOutside(std::uint32_t window)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    const auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

// The visible window of a process whose title matches, 0 while there is none.
std::uint32_t visibleWindow(pid_t pid, const std::string& title)
{
    const ToolResult found = runTool(
        {"xdotool", "search", "--all", "--pid", std::to_string(pid), "--onlyvisible", "--name", title});
    if (found.code != 0 || found.out.empty())
        return 0;
    return static_cast<std::uint32_t>(std::stoul(found.out));
}

std::uint32_t waitForWindow(pid_t pid, const std::string& title)
{
    std::uint32_t window = 0;
    waitFor([&] { return (window = visibleWindow(pid, title)) != 0; });
    return window;
}

QRect geometryOf(std::uint32_t window)
{
    const ToolResult shell = runTool({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)});
    std::map<std::string, int> values;
    std::istringstream lines(shell.out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = std::stoi(line.substr(eq + 1));
    }
    return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
}

void clickAt(std::uint32_t window, QPoint point)
{
    ASSERT_GE(point.x(), 0) << "no such button";
    // A synchronous move waits until the pointer has moved: start from beside the point, so that a
    // second click at the same place does not wait for a move that never comes.
    ASSERT_EQ(runTool({"xdotool", "mousemove", "--window", std::to_string(window),
                       std::to_string(point.x() + 1), std::to_string(point.y())})
                  .code,
              0);
    ASSERT_EQ(runTool({"xdotool", "mousemove", "--sync", "--window", std::to_string(window),
                       std::to_string(point.x()), std::to_string(point.y())})
                  .code,
              0);
    ASSERT_EQ(runTool({"xdotool", "click", "1"}).code, 0);
}

// Gives the window the keyboard, as clicking into it would, and presses keys there.
void keys(std::uint32_t window, std::vector<std::string> sequence)
{
    ASSERT_EQ(runTool({"xdotool", "windowfocus", "--sync", std::to_string(window)}).code, 0);
    sequence.insert(sequence.begin(), {"xdotool", "key", "--clearmodifiers"});
    ASSERT_EQ(runTool(sequence).code, 0);
}

void typeText(const std::string& text)
{
    ASSERT_EQ(runTool({"xdotool", "type", "--delay", "5", text}).code, 0);
}

// The sections of an INI file with their keys, in the program's own spelling.
using IniContent = std::map<std::string, std::map<std::string, std::string>>;

IniContent readIni(const fs::path& path)
{
    IniContent content;
    std::istringstream lines(readFile(path));
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            content[section];
        } else if (const auto eq = line.find('='); eq != std::string::npos) {
            content[section].emplace(line.substr(0, eq), line.substr(eq + 1));
        }
    }
    return content;
}

const char* const kMainSection = "Pultaro";
const char* const kSettingsSection = "Einstellungenmaske";
const char* const kTableSection = "Einstellungenmaske.Verknuepfungseditor_Strings";

// The launch table as it is stored: "Count" and one "ItemN" per line.
std::vector<std::string> storedTable(const IniContent& ini)
{
    std::vector<std::string> lines;
    const auto section = ini.find(kTableSection);
    if (section == ini.end() || !section->second.count("Count"))
        return lines;
    const int count = std::stoi(section->second.at("Count"));
    for (int i = 0; i < count; ++i) {
        const auto item = section->second.find("Item" + std::to_string(i));
        lines.push_back(item == section->second.end() ? "<missing>" : item->second);
    }
    return lines;
}

std::string iniFileOf(const std::vector<std::string>& table)
{
    std::string text =
        std::string("[") + kTableSection + "]\r\nCount=" + std::to_string(table.size()) + "\r\n";
    for (std::size_t i = 0; i < table.size(); ++i)
        text += "Item" + std::to_string(i) + "=" + table[i] + "\r\n";
    return text;
}

// One case: a fresh copy of the program in a temporary folder, started from another folder, with a
// helper script that records how it was started.
class EndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = makeTempDir("ventiro-case-");
        fs::create_directories(m_dir / "tools");
        fs::create_directories(m_dir / "elsewhere");
        fs::copy_file(VENTIRO_BINARY, m_dir / "ventiro");
        writeFile(m_dir / "tools" / "record.sh",
                  "#!/bin/sh\n"
                  "# Writes its arguments, one a line, and then its working folder.\n"
                  "out='" +
                      record().string() +
                      "'\n"
                      "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P; } > \"$out.part\"\n"
                      "mv \"$out.part\" \"$out\"\n");
        fs::permissions(m_dir / "tools" / "record.sh", fs::perms::owner_all);
    }

    void TearDown() override
    {
        m_panel.reset();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    fs::path ini() const { return m_dir / "Ventiro.ini"; }
    fs::path record() const { return m_dir / "record.txt"; }
    std::string recorder() const { return (m_dir / "tools" / "record.sh").string(); }
    std::string log() const { return readFile(m_dir / "panel.log"); }

    // The default table with some entries replaced, written as the program stores it.
    void writeTable(const std::map<std::string, std::string>& entries)
    {
        TValueListStrings table(DefaultLaunchTable());
        for (const auto& [key, command] : entries)
            table.Put(table.IndexOfName(key), key + "=" + command);
        writeFile(ini(), iniFileOf(table.Lines()));
    }

    // Starts the program and waits for its main window.
    std::uint32_t start(const char* program = "ventiro")
    {
        m_panel = std::make_unique<Process>(std::vector<std::string>{(m_dir / program).string()},
                                            m_dir / "elsewhere", m_dir / "panel.log");
        const std::uint32_t window = waitForWindow(m_panel->Pid(), "^Ventiro");
        EXPECT_NE(window, 0u) << "no main window; output:\n" << log();
        return window;
    }

    std::optional<int> closeAndWait(std::uint32_t window)
    {
        closeFromOutside(window);
        const std::optional<int> code = m_panel->WaitForExit();
        EXPECT_TRUE(code.has_value()) << "the program did not end; output:\n" << log();
        return code;
    }

    // Clicks a button of the main window and returns what the helper script recorded.
    std::vector<std::string> launchAndRecord(std::uint32_t window, const std::string& action)
    {
        fs::remove(record());
        clickAt(window, XServer::Button(action));
        EXPECT_TRUE(waitFor([this] { return fs::exists(record()); }))
            << action << " started nothing; output:\n"
            << log();
        std::vector<std::string> lines;
        std::istringstream text(readFile(record()));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    fs::path m_dir;
    std::unique_ptr<Process> m_panel;
};

TEST_F(EndToEnd, FirstRunClosedFromOutsideWritesBothSectionsAndTheTable)
{
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(geometryOf(window), QRect(326, 279, 600, 303));
    EXPECT_FALSE(fs::exists(ini())) << "nothing is written before the end";
    EXPECT_EQ(closeAndWait(window), 0);

    const IniContent stored = readIni(ini());
    ASSERT_TRUE(stored.count(kMainSection));
    ASSERT_TRUE(stored.count(kSettingsSection));
    EXPECT_EQ(stored.at(kMainSection).at("NormPos"), "326,279,934,609");
    EXPECT_EQ(stored.at(kMainSection).at("ShowCmd"), "1");
    EXPECT_TRUE(stored.at(kSettingsSection).count("NormPos"));
    ASSERT_TRUE(stored.count(kTableSection));
    EXPECT_EQ(stored.at(kTableSection).at("Count"), "26");
    EXPECT_EQ(storedTable(stored), DefaultLaunchTable());
    EXPECT_FALSE(fs::exists(m_dir / "elsewhere" / "Ventiro.ini"));
}

TEST_F(EndToEnd, ButtonStartsItsProgramWithUpperCasedParametersInTheProgramsFolder)
{
    writeTable({{"CimE", recorder() + " [-lang german \"two words\"]"}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(launchAndRecord(window, "CimE"),
              (std::vector<std::string>{"-LANG", "GERMAN", "TWO WORDS", (m_dir / "tools").string()}));
    // Every click starts the program anew.
    EXPECT_EQ(launchAndRecord(window, "CimE").size(), 4u);
    EXPECT_EQ(closeAndWait(window), 0);
}

TEST_F(EndToEnd, MissingProgramIsReportedAndTheMessageCopiedExactly)
{
    const std::string missing = (m_dir / "tools" / "ncverify.exe").string();
    writeTable({{"CimE", recorder()}, {"Simula", missing + " [-fast]"}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);

    clickAt(window, XServer::Button("Simula"));
    const std::uint32_t box = waitForWindow(m_panel->Pid(), std::string("^") + kApplicationTitle + "$");
    ASSERT_NE(box, 0u) << "no message; output:\n" << log();

    const std::string message = FailureMessage(SplitCommand(UpperCaseAscii(missing + " [-fast]")), 2);
    EXPECT_NE(message.find("Datei wurde nicht gefunden."), std::string::npos);
    const std::string expected =
        codepage::ansiToUtf8(std::string(kDivider) + kApplicationTitle + "\r\n" + kDivider + message +
                             "\r\n" + kDivider + "OK   \r\n" + kDivider);
    keys(box, {"ctrl+c"});
    std::string clipboard;
    waitFor([&] {
        const ToolResult copied = runTool({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"});
        clipboard = copied.out;
        return copied.code == 0 && clipboard == expected;
    });
    EXPECT_EQ(clipboard, expected);

    keys(box, {"Return"});
    EXPECT_TRUE(waitFor([&] { return visibleWindow(m_panel->Pid(), kApplicationTitle) == 0; }));
    // The panel goes on: the next click launches.
    EXPECT_EQ(launchAndRecord(window, "CimE"), (std::vector<std::string>{"-", (m_dir / "tools").string()}));
    EXPECT_EQ(closeAndWait(window), 0);
}

TEST_F(EndToEnd, ValueTypedInTheSettingsWindowIsSavedAtCloseAndUsedByTheNextClick)
{
    writeTable({{"CimE", recorder() + " [-old]"}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(launchAndRecord(window, "CimE").front(), "-OLD");

    clickAt(window, XServer::Button("Einstellungen"));
    const std::uint32_t settings = waitForWindow(m_panel->Pid(), "^Einstellungen$");
    ASSERT_NE(settings, 0u) << "the settings window did not open; output:\n" << log();
    const std::string typed = recorder() + " [-new value]";
    keys(settings, {"ctrl+Up", "ctrl+a"});
    typeText(typed);
    closeFromOutside(settings);
    EXPECT_TRUE(waitFor([&] { return visibleWindow(m_panel->Pid(), "^Einstellungen$") == 0; }));

    // Saved when the window closed, while the panel runs on.
    std::vector<std::string> table;
    waitFor(
        [&] { return !(table = storedTable(readIni(ini()))).empty() && table.front() == "CimE=" + typed; });
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table.front(), "CimE=" + typed);
    EXPECT_EQ(table.size(), DefaultLaunchTable().size());
    EXPECT_FALSE(m_panel->ExitCode().has_value());

    EXPECT_EQ(launchAndRecord(window, "CimE"),
              (std::vector<std::string>{"-NEW", "VALUE", (m_dir / "tools").string()}));
    EXPECT_EQ(closeAndWait(window), 0);
    EXPECT_EQ(storedTable(readIni(ini())).front(), "CimE=" + typed);
}

TEST_F(EndToEnd, TerminationRequestWhileEditingSavesEverythingAndEndsWithZero)
{
    writeTable({{"CimE", recorder() + " [-old]"}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    clickAt(window, XServer::Button("Einstellungen"));
    const std::uint32_t settings = waitForWindow(m_panel->Pid(), "^Einstellungen$");
    ASSERT_NE(settings, 0u) << "the settings window did not open; output:\n" << log();
    keys(settings, {"ctrl+Up", "End"});
    typeText("X");
    // The session ends (logout, shutdown) while the settings window is still open.
    ASSERT_EQ(::kill(m_panel->Pid(), SIGTERM), 0);
    EXPECT_EQ(m_panel->WaitForExit(), 0) << log();
    const IniContent stored = readIni(ini());
    EXPECT_TRUE(stored.count(kMainSection));
    EXPECT_EQ(storedTable(stored).front(), "CimE=" + recorder() + " [-old]X");
}

TEST_F(EndToEnd, TerminationRequestAfterLaunchingAFifoEndsWithZero)
{
    // Reading a FIFO would wait for a writer: the launch refuses it at once, and the panel serves the
    // termination request that follows.
    ASSERT_EQ(::mkfifo((m_dir / "tools" / "pipe").c_str(), 0600), 0);
    writeTable({{"CimE", (m_dir / "tools" / "pipe").string()}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    clickAt(window, XServer::Button("CimE"));
    EXPECT_NE(waitForWindow(m_panel->Pid(), std::string("^") + kApplicationTitle + "$"), 0u) << log();
    ASSERT_EQ(::kill(m_panel->Pid(), SIGTERM), 0);
    EXPECT_EQ(m_panel->WaitForExit(), 0) << log();
}

TEST_F(EndToEnd, MovedWindowOpensWhereItWasLeft)
{
    std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    ASSERT_EQ(runTool({"xdotool", "windowmove", "--sync", std::to_string(window), "211", "143"}).code, 0);
    EXPECT_EQ(geometryOf(window).topLeft(), QPoint(211, 143));
    EXPECT_EQ(closeAndWait(window), 0);
    // The window system draws no frame here; the stored rectangle is the client area grown by the
    // frame of a sizeable window, as everywhere.
    EXPECT_EQ(readIni(ini()).at(kMainSection).at("NormPos"), "211,143,819,473");

    window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(geometryOf(window), QRect(211, 143, 600, 303));
    EXPECT_EQ(closeAndWait(window), 0);
    EXPECT_EQ(readIni(ini()).at(kMainSection).at("NormPos"), "211,143,819,473");
}

TEST_F(EndToEnd, FailedStartUpShowsTheApplicationErrorAndExitsWithOne)
{
    fs::copy_file(VENTIRO_FAILING_BINARY, m_dir / "ventiro_failing_start");
    m_panel = std::make_unique<Process>(std::vector<std::string>{(m_dir / "ventiro_failing_start").string()},
                                        m_dir / "elsewhere", m_dir / "panel.log");
    const std::uint32_t box = waitForWindow(m_panel->Pid(), "^Application Error$");
    ASSERT_NE(box, 0u) << "no error box; output:\n" << log();
    EXPECT_EQ(visibleWindow(m_panel->Pid(), "^Ventiro"), 0u);
    EXPECT_FALSE(m_panel->ExitCode().has_value()) << "the box waits for the operator";

    keys(box, {"Return"});
    EXPECT_EQ(m_panel->WaitForExit(), 1);
    // "... at <eight capital hex digits>." and the message, each line ended by CR LF.
    const std::string output = log();
    const std::string head = "Exception Exception in module ventiro_failing_start at ";
    const std::size_t at = output.find(head);
    ASSERT_NE(at, std::string::npos) << output;
    const std::string address = output.substr(at + head.size(), 8);
    EXPECT_EQ(address.size(), 8u) << output;
    EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << output;
    const std::string tail = ".\r\nFenster nicht erstellt.\r\n";
    EXPECT_EQ(output.substr(at + head.size() + 8, tail.size()), tail) << output;
    EXPECT_FALSE(fs::exists(ini()));
}

// One X server for the whole program.
testing::Environment* const xServer = testing::AddGlobalTestEnvironment(new XServer);

} // namespace
