#include "launch/default_launch_table.h"
#include "launch/launcher.h"
#include "platform/codepage.h"
#include "platform/shell.h"
#include "platform/shell_codes.h"

#include <gtest/gtest.h>

// Lets gtest print a split in its failure messages.
void PrintTo(const SplitCommandResult& r, std::ostream* os);
void PrintTo(const SplitCommandResult& r, std::ostream* os)
{
    *os << "{'" << r.directory << "', '" << r.program << "', '" << r.parameters << "'}";
}

namespace {

struct SplitCase
{
    std::string entry;
    SplitCommandResult expected;
};

TEST(SplitCommand, WorkedSplits)
{
    const SplitCase cases[] = {
        {"C:\\X\\A.EXE [B] C", {"C:\\X\\", "A.EXE  C", "B"}},
        {"C:\\X\\A.EXE [B", {"C:\\X\\", "A.EXE [B", ""}},
        {"C:\\X\\A.EXE []", {"C:\\X\\", "A.EXE ", ""}},
        {"C:\\[B]\\A.EXE", {"C:\\[B]\\", "A.EXE", "B"}},
        // A separator inside the brackets belongs to the parameters, not to the directory.
        {"C:\\X\\A.EXE [D:\\Y]", {"C:\\X\\", "A.EXE ", "D:\\Y"}},
        {"C:A.EXE", {"C:", "A.EXE", "-"}},
        {"A.EXE", {"", "A.EXE", "-"}},
        {"", {"", "", "-"}},
        // "/" ends the directory like "\" does.
        {"C:/X/A.EXE", {"C:/X/", "A.EXE", "-"}},
        {"/OPT/TOOLS/RUN.SH [A]", {"/OPT/TOOLS/", "RUN.SH ", "A"}},
        {"C:\\X/Y\\A.EXE", {"C:\\X/Y\\", "A.EXE", "-"}},
        // Odd bracket placements.
        {"]X[", {"", "]X[", ""}},
        {"[]", {"", "", ""}},
        {"[", {"", "[", ""}},
        {"]", {"", "]", "-"}},
        {"C:\\X]\\A [B]", {"C:\\X]\\", "A ", ""}},
        {"A [X\\Y] [Z]", {"", "A  [Z]", "X\\Y"}},
        {"C:\\X\\A.EXE [D:\\Y", {"C:\\X\\A.EXE [D:\\", "Y", ""}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(SplitCommand(c.entry), c.expected);
    }
}

TEST(SplitCommand, EveryDefaultLine)
{
    const std::string base = "C:\\CIM4\\CIM_E\\";
    const SplitCommandResult expected[26] = {
        {base, "CIMATRONE_LAUNCHER.EXE ", "-LANG GERMAN"},
        {base + "IT\\VAR\\CATIAR2D\\", "MODVIEW.EXE", "-"},
        {base, "DELWA.BAT", "-"},
        {base, "DELDI.BAT", "-"},
        {base, "DELVERIF.BAT", "-"},
        {base, "HOTLINEINFO.EXE", "-"},
        {base, "CIMXPLOR.EXE", "-"},
        {base, "CIMZIP.EXE", "-"},
        {base + "IT\\BIN\\", "NCVERIFY.EXE", "-"},
        {base + "IT\\BIN\\", "NCVSOLID.EXE", "-"},
        {base, "IMSPOST.EXE", "-"},
        {base, "POSTEXE.BAT", "-"},
        {base, "FIKUS.BAT", "-"},
        {base + "QUICKDRILL\\", "QUICKDRILL.EXE", "-"},
        {base, "DFSTRD.EXE ", "P"},
        {base, "DFEXF.EXE", "-"},
        {base, "NCDOCSETUP.EXE", "-"},
        {base, "DFSTRD.EXE ", "D"},
        {base, "GETIDS.EXE", "-"},
        {base, "LICINFO.EXE", "-"},
        {base, "DTFCONVERT.EXE", "-"},
        {base, "DOC_CONVERT.EXE", "-"},
        {base, "CIMSCHEM.EXE ", "COLORS"},
        {base, "CIMSCHEM.EXE ", "DI"},
        {base, "DIRSIZE.EXE", "-"},
        {base, "CIMINFO.EXE", "-"},
    };
    const TValueListStrings table(DefaultLaunchTable());
    for (int i = 0; i < 26; ++i) {
        SCOPED_TRACE(table.Get(i));
        EXPECT_EQ(SplitCommand(UpperCaseAscii(table.ValueFromIndex(i))), expected[i]);
    }
}

TEST(UpperCaseAscii, ChangesOnlyAsciiLetters)
{
    EXPECT_EQ(UpperCaseAscii("c:\\a\xE4\xF6\xFC\xDF-z[colors]"), "C:\\A\xE4\xF6\xFC\xDF-Z[COLORS]");
}

TEST(ShowCommand, FollowsTheTableAndHidesOutOfRange)
{
    const int expected[10] = {0, 6, 9, 5, 3, 2, 7, 8, 4, 1};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ShowCommand(i), expected[i]) << i;
    EXPECT_EQ(ShowCommand(10), 0);
    EXPECT_EQ(ShowCommand(-1), 0);
    EXPECT_EQ(ShowCommand(1000), 0);
}

TEST(ErrorText, EveryCode)
{
    // Written here in UTF-8 and converted, so that the check is independent of how the launcher
    // writes its Windows-1252 bytes.
    const std::pair<int, const char*> texts[] = {
        {0, "Zuwenig Speicher, ausführbare Datei war zerstört, Relokationswerte waren ungültig"},
        {2, "Datei wurde nicht gefunden."},
        {3, "Verzeichnis wurde nicht gefunden."},
        {5, "Fehler beim gemeinsamen Zugriff auf eine Datei im Netz oder Fehler beim Zugriff auf eine "
            "gesperrte Datei im Netz."},
        {6, "Bibliothek forderte separate Datensegmente für jede Task an."},
        {8, "Zuwenig Speicher, um die Anwendung zu starten."},
        {10, "Falsche Windows-Version."},
        {11, "Ungültige ausführbare Datei. Entweder keine Windows-Anwendung oder Fehler in der EXE-Datei."},
        {12, "Anwendung für ein anderes Betriebssystem."},
        {13, "Anwendung für MS-DOS 4.0."},
        {14, "Typ der ausführbaren Datei unbekannt."},
        {15, "Versuch, eine Real-Mode-Anwendung (für eine frühere Windows-Version) zu laden."},
        {16, "Versuch, eine zweite Instanz einer ausführbaren Datei mit mehreren Datensegmenten, die nicht "
             "als nur lesbar gekennzeichnet waren, zu laden."},
        {19, "Versuch, eine komprimierte ausführbare Datei zu laden. Die Datei muß dekomprimiert werden, "
             "bevor sie geladen werden kann."},
        {20, "Ungültige dynamische Linkbibliothek (DLL). Eine der DLLs, die benötigt wurde, um die Anwendung "
             "auszuführen, war beschädigt."},
    };
    for (const auto& [code, text] : texts)
        EXPECT_EQ(ErrorText(code), codepage::utf8ToAnsi(text)) << code;
    for (int code : {-5, -1, 1, 4, 7, 9, 17, 18, 21, 22, 26, 27, 28, 29, 30, 31, 32, 33})
        EXPECT_STREQ(ErrorText(code), "") << code;
}

struct ShellCall
{
    void* owner;
    std::string operation, file, parameters, directory;
    int showCmd;
};

TEST(LaunchFromTable, HandsTheSixArgumentsToTheShellAndReadsTheTableAnew)
{
    TValueListStrings table(DefaultLaunchTable());
    std::vector<ShellCall> calls;
    std::vector<std::string> messages;
    std::intptr_t result = platform::shellcode::kStarted;
    int owner = 0;
    LaunchServices services;
    services.ownerWindow = &owner;
    services.showMessage = [&](const std::string& m) { messages.push_back(m); };
    services.shellOpen = [&](void* o, const char* op, const char* f, const char* p, const char* d, int s) {
        calls.push_back({o, op, f, p, d, s});
        return result;
    };

    LaunchFromTable(table, "Farben", 9, services);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, &owner);
    EXPECT_EQ(calls[0].operation, "open");
    EXPECT_EQ(calls[0].file, "CIMSCHEM.EXE ");
    EXPECT_EQ(calls[0].parameters, "COLORS");
    EXPECT_EQ(calls[0].directory, "C:\\CIM4\\CIM_E\\");
    EXPECT_EQ(calls[0].showCmd, 1);
    EXPECT_TRUE(messages.empty());

    // A missing key still reaches the shell, with empty strings and "-".
    LaunchFromTable(table, "Nothing", 4, services);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].file, "");
    EXPECT_EQ(calls[1].parameters, "-");
    EXPECT_EQ(calls[1].directory, "");
    EXPECT_EQ(calls[1].showCmd, 3);

    // Every call sees the table as it is now.
    table.Put(22, "Farben=d:\\neu\\tool.exe [x]");
    result = platform::shellcode::kLastError + 1;
    LaunchFromTable(table, "farben", 12, services);
    EXPECT_EQ(calls[2].file, "TOOL.EXE ");
    EXPECT_EQ(calls[2].directory, "D:\\NEU\\");
    EXPECT_EQ(calls[2].showCmd, 0);
    EXPECT_TRUE(messages.empty());

    // kLastError (32) and less are failures, including negative results.
    for (std::intptr_t code : {platform::shellcode::kLastError, platform::shellcode::kOutOfResources, -1}) {
        result = code;
        LaunchFromTable(table, "Farben", 9, services);
    }
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1],
              std::string("Verzeichnis: D:\\NEU\\\rProgramm: TOOL.EXE \rParameter: X\r\r") + ErrorText(0));
    EXPECT_EQ(messages[2], "Verzeichnis: D:\\NEU\\\rProgramm: TOOL.EXE \rParameter: X\r\r");

    // Without a shell open nothing is started and nothing is shown.
    services.shellOpen = nullptr;
    LaunchFromTable(table, "Farben", 9, services);
    EXPECT_EQ(calls.size(), 6u);
    EXPECT_EQ(messages.size(), 3u);
}

} // namespace
