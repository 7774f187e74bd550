#include "app/program.h"

#include "app/Einstellungen_Unit1.h"
#include "app/Ventiro_Unit1.h"
#include "app/command_line.h"
#include "toolkit/application.h"
#include "toolkit/single_instance.h"

#include "platform/config_location.h"
#include "platform/module.h"
#include "platform/startup.h"

#include <QGuiApplication>

#include <exception>
#include <optional>
#include <string>

namespace {

// What one panel stands for: the operator, the display and the INI file.
QString instanceKey()
{
    const QString display = QGuiApplication::platformName() == QLatin1String("xcb")
                                ? screenlessDisplay(qEnvironmentVariable("DISPLAY"))
                                : qEnvironmentVariable("WAYLAND_DISPLAY");
    const std::string ini = platform::ConfigFileLocation(platform::ExecutableFolder(), "Ventiro.ini");
    return QString::fromStdString(platform::CurrentUser()) + QLatin1Char('\n') +
           QGuiApplication::platformName() + QLatin1Char(' ') + display + QLatin1Char('\n') +
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
    TCommandLine options;
    if (const std::optional<int> answered = ParseCommandLine(argc, argv, options))
        return *answered;
    if (!TApplication::PrepareDisplay())
        return 1;
    // The start-up ID of this start, read before the toolkit takes it for the first window.
    const std::string startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID").toStdString();
    // The name of the desktop entry: Wayland compositors and task bars take the icon from it.
    QGuiApplication::setDesktopFileName(QStringLiteral(VENTIRO_APP_ID));
    TApplication application(argc, argv);
    TSingleInstance instance(instanceKey());
    if (!options.NewInstance && instance.AskRunningToFront(QByteArray::fromStdString(startupId)))
        return 0;
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
