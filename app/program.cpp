#include "app/program.h"

#include "app/Einstellungen_Unit1.h"
#include "app/Ventiro_Unit1.h"
#include "app/check.h"
#include "app/command_line.h"
#include "toolkit/ansi.h"
#include "toolkit/application.h"
#include "toolkit/services.h"
#include "toolkit/single_instance.h"

#include "platform/config_location.h"
#include "platform/module.h"
#include "platform/startup.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

namespace {

// The window system the toolkit is going to use, known before it starts: its -platform option, else
// QT_QPA_PLATFORM (which TApplication::PrepareDisplay sets where it chose), each the first name of
// its list without its parameters; empty where the system has only one (Windows).
QString toolkitPlatform(int argc, char** argv)
{
    QString name = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            name = QString::fromLocal8Bit(argv[i + 1]);
    }
    return name.section(QLatin1Char(';'), 0, 0).section(QLatin1Char(':'), 0, 0);
}

// What one panel stands for: the operator, the display and the INI file. Known without the toolkit,
// so that a second start asks the running panel before it pays for starting one.
QString instanceKey(const QString& platformName)
{
    const QString display = platformName == QLatin1String("xcb")
                                ? screenlessDisplay(qEnvironmentVariable("DISPLAY"))
                                : qEnvironmentVariable("WAYLAND_DISPLAY");
    const std::string ini = !Services().iniFile.empty()
                                ? Services().iniFile
                                : platform::ConfigFileLocation(platform::ExecutableFolder(), "Ventiro.ini");
    return QString::fromStdString(platform::CurrentUser()) + QLatin1Char('\n') + platformName +
           QLatin1Char(' ') + display + QLatin1Char('\n') +
           QString::fromLatin1(ini.data(), static_cast<int>(ini.size()));
}

} // namespace

QString screenlessDisplay(const QString& display)
{
    // ":0", ":0.0" and "unix:0" are one display.
    QString name = display.startsWith(QLatin1String("unix:")) ? display.mid(4) : display;
    const int colon = static_cast<int>(name.lastIndexOf(QLatin1Char(':')));
    const int dot = static_cast<int>(name.indexOf(QLatin1Char('.'), colon + 1));
    if (colon >= 0 && dot > colon)
        name.truncate(dot);
    return name;
}

int RunProgram(int argc, char** argv, const std::function<void()>& createForms)
{
    platform::UseStartingConsole();
    TCommandLine options;
    if (const std::optional<int> answered = ParseCommandLine(argc, argv, options))
        return *answered;
    if (!options.IniFile.empty()) {
        // The panel creates the file it is pointed at; a check only reads one.
        const std::string ini = platform::CommandLineIniFile(options.IniFile, !options.Check);
        if (ini.empty()) {
            const QString text = QStringLiteral("ventiro: die INI-Datei »%1« lässt sich %2\n")
                                     .arg(QString::fromLocal8Bit(options.IniFile),
                                          options.Check ? QStringLiteral("nicht lesen")
                                                        : QStringLiteral("weder lesen noch anlegen"));
            std::fputs(text.toLocal8Bit().constData(), stderr);
            return 2;
        }
        TServices services = Services();
        services.iniFile = ini;
        SetServices(std::move(services));
    }
    if (options.Check) {
        // Without windows, what the program has to say goes to standard error.
        TServices services = Services();
        services.showMessage = [](const std::string& text) {
            std::fputs((toQString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')) + QLatin1Char('\n'))
                           .toLocal8Bit()
                           .constData(),
                       stderr);
        };
        SetServices(std::move(services));
        try {
            return RunCheck(stdout);
        } catch (const Exception& e) {
            std::fputs(("ventiro: " + toQString(e.Message()) + QLatin1Char('\n')).toLocal8Bit().constData(),
                       stderr);
            return 2;
        }
    }
    if (!TApplication::PrepareDisplay())
        return 1;
    // The start-up ID of this start, read before the toolkit takes it for the first window.
    const std::string startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID").toStdString();
    TSingleInstance instance(instanceKey(toolkitPlatform(argc, argv)));
    if (!options.NewInstance && instance.AskRunningToFront(QByteArray::fromStdString(startupId)))
        return 0;
    // The name of the desktop entry: Wayland compositors and task bars take the icon from it.
    QGuiApplication::setDesktopFileName(QStringLiteral(VENTIRO_APP_ID));
    TApplication application(argc, argv);
    instance.Listen([](const QByteArray& id) {
        if (Application != nullptr)
            Application->BringToFront(id.toStdString());
    });
    try {
        Application->SetTitle("Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung");
        createForms();
        Application->Run();
    } catch (...) {
        // An error that stops the start-up: the "Application Error" box, then the process ends with 1.
        ShowApplicationError(ApplicationErrorText(std::current_exception()));
        return 1;
    }
    return 0;
}

void CreatePanelForms()
{
    Application->CreateForm(Ventiro_Form1);
    Application->CreateForm(Einstellungen_Form1);
    Einstellungen_Form1->SetImages(Ventiro_Form1->ImageList1);
}
