#include "app/Einstellungen_Unit1.h"
#include "app/Ventiro_Unit1.h"
#include "toolkit/application.h"

#include <exception>
#include <new>
#include <typeinfo>

#if defined(__GNUG__)
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#endif

#ifdef VENTIRO_FAILING_START
// Test builds of the entry sequence: a window whose construction fails.
#include "tests/failing_form.h"
#endif

namespace {

// The readable class name of a standard error.
std::string classNameOf(const std::exception& error)
{
    const char* raw = typeid(error).name();
#if defined(__GNUG__)
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(raw, nullptr, nullptr, &status),
                                                    std::free);
    if (status == 0 && readable != nullptr)
        return readable.get();
#endif
    return raw;
}

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
        className = classNameOf(e);
        message = e.what();
    } catch (...) {
    }
    ShowApplicationError(ApplicationErrorText(className.c_str(), message));
}

} // namespace

int main(int argc, char** argv)
{
    if (!TApplication::PrepareDisplay())
        return 1;
    // The name of the desktop entry: Wayland compositors and task bars take the icon from it.
    QGuiApplication::setDesktopFileName(QStringLiteral(VENTIRO_APP_ID));
    TApplication application(argc, argv);
    try {
        Application->Initialize();
        Application->SetTitle("Cimatron-E Version 4.xx Startpanel - Ventiro, freie Neufassung");
#ifdef VENTIRO_FAILING_START
        Application->CreateForm(Failing_Form);
#endif
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
