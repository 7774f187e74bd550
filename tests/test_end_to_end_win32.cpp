// The real ventiro.exe, as it is handed out (the folder of the zip), driven from outside the way an
// operator and the system drive it: the pointer and the keys through SendInput, the close box as
// WM_CLOSE, a logoff as WM_QUERYENDSESSION and WM_ENDSESSION. Each case runs a fresh copy of the
// folder in a temporary folder, so that its Ventiro.ini lands there. The aim points of the buttons
// come from the designed window built in this process, with the fonts the program finds here.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "core/value_list_strings.h"
#include "launch/default_launch_table.h"
#include "launch/launcher.h"
#include "launch_test_support.h"
#include "platform/profile.h"
#include "tests/support/panel_buttons.h"

#include <windows.h>

#include <QPoint>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <thread>

namespace {

using namespace launchtest;

const char* const kMainTitle = "Ventiro - Startpanel f\xFCr Cimatron-E";
const char* const kApplicationTitle = "Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung";
const char* const kTableSection = "Einstellungenmaske.Verknuepfungseditor_Strings";

bool waitFor(const std::function<bool()>& condition, int seconds = 20)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The centre of each action's button in the main window's client area.
std::map<std::string, QPoint>& buttons()
{
    static std::map<std::string, QPoint> centres;
    return centres;
}

class Measure : public testing::Environment
{
public:
    void SetUp() override
    {
        TempDir unused;
        MeasureButtonCentres("test_end_to_end_win32", (unused.path() / "unused.ini").string(), buttons());
    }
};

const auto* const measure = testing::AddGlobalTestEnvironment(new Measure);

struct Found
{
    DWORD pid;
    std::string title;
    HWND window;
};

// The visible top-level window of the process with exactly this title, or null.
HWND windowOf(DWORD pid, const std::string& title)
{
    Found found{pid, title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* f = reinterpret_cast<Found*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char text[256] = {};
            GetWindowTextA(window, text, sizeof text);
            if (owner == f->pid && IsWindowVisible(window) && f->title == text) {
                f->window = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.window;
}

void sendInputs(std::vector<INPUT> inputs)
{
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

INPUT key(WORD vk, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

void activate(HWND window)
{
    SetForegroundWindow(window);
    waitFor([&] { return GetForegroundWindow() == window; }, 5);
}

// Presses a key, with Ctrl held where asked.
void press(HWND window, WORD vk, bool control = false)
{
    activate(window);
    std::vector<INPUT> inputs;
    if (control)
        inputs.push_back(key(VK_CONTROL, false));
    inputs.push_back(key(vk, false));
    inputs.push_back(key(vk, true));
    if (control)
        inputs.push_back(key(VK_CONTROL, true));
    sendInputs(inputs);
}

void typeText(HWND window, const std::string& text)
{
    activate(window);
    std::vector<INPUT> inputs;
    for (const char c : text) {
        for (const bool up : {false, true}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = static_cast<unsigned char>(c);
            in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(in);
        }
    }
    sendInputs(inputs);
}

void clickAt(HWND window, const std::string& action)
{
    const auto found = buttons().find(action);
    ASSERT_NE(found, buttons().end()) << action;
    POINT point{found->second.x(), found->second.y()};
    ClientToScreen(window, &point);
    activate(window);
    SetCursorPos(point.x + 1, point.y);
    SetCursorPos(point.x, point.y);
    INPUT down{}, up{};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    sendInputs({down, up});
}

std::string clipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class PanelCopy : public testing::Test
{
protected:
    void SetUp() override
    {
        panel = folder.path() / "Ventiro";
        // Linked where the file system can, copied where not: the folder runs wherever it is put.
        std::error_code linked;
        fs::copy(VENTIRO_PANEL_FOLDER, panel,
                 fs::copy_options::recursive | fs::copy_options::create_hard_links, linked);
        if (linked) {
            fs::remove_all(panel);
            fs::copy(VENTIRO_PANEL_FOLDER, panel, fs::copy_options::recursive);
        }
        fs::create_directories(folder.path() / "Tools");
        fs::create_directories(folder.path() / "Elsewhere");
        installHelper(folder.path() / "Tools", "record.exe");
        SetEnvironmentVariableA("VENTIRO_RECORD_FILE", record().string().c_str());
    }

    void TearDown() override
    {
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 10000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        SetEnvironmentVariableA("VENTIRO_RECORD_FILE", nullptr);
    }

    fs::path ini() const { return panel / "Ventiro.ini"; }
    fs::path record() const { return folder.path() / "record"; }
    std::string recorder() const { return (folder.path() / "Tools" / "record.exe").string(); }

    // The default table with some entries replaced, stored through the profile calls.
    void writeTable(const std::map<std::string, std::string>& entries)
    {
        TValueListStrings table(DefaultLaunchTable());
        for (const auto& [name, command] : entries)
            table.Put(table.IndexOfName(name), name + "=" + command);
        const std::string file = ini().string();
        platform::WritePrivateProfileStringA(kTableSection, "Count", std::to_string(table.Count()).c_str(),
                                             file.c_str());
        for (int i = 0; i < table.Count(); ++i)
            platform::WritePrivateProfileStringA(kTableSection, ("Item" + std::to_string(i)).c_str(),
                                                 table.Get(i).c_str(), file.c_str());
        platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    }

    std::string stored(const char* section, const char* key) const
    {
        return platform::GetPrivateProfileStringA(section, key, "", ini().string().c_str());
    }

    // Starts the copy from another folder and waits for its main window.
    HWND start()
    {
        if (process.hProcess != nullptr) {
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
            process = {};
        }
        STARTUPINFOA info{};
        info.cb = sizeof info;
        std::string commandLine = "\"" + (panel / "ventiro.exe").string() + "\"";
        const std::string cwd = (folder.path() / "Elsewhere").string();
        EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   cwd.c_str(), &info, &process));
        HWND window = nullptr;
        waitFor([&] { return (window = windowOf(process.dwProcessId, kMainTitle)) != nullptr; }, 60);
        EXPECT_NE(window, nullptr) << "no main window";
        return window;
    }

    DWORD waitForExit()
    {
        DWORD code = 259;
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    // Clicks a button and returns the recorded working folder and command line.
    std::vector<std::string> launchAndRecord(HWND window, const std::string& action)
    {
        fs::remove(record());
        clickAt(window, action);
        const auto fields = waitForFields(record());
        EXPECT_TRUE(fields) << action << " started nothing";
        return fields ? *fields : std::vector<std::string>{};
    }

    // Runs another start of the copy to its end, its standard output going to `output`; its exit code,
    // or 259 when it does not end.
    DWORD runAnother(const std::string& options, const fs::path& output)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const HANDLE file = CreateFileA(output.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA info{};
        info.cb = sizeof info;
        info.dwFlags = STARTF_USESTDHANDLES;
        info.hStdOutput = info.hStdError = file;
        PROCESS_INFORMATION other{};
        std::string commandLine = "\"" + (panel / "ventiro.exe").string() + "\" " + options;
        const std::string cwd = (folder.path() / "Elsewhere").string();
        DWORD code = 259;
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(),
                           &info, &other)) {
            if (WaitForSingleObject(other.hProcess, 30000) == WAIT_OBJECT_0)
                GetExitCodeProcess(other.hProcess, &code);
            else
                TerminateProcess(other.hProcess, 99);
            CloseHandle(other.hProcess);
            CloseHandle(other.hThread);
        }
        CloseHandle(file);
        return code;
    }

    RECT frame(HWND window) const
    {
        RECT r{};
        GetWindowRect(window, &r);
        return r;
    }

    TempDir folder;
    fs::path panel;
    PROCESS_INFORMATION process{};
};

// The command line ends with the parameters, upper-cased; the folder is the program's, upper-cased.
void expectLaunch(const std::vector<std::string>& fields, const std::string& folder, const std::string& tail)
{
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], UpperCaseAscii(folder));
    ASSERT_GE(fields[1].size(), tail.size());
    EXPECT_EQ(fields[1].substr(fields[1].size() - tail.size()), tail) << fields[1];
}

TEST_F(PanelCopy, LaunchesThroughTheShellReportsAFailureInGermanAndTakesAnEditAtOnce)
{
    const std::string missing = (folder.path() / "Fehlt" / "ncverify.exe").string();
    writeTable({{"CimE", recorder() + " [-lang german \"two words\"]"}, {"Simula", missing + " [-fast]"}});
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    expectLaunch(launchAndRecord(window, "CimE"), (folder.path() / "Tools").string(),
                 " -LANG GERMAN \"TWO WORDS\"");

    clickAt(window, "Simula");
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = windowOf(process.dwProcessId, kApplicationTitle)) != nullptr; }))
        << "no message";
    const std::string message = FailureMessage(SplitCommand(UpperCaseAscii(missing + " [-fast]")), 3);
    EXPECT_NE(message.find("Verzeichnis wurde nicht gefunden."), std::string::npos);
    std::string copied;
    waitFor([&] {
        press(box, 'C', true);
        copied = clipboardText();
        return copied.find(message) != std::string::npos;
    });
    EXPECT_NE(copied.find(message), std::string::npos) << copied;
    // A key that reached another window while the box was taking the focus is pressed again, a
    // second later, while the box is still there.
    auto pressed = std::chrono::steady_clock::time_point{};
    EXPECT_TRUE(waitFor([&] {
        if (windowOf(process.dwProcessId, kApplicationTitle) == nullptr)
            return true;
        if (IsWindow(box) && std::chrono::steady_clock::now() - pressed > std::chrono::seconds(1)) {
            press(box, VK_RETURN);
            pressed = std::chrono::steady_clock::now();
        }
        return false;
    }));

    // An edit in the settings window is what the next click starts.
    clickAt(window, "Einstellungen");
    HWND settings = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (settings = windowOf(process.dwProcessId, "Einstellungen")) != nullptr; }));
    press(settings, VK_UP, true);
    press(settings, 'A', true);
    typeText(settings, recorder() + " [-new value]");
    // Closed from the keyboard, so that the close comes after the keys typed before it.
    activate(settings);
    sendInputs({key(VK_MENU, false), key(VK_F4, false), key(VK_F4, true), key(VK_MENU, true)});
    ASSERT_TRUE(waitFor([&] { return windowOf(process.dwProcessId, "Einstellungen") == nullptr; }));
    EXPECT_EQ(stored(kTableSection, "Item0"), "CimE=" + recorder() + " [-new value]");
    expectLaunch(launchAndRecord(window, "CimE"), (folder.path() / "Tools").string(), " -NEW VALUE");

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(), 0u);
}

TEST_F(PanelCopy, CloseWritesTheIniAndTheNextStartComesBackWhereItWasLeft)
{
    HWND window = start();
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 211, 143, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(waitFor([&] { return frame(window).left == 211 && frame(window).top == 143; }));
    const RECT before = frame(window);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(), 0u);
    EXPECT_FALSE(stored("Pultaro", "NormPos").empty());
    EXPECT_EQ(stored(kTableSection, "Count"), std::to_string(DefaultLaunchTable().size()));

    window = start();
    ASSERT_NE(window, nullptr);
    const RECT after = frame(window);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(), 0u);
}

// Windows ends a process at a logoff as soon as it has handled WM_ENDSESSION: what is not saved by
// then is lost. The test ends it there the same way.
TEST_F(PanelCopy, LogoffSavesLikeAClose)
{
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 175, 122, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(waitFor([&] { return frame(window).left == 175; }));
    // The toolkit takes a move in from a queue of its own, which a message sent now (the logoff's)
    // would pass: the move is given a moment to arrive, as it has when an operator logs off.
    Sleep(1000);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(
        SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer));
    EXPECT_NE(answer, 0u) << "the panel refused the logoff";
    SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer);
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
    EXPECT_EQ(stored(kTableSection, "Count"), std::to_string(DefaultLaunchTable().size()));

    // The placement was saved: the next start comes back there.
    const HWND again = start();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(frame(again).left, 175);
    EXPECT_EQ(frame(again).top, 122);
    PostMessageA(again, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(), 0u);
}

TEST_F(PanelCopy, SecondStartBringsTheRunningPanelBackAndEnds)
{
    writeTable({});
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(waitFor([&] { return IsIconic(window) != 0; }));
    EXPECT_EQ(runAnother("", folder.path() / "second.txt"), 0u);
    EXPECT_TRUE(waitFor([&] { return IsIconic(window) == 0 && GetForegroundWindow() == window; }))
        << "the running panel is back in front";
    // A check prints where its output goes, and opens no window.
    EXPECT_EQ(runAnother("--check --ini " + ini().string(), folder.path() / "check.txt"), 1u);
    std::ifstream check(folder.path() / "check.txt");
    std::string first;
    std::getline(check, first);
    EXPECT_EQ(first.rfind("CimE\t", 0), 0u) << first;
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(), 0u);
}

} // namespace
