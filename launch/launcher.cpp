#include "launcher.h"

#include "platform/shell_codes.h"
#include "platform/winuser.h"

#include <array>

std::string UpperCaseAscii(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

SplitCommandResult SplitCommand(const std::string& entry)
{
    const std::size_t open = entry.find('[');
    const std::size_t close = entry.find(']');

    // The first "[" with the first "]" after it. Separators inside that pair belong to the
    // parameters (e.g. a path given as a parameter) and must not end the directory.
    std::size_t pairOpen = std::string::npos;
    std::size_t pairClose = std::string::npos;
    if (open != std::string::npos) {
        pairClose = entry.find(']', open + 1);
        if (pairClose != std::string::npos)
            pairOpen = open;
    }

    std::size_t dirEnd = 0; // number of characters of the directory
    for (std::size_t i = entry.size(); i > 0; --i) {
        const std::size_t pos = i - 1;
        if (pairOpen != std::string::npos && pos > pairOpen && pos < pairClose)
            continue;
        const char c = entry[pos];
        if (c == '\\' || c == '/' || c == ':') {
            dirEnd = i;
            break;
        }
    }

    SplitCommandResult parts;
    parts.directory = entry.substr(0, dirEnd);
    parts.program = entry.substr(dirEnd);

    if (open == std::string::npos) {
        parts.parameters.push_back('-'); // (not "= \"-\"": GCC 12 warns falsely there)
        return parts;
    }
    if (close != std::string::npos && close > open)
        parts.parameters = entry.substr(open + 1, close - open - 1);

    const std::size_t q1 = parts.program.find('[');
    const std::size_t q2 = parts.program.find(']');
    if (q1 != std::string::npos && q2 != std::string::npos && q2 >= q1)
        parts.program.erase(q1, q2 - q1 + 1);
    return parts;
}

int ShowCommand(int showIndex)
{
    // Indexed in the alphabetical order of the constants' names.
    static constexpr std::array<unsigned, 10> commands = {
        SW_HIDE,          SW_MINIMIZE,        SW_RESTORE, SW_SHOW,           SW_SHOWMAXIMIZED,
        SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE, SW_SHOWNA,  SW_SHOWNOACTIVATE, SW_SHOWNORMAL};
    if (showIndex < 0 || showIndex >= static_cast<int>(commands.size()))
        return static_cast<int>(SW_HIDE);
    return static_cast<int>(commands[static_cast<std::size_t>(showIndex)]);
}

const char* ErrorText(std::intptr_t code)
{
    // Windows-1252 text; the umlauts are written as escapes so that the bytes do not depend on the
    // encoding of this file.
    using namespace platform::shellcode;
    switch (code) {
    case kOutOfResources:
        return "Zuwenig Speicher, ausf\xFC"
               "hrbare Datei war zerst\xF6"
               "rt, Relokationswerte waren ung\xFC"
               "ltig";
    case kFileNotFound:
        return "Datei wurde nicht gefunden.";
    case kPathNotFound:
        return "Verzeichnis wurde nicht gefunden.";
    case kAccessDenied:
        return "Fehler beim gemeinsamen Zugriff auf eine Datei im Netz oder Fehler beim Zugriff auf eine "
               "gesperrte Datei im Netz.";
    case kSeparateDataSegments:
        return "Bibliothek forderte separate Datensegmente f\xFC"
               "r jede Task an.";
    case kOutOfMemory:
        return "Zuwenig Speicher, um die Anwendung zu starten.";
    case kWrongWindowsVersion:
        return "Falsche Windows-Version.";
    case kBadFormat:
        return "Ung\xFC"
               "ltige ausf\xFC"
               "hrbare Datei. Entweder keine Windows-Anwendung oder Fehler in der EXE-Datei.";
    case kOtherSystem:
        return "Anwendung f\xFC"
               "r ein anderes Betriebssystem.";
    case kDos4Program:
        return "Anwendung f\xFC"
               "r MS-DOS 4.0.";
    case kUnknownProgramType:
        return "Typ der ausf\xFC"
               "hrbaren Datei unbekannt.";
    case kRealModeProgram:
        return "Versuch, eine Real-Mode-Anwendung (f\xFC"
               "r eine fr\xFC"
               "here Windows-Version) zu laden.";
    case kSecondInstance:
        return "Versuch, eine zweite Instanz einer ausf\xFC"
               "hrbaren Datei mit mehreren Datensegmenten, die nicht als nur lesbar gekennzeichnet "
               "waren, zu laden.";
    case kCompressedProgram:
        return "Versuch, eine komprimierte ausf\xFC"
               "hrbare Datei zu laden. Die Datei mu\xDF"
               " dekomprimiert werden, bevor sie geladen werden kann.";
    case kBadLibrary:
        return "Ung\xFC"
               "ltige dynamische Linkbibliothek (DLL). Eine der DLLs, die ben\xF6"
               "tigt wurde, um die Anwendung auszuf\xFC"
               "hren, war besch\xE4"
               "digt.";
    default:
        return "";
    }
}

std::string FailureMessage(const SplitCommandResult& parts, std::intptr_t code)
{
    const char cr = '\r';
    std::string message = "Verzeichnis: " + parts.directory;
    message += cr;
    message += "Programm: " + parts.program;
    message += cr;
    message += "Parameter: " + parts.parameters;
    message += cr;
    message += cr;
    message += ErrorText(code);
    return message;
}

void LaunchFromTable(const TValueListStrings& table, const std::string& key, int showIndex,
                     const LaunchServices& services)
{
    if (!services.shellOpen)
        return;
    const SplitCommandResult parts = SplitCommand(UpperCaseAscii(ValueOfKey(table, key)));
    const std::intptr_t raw =
        services.shellOpen(services.ownerWindow, "open", parts.program.c_str(), parts.parameters.c_str(),
                           parts.directory.c_str(), ShowCommand(showIndex));
    // The shell's result is read as a signed 32-bit number.
    const std::int32_t result = static_cast<std::int32_t>(raw);
    if (result > platform::shellcode::kLastError)
        return;
    if (services.showMessage)
        services.showMessage(FailureMessage(parts, result));
}

LaunchCheck CheckLaunch(const TValueListStrings& table, const std::string& key)
{
    LaunchCheck check;
    check.hasEntry = table.IndexOfName(key) >= 0;
    check.entry = UpperCaseAscii(ValueOfKey(table, key));
    const SplitCommandResult parts = SplitCommand(check.entry);
    check.code = platform::PlanShellOpen("open", parts.program.c_str(), parts.parameters.c_str(),
                                         parts.directory.c_str(), check.start);
    return check;
}
