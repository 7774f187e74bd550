#include "app/program.h"

#include "app/Einstellungen_Unit1.h"
#include "app/Ventiro_Unit1.h"
#include "toolkit/application.h"

#include "platform/module.h"

#include <QGuiApplication>

#include <exception>
#include <string>
#include <typeinfo>

namespace {

// An error that stops the start-up: the "Application Error" box, then the process ends with 1.
void showStartupError(std::exception_ptr error)
{
    std::string className = "Exception";
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        className = e.ClassName();
        message = e.Message();
    } catch (const std::exception& e) {
        className = platform::ReadableTypeName(typeid(e).name());
        message = e.what();
    } catch (...) {
    }
    ShowApplicationError(ApplicationErrorText(className.c_str(), message));
}

} // namespace

int RunProgram(int argc, char** argv, const std::function<void()>& createForms)
{
    if (!TApplication::PrepareDisplay())
        return 1;
    // The name of the desktop entry: Wayland compositors and task bars take the icon from it.
    QGuiApplication::setDesktopFileName(QStringLiteral(VENTIRO_APP_ID));
    TApplication application(argc, argv);
    try {
        Application->Initialize();
        Application->SetTitle("Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung");
        createForms();
        Application->Run();
    } catch (...) {
        showStartupError(std::current_exception());
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
