#include "launcher.h"

#include "platform/shell.h"

#include <array>

std::string UpperCaseAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

CommandParts SplitCommand(const std::string& entry)
{
    const auto npos = std::string::npos;
    const std::size_t p1 = entry.find('[');
    const std::size_t p2 = entry.find(']');
    // A separator inside the bracketed parameters (D:\Y in "A.EXE [D:\Y]") must not end the directory.
    const bool pair = p1 != npos && p2 != npos && p2 > p1;

    std::size_t d = npos;
    for (std::size_t i = entry.size(); i-- > 0;) {
        if (pair && i >= p1 && i <= p2)
            continue;
        const char c = entry[i];
        if (c == '\\' || c == '/' || c == ':') {
            d = i;
            break;
        }
    }

    CommandParts parts;
    if (d != npos) {
        parts.directory = entry.substr(0, d + 1);
        parts.program = entry.substr(d + 1);
    } else {
        parts.program = entry;
    }

    if (p1 == npos) {
        parts.parameters = "-";
        return parts;
    }
    if (pair)
        parts.parameters = entry.substr(p1 + 1, p2 - p1 - 1);
    const std::size_t q1 = parts.program.find('[');
    const std::size_t q2 = parts.program.find(']');
    if (q1 != npos && q2 != npos && q2 >= q1)
        parts.program.erase(q1, q2 - q1 + 1);
    return parts;
}

int ShowCommand(int showIndex)
{
    static constexpr std::array<int, 10> kShow = {0, 6, 9, 5, 3, 2, 7, 8, 4, 1};
    if (showIndex < 0 || showIndex >= static_cast<int>(kShow.size()))
        return 0;
    return kShow[static_cast<std::size_t>(showIndex)];
}

std::string ErrorText(int code)
{
    switch (code) {
    case 0:
        return "Zuwenig Speicher, ausf\xFChrbare Datei war zerst\xF6rt, Relokationswerte waren ung\xFCltig";
    case 2:
        return "Datei wurde nicht gefunden.";
    case 3:
        return "Verzeichnis wurde nicht gefunden.";
    case 5:
        return "Fehler beim gemeinsamen Zugriff auf eine Datei im Netz oder Fehler beim Zugriff auf eine "
               "gesperrte Datei im Netz.";
    case 6:
        return "Bibliothek forderte separate Datensegmente f\xFCr jede Task an.";
    case 8:
        return "Zuwenig Speicher, um die Anwendung zu starten.";
    case 10:
        return "Falsche Windows-Version.";
    case 11:
        return "Ung\xFCltige ausf\xFChrbare Datei. Entweder keine Windows-Anwendung oder Fehler in der "
               "EXE-Datei.";
    case 12:
        return "Anwendung f\xFCr ein anderes Betriebssystem.";
    case 13:
        return "Anwendung f\xFCr MS-DOS 4.0.";
    case 14:
        return "Typ der ausf\xFChrbaren Datei unbekannt.";
    case 15:
        return "Versuch, eine Real-Mode-Anwendung (f\xFCr eine fr\xFChere Windows-Version) zu laden.";
    case 16:
        return "Versuch, eine zweite Instanz einer ausf\xFChrbaren Datei mit mehreren Datensegmenten, die "
               "nicht als nur lesbar gekennzeichnet waren, zu laden.";
    case 19:
        return "Versuch, eine komprimierte ausf\xFChrbare Datei zu laden. Die Datei mu\xDF dekomprimiert "
               "werden, bevor sie geladen werden kann.";
    case 20:
        return "Ung\xFCltige dynamische Linkbibliothek (DLL). Eine der DLLs, die ben\xF6tigt wurde, um die "
               "Anwendung auszuf\xFChren, war besch\xE4"
               "digt.";
    default:
        return std::string();
    }
}

std::string FailureMessage(const CommandParts& parts, int code)
{
    return "Verzeichnis: " + parts.directory + "\rProgramm: " + parts.program +
           "\rParameter: " + parts.parameters + "\r\r" + ErrorText(code);
}

void LaunchProgram(const TValueListStrings& table, const std::string& key, int showIndex,
                   const LaunchServices& services)
{
    const CommandParts parts = SplitCommand(UpperCaseAscii(ValueOfKey(table, key)));
    const int show = ShowCommand(showIndex);
    const std::intptr_t raw =
        services.shellOpen ? services.shellOpen(services.ownerWindow, "open", parts.program.c_str(),
                                                parts.parameters.c_str(), parts.directory.c_str(), show)
                           : platform::ShellExecuteA(services.ownerWindow, "open", parts.program.c_str(),
                                                     parts.parameters.c_str(), parts.directory.c_str(), show);
    const auto result = static_cast<std::int32_t>(raw);
    if (result > 32)
        return;
    if (services.showMessage)
        services.showMessage(FailureMessage(parts, result));
}
