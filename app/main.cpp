#include "app/Einstellungen_Unit1.h"
#include "app/Ventiro_Unit1.h"
#include "toolkit/ansi.h"
#include "toolkit/application.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <exception>

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
        className = "std::exception";
        message = e.what();
    } catch (...) {
    }
    if (!message.empty() && message.back() != '.')
        message += '.';
    const std::string module = toAnsi(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    char text[1024];
    std::snprintf(text, sizeof text, "Exception %s in module %s at %08X.\r\n%s\r\n", className.c_str(),
                  module.c_str(), 0u, message.c_str());
    std::fputs(text, stderr);
    if (!qEnvironmentVariableIsSet("VENTIRO_NONBLOCKING_BOXES"))
        QMessageBox::critical(nullptr, QStringLiteral("Application Error"), toQString(text));
}

} // namespace

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    try {
        Application->Initialize();
        Application->SetTitle("Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung");
        Application->CreateForm(Ventiro_Form1);
        Application->CreateForm(Einstellungen_Form1);
        Einstellungen_Form1->SetImages(Ventiro_Form1->ImageList1);
        Application->Run();
    } catch (...) {
        showStartupError(std::current_exception());
        return 1;
    }
    return 0;
}
