#include "launch/launch_keys.h"
#include "launch/launcher.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ShellCall
{
    std::string file, parameters, directory;
    int show = -1;
};

// Records what reaches the shell and answers with a fixed result.
struct RecordingShell
{
    std::intptr_t result = 42;
    std::vector<ShellCall> calls;
    std::vector<std::string> messages;

    LaunchServices services()
    {
        LaunchServices s;
        s.shellOpen = [this](void*, const char* op, const char* f, const char* p, const char* d, int show) {
            EXPECT_STREQ(op, "open");
            calls.push_back({f, p, d, show});
            return result;
        };
        s.showMessage = [this](const std::string& m) { messages.push_back(m); };
        return s;
    }
};

} // namespace

TEST(Launcher, WorkedSplits)
{
    struct Case
    {
        const char* entry;
        const char* directory;
        const char* program;
        const char* parameters;
    };
    const Case cases[] = {
        {"C:\\X\\A.EXE [B] C", "C:\\X\\", "A.EXE  C", "B"},
        {"C:\\X\\A.EXE [B", "C:\\X\\", "A.EXE [B", ""},
        {"C:\\X\\A.EXE []", "C:\\X\\", "A.EXE ", ""},
        {"C:\\[B]\\A.EXE", "C:\\[B]\\", "A.EXE", "B"},
        // A separator inside the brackets does not end the directory.
        {"C:\\X\\A.EXE [D:\\Y]", "C:\\X\\", "A.EXE ", "D:\\Y"},
        {"C:A.EXE", "C:", "A.EXE", "-"},
        {"A.EXE", "", "A.EXE", "-"},
        {"", "", "", "-"},
        // "/" ends the directory like "\".
        {"C:/X/A.EXE", "C:/X/", "A.EXE", "-"},
        {"/OPT/TOOLS/RUN.SH [A]", "/OPT/TOOLS/", "RUN.SH ", "A"},
        // "]" before "[": empty parameters, program file unchanged.
        {"C:\\X]\\A.EXE [B", "C:\\X]\\", "A.EXE [B", ""},
        {"[]", "", "", ""},
    };
    for (const Case& c : cases) {
        const CommandParts parts = SplitCommand(c.entry);
        EXPECT_EQ(parts.directory, c.directory) << c.entry;
        EXPECT_EQ(parts.program, c.program) << c.entry;
        EXPECT_EQ(parts.parameters, c.parameters) << c.entry;
    }
}

TEST(Launcher, EveryDefaultLineReachesTheShellUpperCased)
{
    const TValueListStrings table(DefaultLaunchTable());
    RecordingShell shell;
    for (const LaunchKey& k : LaunchKeys())
        LaunchProgram(table, k.key, 9, shell.services());
    ASSERT_EQ(shell.calls.size(), 26u);
    EXPECT_TRUE(shell.messages.empty());
    for (const ShellCall& call : shell.calls) {
        EXPECT_EQ(call.show, 1);
        EXPECT_TRUE(call.directory.starts_with("C:\\CIM4\\CIM_E\\")) << call.directory;
        EXPECT_EQ(call.file.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << call.file;
    }
    EXPECT_EQ(shell.calls[0].file, "CIMATRONE_LAUNCHER.EXE ");
    EXPECT_EQ(shell.calls[0].parameters, "-LANG GERMAN");
    EXPECT_EQ(shell.calls[1].directory, "C:\\CIM4\\CIM_E\\IT\\VAR\\CATIAR2D\\");
    EXPECT_EQ(shell.calls[2].file, "DELWA.BAT");
    EXPECT_EQ(shell.calls[2].parameters, "-");
    EXPECT_EQ(shell.calls[14].file, "DFSTRD.EXE ");
    EXPECT_EQ(shell.calls[14].parameters, "P");
    EXPECT_EQ(shell.calls[22].parameters, "COLORS");
    EXPECT_EQ(shell.calls[13].directory, "C:\\CIM4\\CIM_E\\QUICKDRILL\\");
}

TEST(Launcher, OnlyAsciiLettersAreUpperCased)
{
    EXPECT_EQ(UpperCaseAscii("a\xE4\xF6\xFC\xDFz-9"), "A\xE4\xF6\xFC\xDFZ-9");
}

TEST(Launcher, ShowCommandTable)
{
    const int expected[] = {0, 6, 9, 5, 3, 2, 7, 8, 4, 1};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ShowCommand(i), expected[i]);
    EXPECT_EQ(ShowCommand(10), 0);
    EXPECT_EQ(ShowCommand(-1), 0);
}

TEST(Launcher, ErrorTexts)
{
    EXPECT_EQ(ErrorText(0),
              "Zuwenig Speicher, ausf\xFChrbare Datei war zerst\xF6rt, Relokationswerte waren ung\xFCltig");
    EXPECT_EQ(ErrorText(2), "Datei wurde nicht gefunden.");
    EXPECT_EQ(ErrorText(3), "Verzeichnis wurde nicht gefunden.");
    EXPECT_EQ(ErrorText(8), "Zuwenig Speicher, um die Anwendung zu starten.");
    EXPECT_EQ(ErrorText(10), "Falsche Windows-Version.");
    EXPECT_EQ(ErrorText(13), "Anwendung f\xFCr MS-DOS 4.0.");
    EXPECT_TRUE(ErrorText(20).ends_with("war besch\xE4"
                                        "digt."));
    for (int code : {1, 4, 7, 9, 17, 18, 21, 26, 27, 31, 32, -1, -1000})
        EXPECT_EQ(ErrorText(code), "") << code;
    for (int code : {0, 2, 3, 5, 6, 8, 10, 11, 12, 13, 14, 15, 16, 19, 20})
        EXPECT_FALSE(ErrorText(code).empty()) << code;
}

TEST(Launcher, RefusalsGiveOneFiveLineMessage)
{
    const TValueListStrings table(DefaultLaunchTable());
    RecordingShell shell;
    shell.result = 2;
    LaunchProgram(table, "Farben", 9, shell.services());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0],
              "Verzeichnis: C:\\CIM4\\CIM_E\\\rProgramm: CIMSCHEM.EXE \rParameter: COLORS\r\r"
              "Datei wurde nicht gefunden.");
    shell.result = 31;
    LaunchProgram(table, "DelWa", 9, shell.services());
    EXPECT_EQ(shell.messages[1], "Verzeichnis: C:\\CIM4\\CIM_E\\\rProgramm: DELWA.BAT\rParameter: -\r\r");
    shell.result = 33;
    LaunchProgram(table, "DelWa", 9, shell.services());
    EXPECT_EQ(shell.messages.size(), 2u);
}

TEST(Launcher, MissingKeyStillCallsTheShellOnce)
{
    const TValueListStrings table;
    RecordingShell shell;
    shell.result = 2;
    LaunchProgram(table, "CimE", 9, shell.services());
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, "");
    EXPECT_EQ(shell.calls[0].parameters, "-");
    EXPECT_EQ(shell.calls[0].directory, "");
    EXPECT_EQ(shell.messages.size(), 1u);
}

TEST(Launcher, BadEntriesNeverCrashAndEndInOneCall)
{
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high += static_cast<char>(c);
    const std::string entries[] = {
        std::string(1 << 20, 'a') + "\\b.exe [" + std::string(1000, 'p') + "]",
        "[[[]]]",
        "]]][[[",
        "C:\\x]y[z",
        "[]",
        "\\\\\\",
        ":::",
        high,
        "a=b=c [=]",
    };
    for (const std::string& e : entries) {
        TValueListStrings table({"K=" + e});
        RecordingShell shell;
        shell.result = 5;
        LaunchProgram(table, "k", 9, shell.services());
        EXPECT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.messages.size(), 1u);
    }
}
