#include "toolkit/application.h"

#include "toolkit/ansi.h"
#include "toolkit/forms.h"

#include <QMessageBox>
#include <QWidget>

#include <cstdio>
#include <memory>

TApplication* Application = nullptr;

namespace {

std::unique_ptr<QWidget> g_handleWindow;

// Error text ends with a full stop unless it already ends in one.
std::string withFullStop(std::string text)
{
    if (!text.empty() && text.back() > '.')
        text += '.';
    return text;
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    Application = this;
}

TApplication::~TApplication()
{
    for (auto it = m_forms.rbegin(); it != m_forms.rend(); ++it)
        (*it)->DoDestroy();
    while (!m_forms.empty()) {
        TForm* form = m_forms.back();
        m_forms.pop_back();
        delete form;
    }
    g_handleWindow.reset();
    if (Application == this)
        Application = nullptr;
}

void TApplication::Initialize() {}

void TApplication::SetTitle(const std::string& title)
{
    setApplicationName(toQString(title.substr(0, 255)));
}

std::string TApplication::Title() const
{
    return toAnsi(applicationName());
}

void TApplication::registerForm(TForm* form)
{
    m_forms.push_back(form);
    if (!m_mainForm)
        m_mainForm = form;
}

void TApplication::Run()
{
    m_running = true;
    if (m_mainForm)
        m_mainForm->show();
    if (!m_terminated)
        exec();
    m_running = false;
}

void TApplication::Terminate()
{
    m_terminated = true;
    quit();
}

void* TApplication::Handle() const
{
    if (!g_handleWindow)
        g_handleWindow = std::make_unique<QWidget>();
    return reinterpret_cast<void*>(g_handleWindow->winId());
}

void TApplication::ShowException(const Exception& error)
{
    const std::string text = withFullStop(error.Message());
    QMessageBox box(QMessageBox::Critical, toQString(Title()), toQString(text), QMessageBox::Ok);
    if (qEnvironmentVariableIsSet("VENTIRO_NONBLOCKING_BOXES")) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    box.exec();
}

void TApplication::HandleException(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowException(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        if (!qEnvironmentVariableIsSet("VENTIRO_NONBLOCKING_BOXES"))
            QMessageBox::critical(nullptr, QStringLiteral("Application Error"),
                                  QString::fromLocal8Bit(e.what()));
    } catch (...) {
        std::fprintf(stderr, "Unknown error\n");
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}

void ShowMessage(const std::string& message)
{
    const std::string caption = Application ? Application->Title() : std::string();
    QMessageBox box(QMessageBox::NoIcon, toQString(caption), toQString(message), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
