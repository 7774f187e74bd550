// The program on the displays a session may offer: a Wayland compositor (a headless weston), an X
// server beside it (as XWayland is), or none at all.

#include "e2e_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace e2e;

namespace {

const char* const kWaylandSocket = "ventiro-test-wayland";

// The X server of the base class, and a headless Wayland compositor beside it.
class Displays : public XServer
{
public:
    void SetUp() override
    {
        XServer::SetUp();
        if (testing::Test::HasFatalFailure())
            return;
        ASSERT_EQ(runTool({"sh", "-c", "command -v weston"}).code, 0) << "weston is missing";
        std::vector<std::string> args = {"weston", "--backend=headless-backend.so",
                                         std::string("--socket=") + kWaylandSocket, "--idle-time=0"};
        const std::string log = (Root() / "weston.log").string();
        m_weston = ::fork();
        if (m_weston == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::unsetenv("DISPLAY");
            std::vector<char*> argv;
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            // Without its log the compositor runs all the same.
            if (std::freopen(log.c_str(), "w", stdout) == nullptr ||
                std::freopen(log.c_str(), "w", stderr) == nullptr)
                ::perror("freopen");
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        const fs::path socket = fs::path(std::getenv("XDG_RUNTIME_DIR")) / kWaylandSocket;
        ASSERT_TRUE(waitFor([&] { return accepts(socket); })) << "weston did not start:\n" << readBytes(log);
    }

    void TearDown() override
    {
        if (m_weston > 0) {
            ::kill(m_weston, SIGTERM);
            ::waitpid(m_weston, nullptr, 0);
        }
        XServer::TearDown();
    }

private:
    static bool accepts(const fs::path& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string name = path.string();
        if (name.size() >= sizeof address.sun_path)
            return false;
        name.copy(address.sun_path, name.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool ok =
            fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }

    pid_t m_weston = -1;
};

class DisplayCase : public testing::Test
{
protected:
    void SetUp() override { fs::copy_file(VENTIRO_BINARY, m_dir / "ventiro"); }
    void TearDown() override { m_panel.reset(); }

    // Starts the program with some variables changed ("" unsets one).
    void start(const std::vector<std::pair<std::string, std::string>>& env)
    {
        m_panel = std::make_unique<Process>(std::vector<std::string>{(m_dir / "ventiro").string()}, m_dir,
                                            m_dir / "panel.log", [env] {
                                                for (const auto& [name, value] : env) {
                                                    if (value.empty())
                                                        ::unsetenv(name.c_str());
                                                    else
                                                        ::setenv(name.c_str(), value.c_str(), 1);
                                                }
                                                return true;
                                            });
    }
    std::string log() const { return readBytes(m_dir / "panel.log"); }

    const TempDir m_folder{"ventiro-display"};
    const fs::path& m_dir = m_folder.path();
    std::unique_ptr<Process> m_panel;
};

// The stored main window: at 211,143 and 700 by 500 pixels.
const char* const kStored = "[Pultaro]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\n"
                            "NormPos=211,143,911,643\r\n";

struct WaylandCase
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> env;
    bool onX11;
};

class WaylandSession : public DisplayCase, public testing::WithParamInterface<WaylandCase>
{};

// Where Wayland cannot tell or set positions, the stored position is kept and only the size and state
// are saved; with an X server beside it, the panel takes X11 unless the user chose otherwise.
TEST_P(WaylandSession, StoredPositionIsKept)
{
    const WaylandCase& c = GetParam();
    writeFile(m_dir / "Ventiro.ini", kStored);
    auto env = c.env;
    env.emplace_back("WAYLAND_DISPLAY", kWaylandSocket);
    env.emplace_back("WAYLAND_DEBUG", "1");
    env.emplace_back("XDG_SESSION_TYPE", "wayland"); // where Qt itself would take Wayland first
    // Qt's Wayland plug-in and the Wayland library keep memory until the end on purpose, some of it
    // in a plug-in already unloaded by then: a sanitized build checks leaks in the other tests.
    env.emplace_back("ASAN_OPTIONS", "detect_leaks=0");
    start(env);
    if (c.onX11) {
        const std::uint32_t window = waitForWindow(m_panel->Pid(), "^Ventiro");
        ASSERT_NE(window, 0u) << "no window on the X server; output:\n" << log();
        EXPECT_EQ(geometryOf(window), QRect(211, 143, 692, 473));
        closeFromOutside(window);
    } else {
        // The compositor has been told the application id and has the window's first picture.
        const std::string appId = std::string("set_app_id(\"") + VENTIRO_APP_ID + "\")";
        ASSERT_TRUE(waitFor([&] {
            const std::string text = log();
            const auto named = text.find(appId);
            return named != std::string::npos && text.find(".attach(wl_buffer", named) != std::string::npos;
        })) << "no window on Wayland; output:\n"
            << log().substr(0, 4000);
        ::kill(m_panel->Pid(), SIGTERM); // closes as the close box does
    }
    EXPECT_EQ(m_panel->WaitForExit(), 0) << log().substr(log().size() > 3000 ? log().size() - 3000 : 0);
    const IniContent stored = readIni(m_dir / "Ventiro.ini");
    ASSERT_TRUE(stored.count(kMainSection));
    for (const auto& [key, value] : stored.at(kMainSection)) {
        if (key.rfind("NormPos", 0) == 0) {
            EXPECT_EQ(value, "211,143,911,643") << key;
        }
    }
    EXPECT_EQ(stored.at(kMainSection).at("ShowCmd"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, WaylandSession,
    testing::Values(WaylandCase{"WaylandOnly", {{"DISPLAY", ""}}, false},
                    WaylandCase{"UserChoseWayland", {{"QT_QPA_PLATFORM", "wayland"}}, false},
                    WaylandCase{"XWaylandPreferred", {}, true}),
    [](const testing::TestParamInfo<WaylandCase>& info) { return std::string(info.param.name); });

// Without any display the program says so in one line and how to run it anyway, and ends with the
// start-up failure code instead of aborting.
TEST_F(DisplayCase, NoDisplayIsOneLineAndExitCodeOne)
{
    const std::vector<std::vector<std::pair<std::string, std::string>>> cases = {
        {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}},
        {{"DISPLAY", ":4711"}, {"WAYLAND_DISPLAY", "no-such-compositor"}},
        {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "no-such-compositor"}}, // the user's choice
    };
    for (const auto& env : cases) {
        start(env);
        EXPECT_EQ(m_panel->WaitForExit(), 1) << log();
        const std::string text = log();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_NE(text.find("ventiro: keine Anzeige gefunden"), std::string::npos) << text;
        EXPECT_NE(text.find("xvfb-run -a ventiro"), std::string::npos) << text;
        EXPECT_FALSE(fs::exists(m_dir / "Ventiro.ini"));
    }
}

testing::Environment* const displays = testing::AddGlobalTestEnvironment(new Displays);

} // namespace
