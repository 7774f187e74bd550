#include "app/command_line.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace {

const char* const kProgramName = "ventiro";

// The options shown by --help, in the order shown.
struct ShownOption
{
    const char* names[2];
    const char* description;
    const char* valueName = nullptr; // for an option that takes a value
};
constexpr ShownOption kShownOptions[] = {
    {{"h", "help"}, "Zeigt diese Hilfe an und beendet das Programm."},
    {{"v", "version"}, "Zeigt die Versionsnummer an und beendet das Programm."},
    {{"new-instance", nullptr},
     "Öffnet ein weiteres Startpanel, auch wenn schon eines für diesen\n"
     "Benutzer, diese Anzeige und diese INI-Datei läuft."},
    {{"check", nullptr},
     "Prüft jede Zeile der Verknüpfungen, ohne etwas zu starten: eine\n"
     "Zeile je Schaltfläche mit Programm und »OK« oder dem Fehler;\n"
     "Rückgabewert 0, wenn jede Schaltfläche ihr Programm findet, sonst 1."},
    {{"ini", nullptr}, "Verwendet diese INI-Datei statt der üblichen.", "DATEI"},
};

// What the GUI toolkit reads from the command line itself; those with a value take the next argument.
constexpr const char* kToolkitOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",  "display",
    "style",           "stylesheet",         "session",       "name",    "title",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "geometry"};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString helpText()
{
    QString text = QStringLiteral("Aufruf: %1 [Optionen]\n"
                                  "Startpanel für die Programme eines CAD/CAM-Arbeitsplatzes.\n\n"
                                  "Optionen:\n")
                       .arg(QLatin1String(kProgramName));
    for (const ShownOption& option : kShownOptions) {
        QString names;
        for (const char* name : option.names) {
            if (name == nullptr)
                continue;
            if (!names.isEmpty())
                names += QLatin1String(", ");
            names += (std::char_traits<char>::length(name) == 1 ? QLatin1String("-") : QLatin1String("--")) +
                     QLatin1String(name);
        }
        if (option.valueName != nullptr)
            names += QLatin1Char(' ') + QLatin1String(option.valueName);
        const QString indent = QStringLiteral("\n") + QString(24, QLatin1Char(' '));
        text += QStringLiteral("  %1  %2\n")
                    .arg(names, -20)
                    .arg(QString::fromUtf8(option.description).replace(QLatin1Char('\n'), indent));
    }
    return text;
}

void write(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, TCommandLine& options)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const ShownOption& option : kShownOptions) {
        QStringList names;
        for (const char* name : option.names) {
            if (name != nullptr)
                names << QLatin1String(name);
        }
        parser.addOption(option.valueName != nullptr
                             ? QCommandLineOption(names, QString(), QLatin1String(option.valueName))
                             : QCommandLineOption(names));
    }
    for (const char* name : kToolkitOptionsWithValue)
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char* name : kToolkitFlags)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty())
        arguments << QLatin1String(kProgramName);

    const auto refuse = [](const QString& what) {
        write(stderr, QStringLiteral("%1: %2; »%1 --help« zeigt die Optionen\n")
                          .arg(QLatin1String(kProgramName), what));
        return 2;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.first();
            return refuse(QStringLiteral("unbekannte Option »%1%2«")
                              .arg(name.size() == 1 ? QLatin1String("-") : QLatin1String("--"), name));
        }
        // The only other failure: an option of the toolkit without its value, which comes last.
        return refuse(QStringLiteral("der Option »%1« fehlt ihr Wert").arg(arguments.last()));
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unerwartetes Argument »%1«").arg(parser.positionalArguments().first()));
    if (parser.isSet(QStringLiteral("help"))) {
        write(stdout, helpText());
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        write(stdout,
              QStringLiteral("%1 %2\n").arg(QLatin1String(kProgramName), QLatin1String(VENTIRO_VERSION)));
        return 0;
    }
    options.NewInstance = parser.isSet(QStringLiteral("new-instance"));
    options.Check = parser.isSet(QStringLiteral("check"));
    options.IniFile = parser.value(QStringLiteral("ini")).toLocal8Bit().toStdString();
    if (parser.isSet(QStringLiteral("ini")) && options.IniFile.empty())
        return refuse(QStringLiteral("der Option »--ini« fehlt ihr Wert"));
    return std::nullopt;
}
