// Measures the panel's start-up against a bare Qt window of the same size, on a private X server.
// Each run starts the program from a temporary folder (so that its Ventiro.ini lands there), takes
// the wall time from the start until its main window is mapped and painted (a pixel of the window
// shows the background colour), reads the peak memory, then closes the window the way a window
// manager would (WM_DELETE_WINDOW) and waits for the exit. The two programs run alternately. At the
// end the panel runs once more and its context switches over 5 idle seconds give the wake-ups.
// A last series starts the panel a second time while it runs: that start only brings the running
// panel to the front (raise_existing_ms).
// The runs have a private session bus (a dbus-daemon of the benchmark's own, when there is one); a
// third series starts the panel with no session bus at all, as in a plain X session or a kiosk.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The form colour of the panel, RGB 240, 251, 255; the bare window uses the same.
constexpr std::uint8_t kRed = 240, kGreen = 251, kBlue = 255;
// A point of the client area that shows the form background in both windows: the band between the
// last group box and the status bar of the panel.
constexpr int kProbeX = 300;
constexpr int kProbeY = 278;

constexpr auto kMapTimeout = std::chrono::seconds(20);
constexpr auto kExitTimeout = std::chrono::seconds(5);

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// A "Name:   value" field of a /proc status file, 0 if missing.
long statusField(const fs::path& status, const std::string& name)
{
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, name.size() + 1, name + ":") == 0)
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
    }
    return 0;
}

// Context switches of every thread of a process, by thread id, with the thread's name.
std::map<std::string, std::pair<std::string, long>> contextSwitches(pid_t pid)
{
    std::map<std::string, std::pair<std::string, long>> result;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream commFile(task.path() / "comm");
        std::string comm;
        std::getline(commFile, comm);
        const long count = statusField(task.path() / "status", "voluntary_ctxt_switches") +
                           statusField(task.path() / "status", "nonvoluntary_ctxt_switches");
        result[task.path().filename().string()] = {comm, count};
    }
    return result;
}

// A server of the benchmark's own (Xvfb, dbus-daemon), ended with the benchmark. It writes one line
// when it is ready (the display number, the bus address) to the descriptor `lineFd` of its own.
class Server
{
public:
    bool Start(int lineFd, std::vector<const char*> argv)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            dup2(fds[1], lineFd);
            execvp(argv[0], const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        close(fds[1]);
        if (m_pid < 0) {
            close(fds[0]);
            return false;
        }
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            m_line += c;
        close(fds[0]);
        return !m_line.empty();
    }

    ~Server()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    const std::string& Line() const { return m_line; }

private:
    pid_t m_pid = -1;
    std::string m_line;
};

struct RunResult
{
    bool ok = false;
    double ms = 0;
    long peakKb = 0;
    bool forced = false; // the program did not end on WM_DELETE_WINDOW in time
};

class Bench
{
public:
    Bench(xcb_connection_t* connection, const std::string& display, fs::path folder)
        : m_c(connection), m_display(display), m_folder(std::move(folder))
    {
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        fcntl(xcb_get_file_descriptor(m_c), F_SETFD, FD_CLOEXEC);
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_screen->root, XCB_CW_EVENT_MASK, &mask);
        m_protocols = atom("WM_PROTOCOLS");
        m_deleteWindow = atom("WM_DELETE_WINDOW");
        m_netWmPid = atom("_NET_WM_PID");
        xcb_flush(m_c);
    }

    // Starts the program once more while it runs, and returns the milliseconds until that start
    // has ended (it only brings the running one to the front); negative when it failed.
    double StartAgain(const fs::path& program)
    {
        const Clock::time_point start = Clock::now();
        const pid_t pid = startChild(program);
        if (pid < 0)
            return -1;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() - start > kExitTimeout) {
                // A build that opens a second panel instead.
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? msSince(start) : -1;
    }

    // Starts the program, waits until its window is painted, then hands the window to `whileShown`
    // (if any) and closes it.
    // The bus address the programs get; with `noBus` set they get none at all.
    void SetBus(const std::string& address) { m_busAddress = address; }
    void SetNoBus(bool noBus) { m_noBus = noBus; }

    template <class Shown>
    RunResult Run(const fs::path& program, Shown whileShown)
    {
        RunResult result;
        drainEvents();
        const Clock::time_point start = Clock::now();
        const pid_t pid = startChild(program);
        if (pid < 0)
            return result;
        const xcb_window_t window = waitForWindow(pid, start);
        if (window != XCB_NONE && waitForPaint(window, pid, start)) {
            result.ms = msSince(start);
            whileShown(pid);
            result.peakKb = statusField("/proc/" + std::to_string(pid) + "/status", "VmHWM");
            result.ok = true;
            closeWindow(window);
        } else {
            std::fprintf(stderr, "startup_bench: %s did not show a painted window\n", program.c_str());
            printLog();
        }
        result.forced = !waitForExit(pid);
        if (result.forced)
            std::fprintf(stderr, "startup_bench: %s did not end on WM_DELETE_WINDOW\n", program.c_str());
        return result;
    }

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return result;
    }

    // Throws away the events of earlier runs after a round trip, so that they do not count now.
    void drainEvents()
    {
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_c))
            std::free(event);
    }

    fs::path logPath() const { return m_folder / "program.log"; }

    void printLog() const
    {
        std::ifstream in(logPath());
        std::stringstream text;
        text << in.rdbuf();
        std::fprintf(stderr, "%s", text.str().c_str());
    }

    pid_t startChild(const fs::path& program)
    {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
                entry.rfind("WAYLAND_DISPLAY=", 0) == 0 || entry.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0 ||
                entry.rfind("XDG_RUNTIME_DIR=", 0) == 0)
                continue;
            env.push_back(entry);
        }
        env.push_back("DISPLAY=" + m_display);
        // A runtime folder without a per-user bus socket; the bus, if any, is the private one.
        env.push_back("XDG_RUNTIME_DIR=" + (m_folder / "runtime").string());
        if (!m_noBus && !m_busAddress.empty())
            env.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_busAddress);
        env.push_back("QT_QPA_PLATFORM=xcb");
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        const std::string path = program.string();
        const std::string folder = m_folder.string();
        const std::string log = logPath().string();

        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(folder.c_str()) != 0)
                _exit(126);
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
            execve(path.c_str(), argv, envp.data());
            _exit(127);
        }
        return pid;
    }

    bool childAlive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

    std::optional<std::uint32_t> windowPid(xcb_window_t window)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, m_netWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        std::optional<std::uint32_t> result;
        if (reply != nullptr && xcb_get_property_value_length(reply) >= 4)
            result = *static_cast<std::uint32_t*>(xcb_get_property_value(reply));
        std::free(reply);
        return result;
    }

    // The first top-level window of the child that is mapped (no window manager: it maps at once).
    xcb_window_t waitForWindow(pid_t pid, Clock::time_point start)
    {
        const int fd = xcb_get_file_descriptor(m_c);
        while (Clock::now() - start < kMapTimeout) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
                xcb_window_t mapped = XCB_NONE;
                if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (map->event == m_screen->root && !map->override_redirect)
                        mapped = map->window;
                }
                std::free(event);
                if (mapped != XCB_NONE) {
                    const std::optional<std::uint32_t> owner = windowPid(mapped);
                    if (!owner || *owner == static_cast<std::uint32_t>(pid))
                        return mapped;
                }
            }
            if (xcb_connection_has_error(m_c) || !childAlive(pid))
                return XCB_NONE;
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 20);
        }
        return XCB_NONE;
    }

    // Whether the probe point of the window shows the form colour.
    bool probeShowsBackground(xcb_window_t window)
    {
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            m_c, xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, kProbeX, kProbeY, 1, 1, ~0u), nullptr);
        if (reply == nullptr)
            return false;
        bool match = false;
        const std::uint8_t* data = xcb_get_image_data(reply);
        if (xcb_get_image_data_length(reply) >= 4) {
            std::uint32_t pixel = 0;
            if (xcb_get_setup(m_c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST)
                pixel = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
            else
                pixel = static_cast<std::uint32_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
            match =
                ((pixel >> 16) & 0xFF) == kRed && ((pixel >> 8) & 0xFF) == kGreen && (pixel & 0xFF) == kBlue;
        }
        std::free(reply);
        return match;
    }

    bool waitForPaint(xcb_window_t window, pid_t pid, Clock::time_point start)
    {
        while (Clock::now() - start < kMapTimeout) {
            if (probeShowsBackground(window))
                return true;
            if (!childAlive(pid))
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return false;
    }

    void closeWindow(xcb_window_t window)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = m_protocols;
        message.data.data32[0] = m_deleteWindow;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        xcb_flush(m_c);
    }

    // True if the program ended by itself; otherwise it is terminated, then killed.
    bool waitForExit(pid_t pid)
    {
        const auto waitFor = [pid](std::chrono::milliseconds limit) {
            const Clock::time_point start = Clock::now();
            while (Clock::now() - start < limit) {
                if (waitpid(pid, nullptr, WNOHANG) == pid)
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return false;
        };
        if (waitFor(kExitTimeout))
            return true;
        kill(pid, SIGTERM);
        if (!waitFor(std::chrono::milliseconds(2000))) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return false;
    }

    xcb_connection_t* m_c;
    std::string m_display;
    fs::path m_folder;
    xcb_screen_t* m_screen = nullptr;
    xcb_atom_t m_protocols = XCB_NONE;
    xcb_atom_t m_deleteWindow = XCB_NONE;
    xcb_atom_t m_netWmPid = XCB_NONE;
    std::string m_busAddress;
    bool m_noBus = false;
};

struct Series
{
    std::vector<double> ms;
    std::vector<double> peakKb;
    int failed = 0;
    int forced = 0;

    void Add(const RunResult& r)
    {
        if (r.ok) {
            ms.push_back(r.ms);
            peakKb.push_back(static_cast<double>(r.peakKb));
        } else {
            ++failed;
        }
        if (r.forced)
            ++forced;
    }

    void Print(const char* name) const
    {
        const auto [lo, hi] = std::minmax_element(ms.begin(), ms.end());
        std::printf("%-15s runs=%zu median_ms=%.1f min_ms=%.1f max_ms=%.1f median_peak_kb=%.0f failed=%d "
                    "forced_exit=%d\n",
                    name, ms.size(), median(ms), ms.empty() ? 0 : *lo, ms.empty() ? 0 : *hi, median(peakKb),
                    failed, forced);
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Arguments, all optional: the number of runs of each program, then another build of the panel
    // to measure in place of this one (for before/after comparisons).
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const fs::path panelBinary = argc > 2 ? fs::path(argv[2]) : fs::path(VENTIRO_BINARY);
    std::printf("load average before: %s\n", loadAverage().c_str());

    Server server;
    if (!server.Start(3, {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                          "-br", "-noreset"})) {
        std::fprintf(stderr, "startup_bench: could not start Xvfb\n");
        return 1;
    }
    const std::string display = ":" + server.Line();
    xcb_connection_t* connection = nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        connection = xcb_connect(display.c_str(), nullptr);
        if (!xcb_connection_has_error(connection))
            break;
        xcb_disconnect(connection);
        connection = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (connection == nullptr) {
        std::fprintf(stderr, "startup_bench: could not connect to %s\n", display.c_str());
        return 1;
    }

    char pattern[] = "/tmp/ventiro-startup-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::fprintf(stderr, "startup_bench: no temporary folder\n");
        return 1;
    }
    const fs::path folder = pattern;
    const fs::path ventiro = folder / "ventiro";
    const fs::path bare = folder / "bare_qt_window";
    const fs::path bareText = folder / "bare_qt_window_text";
    fs::copy_file(panelBinary, ventiro);
    fs::copy_file(BARE_QT_BINARY, bare);
    fs::copy_file(BARE_QT_BINARY, bareText);
    fs::create_directory(folder / "runtime");
    Server bus;
    if (!bus.Start(1, {"dbus-daemon", "--session", "--nofork", "--print-address=1"}))
        std::printf("no dbus-daemon: every run is without a session bus\n");

    int status = 0;
    {
        Bench bench(connection, display, folder);
        bench.SetBus(bus.Line());
        const auto nothing = [](pid_t) {};
        // One unmeasured start of each fills the caches; the panel's first run writes its INI file.
        const RunResult warmPanel = bench.Run(ventiro, nothing);
        const RunResult warmBare = bench.Run(bare, nothing);
        const RunResult warmText = bench.Run(bareText, nothing);
        if (!warmPanel.ok || !warmBare.ok || !warmText.ok) {
            std::fprintf(stderr, "startup_bench: the warm-up runs failed\n");
            status = 1;
        }
        Series panel, baseline, withText, noBus;
        for (int i = 0; status == 0 && i < runs; ++i) {
            panel.Add(bench.Run(ventiro, nothing));
            baseline.Add(bench.Run(bare, nothing));
            withText.Add(bench.Run(bareText, nothing));
            bench.SetNoBus(true);
            noBus.Add(bench.Run(ventiro, nothing));
            bench.SetNoBus(false);
        }

        // A second start while the panel runs: it finds the running one, brings it to the front and
        // ends.
        std::vector<double> raise;
        for (int i = 0; status == 0 && i < std::max(3, runs / 3); ++i) {
            bench.Run(ventiro, [&](pid_t) {
                const double ms = bench.StartAgain(ventiro);
                if (ms >= 0)
                    raise.push_back(ms);
            });
            if (raise.empty())
                break; // this build does not find its running panel: no figure
        }
        std::printf("raise_existing  runs=%zu median_ms=%.1f\n", raise.size(), median(raise));

        double wakeupsPerSecond = -1;
        if (status == 0) {
            bench.Run(ventiro, [&](pid_t pid) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                const auto before = contextSwitches(pid);
                std::this_thread::sleep_for(std::chrono::seconds(5));
                const auto after = contextSwitches(pid);
                long total = 0;
                for (const auto& [tid, entry] : after) {
                    const auto old = before.find(tid);
                    const long delta = entry.second - (old == before.end() ? 0 : old->second.second);
                    total += delta;
                    std::printf("idle thread %s (%s): %ld context switches in 5 s\n", tid.c_str(),
                                entry.first.c_str(), delta);
                }
                wakeupsPerSecond = static_cast<double>(total) / 5.0;
            });
        }

        panel.Print("ventiro");
        baseline.Print("bare_qt_window");
        withText.Print("bare_with_text");
        noBus.Print("ventiro_no_bus");
        std::printf("load average after: %s\n", loadAverage().c_str());
        if (panel.ms.empty() || baseline.ms.empty() || withText.ms.empty() || noBus.ms.empty() ||
            wakeupsPerSecond < 0) {
            status = 1;
        } else {
            // The second figure sets the panel against a bare window that shows one line of text.
            // The last one is what that line alone costs the bare window (the font set-up): no
            // window that shows text starts faster than that against the bare window.
            std::printf(
                "RESULT startup_vs_bare_qt=%.2f startup_vs_bare_qt_with_text=%.2f rss_vs_bare_qt=%.2f "
                "idle_wakeups_per_s=%.1f no_bus_ms=%.1f text_vs_bare_qt=%.2f raise_existing_ms=%.1f\n",
                median(panel.ms) / median(baseline.ms), median(panel.ms) / median(withText.ms),
                median(panel.peakKb) / median(baseline.peakKb), wakeupsPerSecond, median(noBus.ms),
                median(withText.ms) / median(baseline.ms), raise.empty() ? -1.0 : median(raise));
        }
    }
    xcb_disconnect(connection);
    std::error_code error;
    fs::remove_all(folder, error);
    return status;
}
