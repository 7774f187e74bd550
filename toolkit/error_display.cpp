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
    } catch (const std::exception& e) {
        ShowApplicationError(
            ApplicationErrorText(platform::ReadableTypeName(typeid(e).name()).c_str(), e.what()));
    } catch (...) {
        ShowApplicationError(ApplicationErrorText("unknown", std::string()));
    }
}

void TApplication::ShowException(const Exception& error)
{
    Services().showError(Title(), withFullStop(error.Message()));
}
