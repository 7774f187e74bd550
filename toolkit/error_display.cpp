// The display of errors: those that escape a handler (the loop goes on) and those that stop the
// start-up ("Application Error").
#include "application.h"

#include "ansi.h"
#include "services.h"

#include "platform/module.h"

#include <QFileInfo>
#include <QWidget>

#include <cstdio>
#include <typeinfo>

namespace {

std::string withFullStop(std::string text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

// The file name of the program (without directory).
std::string programFileName()
{
    if (QCoreApplication::instance() == nullptr)
        return "ventiro";
    return toAnsi(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

} // namespace

std::string ApplicationErrorText(const char* className, const std::string& message)
{
    const bool stop = !message.empty() && message.back() != '.';
    return std::string("Exception ") + className + " in module " + programFileName() + ".\r\n" + message +
           (stop ? "." : "") + "\r\n";
}

std::string ApplicationErrorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return ApplicationErrorText(e.ClassName(), e.Message());
    } catch (const std::exception& e) {
        return ApplicationErrorText(platform::ReadableTypeName(typeid(e).name()).c_str(), e.what());
    } catch (...) {
        return ApplicationErrorText("unknown", std::string()); // not of a C++ exception class
    }
}

void ShowApplicationError(const std::string& text)
{
    std::fprintf(stderr, "Application Error: %s", text.c_str());
    Services().showError("Application Error", text);
}

void TApplication::HandleException(std::exception_ptr error)
{
    if (!error)
        return;
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowException(e);
    } catch (const std::bad_alloc&) {
        throw; // no box could be built, and the program cannot go on without memory
    } catch (...) {
        ShowApplicationError(ApplicationErrorText(error));
    }
}

void TApplication::ShowException(const Exception& error)
{
    Services().showError(Title(), withFullStop(error.Message()));
}
