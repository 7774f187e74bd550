// The real program's test support: see e2e_support.h.

#include "e2e_support.h"

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

namespace {

std::vector<char*> argvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

ToolResult runTool(std::vector<std::string> args, std::chrono::milliseconds limit, bool withErrors)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    std::vector<char*> argv = argvOf(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(withErrors ? fds[1] : devNull, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    ToolResult result;
    const auto end = Clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd pfd{fds[0], POLLIN, 0};
        const int ready = left > 0 ? ::poll(&pfd, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue; // a child's end interrupted the wait: on, with what is left of the time
        if (ready <= 0) {
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

Process::Process(std::vector<std::string> args, const fs::path& folder, const fs::path& output,
                 const std::function<bool()>& inChild)
{
    std::vector<char*> argv = argvOf(args);
    const std::string cwd = folder.string();
    const std::string log = output.string();
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || ::chdir(cwd.c_str()) != 0 || (inChild && !inChild()))
            ::_exit(126);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

Process::~Process()
{
    if (m_pid > 0 && !m_code) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> Process::ExitCode()
{
    if (!m_code && m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return m_code;
}

std::optional<int> Process::WaitForExit()
{
    waitFor([this] { return ExitCode().has_value(); });
    return ExitCode();
}

void XServer::SetUp()
{
    m_root.emplace("ventiro-e2e");
    const fs::path home = Root() / "home";
    const fs::path runtime = Root() / "run";
    fs::create_directories(home);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    startServer();
    ASSERT_FALSE(m_display.empty()) << "Xvfb did not start (see " << (Root() / "xvfb.log") << ")";

    // The program and the tools find this server; nothing of the user's home is touched.
    ::setenv("DISPLAY", m_display.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    for (const char* name : {"QT_QPA_PLATFORM", "WINEPREFIX", "XAUTHORITY", "VENTIRO_SHOWCMD",
                             "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
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
}

void XServer::TearDown()
{
    if (m_server > 0) {
        ::kill(m_server, SIGTERM);
        ::waitpid(m_server, nullptr, 0);
    }
    m_root.reset();
}

void XServer::startServer()
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    const std::string fd = std::to_string(fds[1]);
    const std::string log = (Root() / "xvfb.log").string();
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
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
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

namespace {

xcb_connection_t* connectOrFail()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    EXPECT_EQ(xcb_connection_has_error(c), 0);
    return c;
}

xcb_window_t rootOf(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

void sync(xcb_connection_t* c)
{
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

} // namespace

std::uint32_t focusedWindow()
{
    xcb_connection_t* c = connectOrFail();
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const std::uint32_t window = reply != nullptr ? reply->focus : 0;
    std::free(reply);
    xcb_disconnect(c);
    return window;
}

ForeignWindow::ForeignWindow() : m_c(connectOrFail())
{
    m_window = xcb_generate_id(m_c);
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, rootOf(m_c), 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(m_c, m_window);
    xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_POINTER_ROOT, m_window, XCB_CURRENT_TIME);
    sync(m_c);
}

ForeignWindow::~ForeignWindow()
{
    xcb_disconnect(m_c);
}

StartupMessages::StartupMessages() : m_c(connectOrFail())
{
    const auto atom = [this](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const std::uint32_t result = reply != nullptr ? reply->atom : 0;
        std::free(reply);
        return result;
    };
    m_begin = atom("_NET_STARTUP_INFO_BEGIN");
    m_more = atom("_NET_STARTUP_INFO");
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_c, rootOf(m_c), XCB_CW_EVENT_MASK, &mask);
    sync(m_c);
}

StartupMessages::~StartupMessages()
{
    xcb_disconnect(m_c);
}

const std::vector<std::string>& StartupMessages::Read()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && message->format == 8 &&
            (message->type == m_begin || message->type == m_more)) {
            std::string& text = m_partial[message->window];
            if (message->type == m_begin)
                text.clear();
            const char* data = reinterpret_cast<const char*>(message->data.data8);
            const std::size_t length = strnlen(data, 20);
            text.append(data, length);
            if (length < 20) {
                m_messages.push_back(text);
                m_partial.erase(message->window);
            }
        }
        std::free(event);
    }
    return m_messages;
}

IniContent readIni(const fs::path& path)
{
    IniContent content;
    std::istringstream lines(readBytes(path));
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

} // namespace e2e
