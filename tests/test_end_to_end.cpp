// The real program in a private X server, driven from outside the way an operator drives it: xdotool
// moves the mouse, clicks and types, xclip reads the clipboard, and a window manager's close box is
// the WM_DELETE_WINDOW message sent to the window. Each case runs a fresh copy of the program in a
// temporary folder, so that its Ventiro.ini lands there.

#include "e2e_support.h"
#include "tests/support/panel_buttons.h"

#include "core/value_list_strings.h"
#include "launch/default_launch_table.h"
#include "launch/launcher.h"
#include "platform/codepage.h"
#include "platform/shell_codes.h"

#include <QPoint>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace e2e;

namespace {

const char* const kApplicationTitle = "Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung";
const char* const kDivider = "---------------------------\r\n";

// The X server of this test program and the aim points of the main window's buttons.
class PanelXServer : public XServer
{
public:
    void SetUp() override
    {
        XServer::SetUp();
        if (!testing::Test::HasFatalFailure())
            measureButtons();
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

    // The designed window, built here with the fonts that the program finds on this server, tells
    // where each button is; the clicks below aim at these points.
    void measureButtons()
    {
        MeasureButtonCentres("test_end_to_end", (Root() / "unused.ini").string(), buttons());
    }
};

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

// One case: a fresh copy of the program in a temporary folder, started from another folder, with a
// helper script that records how it was started.
class EndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
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

    void TearDown() override { m_panel.reset(); }

    fs::path ini() const { return m_dir / "Ventiro.ini"; }
    fs::path record() const { return m_dir / "record.txt"; }
    std::string recorder() const { return (m_dir / "tools" / "record.sh").string(); }
    std::string log() const { return readBytes(m_dir / "panel.log"); }

    // The default table with some entries replaced, written as the program stores it.
    void writeTable(const std::map<std::string, std::string>& entries)
    {
        TValueListStrings table(DefaultLaunchTable());
        for (const auto& [key, command] : entries)
            table.Put(table.IndexOfName(key), key + "=" + command);
        writeFile(ini(), iniFileOf(table.Lines()));
    }

    // Starts the program and waits for its main window.
    std::uint32_t start(const char* program = "ventiro", const std::vector<std::string>& options = {})
    {
        std::vector<std::string> args = {(m_dir / program).string()};
        args.insert(args.end(), options.begin(), options.end());
        m_panel = std::make_unique<Process>(args, m_dir / "elsewhere", m_dir / "panel.log");
        const std::uint32_t window = waitForWindow(m_panel->Pid(), "^Ventiro");
        EXPECT_NE(window, 0u) << "no main window; output:\n" << log();
        return window;
    }

    std::optional<int> closeAndWait(std::uint32_t window)
    {
        closeFromOutside(window);
        const std::optional<int> code = m_panel->WaitForExit();
        EXPECT_TRUE(code.has_value()) << "the program did not end; output:\n" << log();
        EXPECT_TRUE(!code || *code == 0) << "output:\n" << log();
        return code;
    }

    // Clicks a button of the main window and returns what the helper script recorded.
    std::vector<std::string> launchAndRecord(std::uint32_t window, const std::string& action)
    {
        fs::remove(record());
        clickAt(window, PanelXServer::Button(action));
        EXPECT_TRUE(waitFor([this] { return fs::exists(record()); }))
            << action << " started nothing; output:\n"
            << log();
        std::vector<std::string> lines;
        std::istringstream text(readBytes(record()));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    const TempDir m_folder{"ventiro-case"};
    const fs::path& m_dir = m_folder.path();
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
    EXPECT_EQ(stored.at(kTableSection).at("Count"), std::to_string(DefaultLaunchTable().size()));
    EXPECT_EQ(storedTable(stored), DefaultLaunchTable());
    EXPECT_FALSE(fs::exists(m_dir / "elsewhere" / "Ventiro.ini"));
}

TEST_F(EndToEnd, IniFileOnTheCommandLineHoldsTheTableAndThePlacementAndNamesTheInstance)
{
    const fs::path central = m_dir / "central" / "Ventiro.ini";
    fs::create_directory(m_dir / "central");
    TValueListStrings table(DefaultLaunchTable());
    table.Put(table.IndexOfName("CimE"), "CimE=" + recorder() + " [central]");
    writeFile(central, iniFileOf(table.Lines()));
    const std::uint32_t window = start("ventiro", {"--ini", central.string()});
    ASSERT_NE(window, 0u);
    EXPECT_EQ(launchAndRecord(window, "CimE"),
              (std::vector<std::string>{"CENTRAL", (m_dir / "tools").string()}));
    // The same file: the running panel answers. Another file: a panel of its own.
    Process second({(m_dir / "ventiro").string(), "--ini", central.string()}, m_dir / "elsewhere",
                   m_dir / "second.log");
    EXPECT_EQ(second.WaitForExit(), 0) << readBytes(m_dir / "second.log");
    Process other({(m_dir / "ventiro").string(), "--ini", (m_dir / "other.ini").string()},
                  m_dir / "elsewhere", m_dir / "other.log");
    const std::uint32_t otherWindow = waitForWindow(other.Pid(), "^Ventiro");
    EXPECT_NE(otherWindow, 0u) << readBytes(m_dir / "other.log");
    closeFromOutside(otherWindow);
    EXPECT_EQ(other.WaitForExit(), 0);
    EXPECT_EQ(closeAndWait(window), 0);

    EXPECT_TRUE(readIni(central).count(kMainSection));
    EXPECT_TRUE(readIni(m_dir / "other.ini").count(kMainSection));
    EXPECT_FALSE(fs::exists(ini())) << "nothing beside the program";
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

    clickAt(window, PanelXServer::Button("Simula"));
    const std::uint32_t box = waitForWindow(m_panel->Pid(), std::string("^") + kApplicationTitle + "$");
    ASSERT_NE(box, 0u) << "no message; output:\n" << log();

    const std::string message = FailureMessage(SplitCommand(UpperCaseAscii(missing + " [-fast]")),
                                               platform::shellcode::kFileNotFound);
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

    clickAt(window, PanelXServer::Button("Einstellungen"));
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

// Two stations share one table through symbolic links to a central file, and the administrator
// edits that file while both panels run: each click uses what the file holds now, an edit made in
// one panel reaches the other, and closing a panel nobody touched undoes nothing.
TEST_F(EndToEnd, TwoPanelsOnOneLinkedTableLoseNoEditAndFollowTheFile)
{
    const fs::path central = m_dir / "central" / "Ventiro.ini";
    fs::create_directories(central.parent_path());
    fs::create_directories(m_dir / "station");
    fs::copy_file(VENTIRO_BINARY, m_dir / "station" / "ventiro");
    TValueListStrings table(DefaultLaunchTable());
    const auto put = [&table](const std::string& key, const std::string& command) {
        table.Put(table.IndexOfName(key), key + "=" + command);
    };
    put("CimE", recorder() + " [-old]");
    put("Simula", recorder() + " [-sim]");
    writeFile(central, iniFileOf(table.Lines()));
    fs::create_symlink(central, ini());
    fs::create_symlink(central, m_dir / "station" / "Ventiro.ini");

    const std::uint32_t first = start();
    ASSERT_NE(first, 0u);
    Process other({(m_dir / "station" / "ventiro").string()}, m_dir / "elsewhere", m_dir / "station.log");
    const std::uint32_t second = waitForWindow(other.Pid(), "^Ventiro");
    ASSERT_NE(second, 0u) << readBytes(m_dir / "station.log");
    // Both open at the same place: the one clicked comes to the top first.
    const auto raise = [](std::uint32_t window) {
        ASSERT_EQ(runTool({"xdotool", "windowraise", std::to_string(window)}).code, 0);
    };

    put("Simula", recorder() + " [-admin]");
    writeFile(central, iniFileOf(table.Lines()));
    raise(first);
    EXPECT_EQ(launchAndRecord(first, "Simula").front(), "-ADMIN");

    raise(second);
    clickAt(second, PanelXServer::Button("Einstellungen"));
    const std::uint32_t settings = waitForWindow(other.Pid(), "^Einstellungen$");
    ASSERT_NE(settings, 0u) << readBytes(m_dir / "station.log");
    keys(settings, {"ctrl+Up", "ctrl+a"});
    typeText(recorder() + " [-mine]");
    closeFromOutside(settings);
    EXPECT_TRUE(waitFor([&] { return visibleWindow(other.Pid(), "^Einstellungen$") == 0; }));
    EXPECT_TRUE(
        waitFor([&] { return storedTable(readIni(central)).front() == "CimE=" + recorder() + " [-mine]"; }));
    raise(first);
    EXPECT_EQ(launchAndRecord(first, "CimE").front(), "-MINE");

    EXPECT_EQ(closeAndWait(first), 0);
    closeFromOutside(second);
    EXPECT_EQ(other.WaitForExit(), 0);
    const std::vector<std::string> stored = storedTable(readIni(central));
    ASSERT_EQ(stored.size(), table.Lines().size());
    EXPECT_EQ(stored[static_cast<std::size_t>(table.IndexOfName("CimE"))], "CimE=" + recorder() + " [-mine]");
    EXPECT_EQ(stored[static_cast<std::size_t>(table.IndexOfName("Simula"))],
              "Simula=" + recorder() + " [-admin]");
    EXPECT_TRUE(fs::is_symlink(ini()));
    EXPECT_TRUE(fs::is_symlink(m_dir / "station" / "Ventiro.ini"));
}

TEST_F(EndToEnd, TerminationRequestWhileEditingSavesEverythingAndEndsWithZero)
{
    writeTable({{"CimE", recorder() + " [-old]"}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    clickAt(window, PanelXServer::Button("Einstellungen"));
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
    clickAt(window, PanelXServer::Button("CimE"));
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

TEST_F(EndToEnd, FolderNamedBeyondAsciiKeepsPlacementAndTableInItsIni)
{
    // "Büro" has a Windows-1252 spelling; "Проект" has none.
    for (const std::string folder : {"B\xC3\xBCro", "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB5\xD0\xBA\xD1\x82"}) {
        SCOPED_TRACE(folder);
        const fs::path dir = m_dir / folder;
        fs::create_directories(dir);
        fs::copy_file(VENTIRO_BINARY, dir / "ventiro");
        TValueListStrings table(DefaultLaunchTable());
        table.Put(0, table.Names(0) + "=" + recorder() + " [-saved]");
        writeFile(dir / "Ventiro.ini", std::string("[") + kMainSection + "]\r\nNormPos=211,143,819,473\r\n" +
                                           iniFileOf(table.Lines()));

        const std::uint32_t window = start((folder + "/ventiro").c_str());
        ASSERT_NE(window, 0u);
        EXPECT_EQ(geometryOf(window), QRect(211, 143, 600, 303));
        ASSERT_EQ(runTool({"xdotool", "windowmove", "--sync", std::to_string(window), "101", "87"}).code, 0);
        EXPECT_EQ(closeAndWait(window), 0);

        const IniContent stored = readIni(dir / "Ventiro.ini");
        ASSERT_TRUE(stored.count(kMainSection)) << log();
        EXPECT_EQ(stored.at(kMainSection).at("NormPos"), "101,87,709,417");
        EXPECT_EQ(storedTable(stored), table.Lines());
        EXPECT_EQ(log().find("Unable to write"), std::string::npos) << log();
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_dir))
            EXPECT_TRUE(entry.path().filename() != "Ventiro.ini" || entry.path() == dir / "Ventiro.ini")
                << entry.path();
        fs::remove_all(dir);
    }
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
    // The class, the program and the message, each line ended by CR LF.
    const std::string text =
        "Exception Exception in module ventiro_failing_start.\r\nFenster nicht erstellt.\r\n";
    EXPECT_NE(log().find(text), std::string::npos) << log();
    EXPECT_FALSE(fs::exists(ini()));
}

TEST(CommandLine, AnsweredWithoutADisplay)
{
    const struct
    {
        const char* argument;
        int code;
        const char* firstLine;
    } cases[] = {
        {"--help", 0, "Aufruf: ventiro [Optionen]"},
        {"-h", 0, "Aufruf: ventiro [Optionen]"},
        {"--version", 0, "ventiro " VENTIRO_VERSION},
        {"-v", 0, "ventiro " VENTIRO_VERSION},
        {"--bogus", 2,
         "ventiro: unbekannte Option \xC2\xBB--bogus\xC2\xAB; \xC2\xBBventiro --help\xC2\xAB zeigt die "
         "Optionen"},
        {"stray", 2,
         "ventiro: unerwartetes Argument \xC2\xBBstray\xC2\xAB; \xC2\xBBventiro --help\xC2\xAB zeigt die "
         "Optionen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        const ToolResult result = runTool(
            {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", VENTIRO_BINARY, c.argument}, kPatience, true);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.out.substr(0, result.out.find('\n')), c.firstLine) << result.out;
        if (c.code != 0) {
            EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1)
                << "one line: " << result.out;
        }
    }
}

TEST_F(EndToEnd, SecondStartBringsTheRunningPanelForwardNewInstanceOpensAnotherAndAKilledPanelIsNoObstacle)
{
    std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    {
        const ForeignWindow other;
        ASSERT_EQ(focusedWindow(), other.Id());
        Process second({(m_dir / "ventiro").string()}, m_dir / "elsewhere", m_dir / "second.log");
        EXPECT_EQ(second.WaitForExit(), 0) << readBytes(m_dir / "second.log");
        EXPECT_TRUE(waitFor([&] { return focusedWindow() == window; }))
            << "the running panel has the keyboard";
        EXPECT_FALSE(m_panel->ExitCode().has_value());
    }

    Process another({(m_dir / "ventiro").string(), "--new-instance"}, m_dir / "elsewhere",
                    m_dir / "another.log");
    const std::uint32_t anotherWindow = waitForWindow(another.Pid(), "^Ventiro");
    EXPECT_NE(anotherWindow, 0u) << readBytes(m_dir / "another.log");
    closeFromOutside(anotherWindow);
    EXPECT_EQ(another.WaitForExit(), 0);

    // Killed, the panel leaves its socket behind; the next start takes it over.
    ASSERT_EQ(::kill(m_panel->Pid(), SIGKILL), 0);
    m_panel->WaitForExit();
    window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(closeAndWait(window), 0);
}

TEST_F(EndToEnd, LaunchIsAStartupNotificationSequenceWhoseIdTheProgramGetsAndThatEndsWithItsWindow)
{
    // The started program records its start-up ID and opens a window (one that knows nothing of the
    // protocol, so the panel ends the sequence when the window appears).
    writeFile(m_dir / "tools" / "notified.sh", "#!/bin/sh\n"
                                               "printf '%s\\n' \"$DESKTOP_STARTUP_ID\" > '" +
                                                   record().string() +
                                                   ".part'\n"
                                                   "mv '" +
                                                   record().string() + ".part' '" + record().string() +
                                                   "'\n"
                                                   "exec xmessage -timeout 20 started\n");
    fs::permissions(m_dir / "tools" / "notified.sh", fs::perms::owner_all);
    writeTable({{"CimE", (m_dir / "tools" / "notified.sh").string()}});
    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    StartupMessages messages;
    std::string id = launchAndRecord(window, "CimE").at(0);
    ASSERT_FALSE(id.empty());
    const auto has = [&](const std::string& head) {
        for (const std::string& m : messages.Read()) {
            if (m.rfind(head, 0) == 0 && m.find("ID=\"" + id + "\"") != std::string::npos)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(waitFor([&] { return has("new:"); })) << ::testing::PrintToString(messages.Read());
    EXPECT_TRUE(waitFor([&] { return has("remove:"); }, 15s))
        << ::testing::PrintToString(messages.Read()) << log();
    EXPECT_EQ(closeAndWait(window), 0);
}

// One X server for the whole program.
testing::Environment* const xServer = testing::AddGlobalTestEnvironment(new PanelXServer);

} // namespace
