#include "application.h"

#include "ansi.h"
#include "forms.h"
#include "image_list.h"
#include "message_dialog.h"
#include "services.h"
#include "status_bar.h"
#include "termination.h"

#include "platform/display.h"
#include "platform/module.h"
#include "platform/session_bus.h"
#include "platform/startup.h"
#include "platform/startup_notification.h"

#include <QCursor>
#include <QHelpEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QProxyStyle>
#include <QSessionManager>
#include <QStyleOption>
#include <QToolTip>
#include <QTranslator>

#include <cstdio>
#include <typeinfo>

TApplication* Application = nullptr;

namespace {

// The window system chosen by PrepareDisplay is handed to Qt through its variable only while the
// application object is created, so that the programs the panel starts make their own choice.
bool g_platformHandedOver = false;

// Tooltips appear 500 ms after the pointer rests on a control; group boxes have an etched frame.
class HintStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 500;
        if (hint == SH_ToolTip_FallAsleepDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    // Group boxes get the etched frame of the reference desktop: a dark rectangle and a light one
    // a pixel lower right. The style's own frame is a picture that would be read through the image
    // plug-ins at the first paint. The edges are filled, not stroked: a stroked rectangle costs the
    // first paint many times more.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_FrameGroupBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QRect& r = option->rect;
        const auto edges = [&](int left, int top, const QColor& colour) {
            const int w = r.width() - 1, h = r.height() - 1;
            painter->fillRect(left, top, w, 1, colour);
            painter->fillRect(left, top + h - 1, w, 1, colour);
            painter->fillRect(left, top, 1, h, colour);
            painter->fillRect(left + w - 1, top, 1, h, colour);
        };
        edges(r.left(), r.top(), option->palette.color(QPalette::Dark));
        edges(r.left() + 1, r.top() + 1, option->palette.color(QPalette::Light));
    }
};

std::string withFullStop(std::string text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

std::string shortHint(const std::string& hint)
{
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string longHint(const std::string& hint)
{
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// The first non-empty hint from the control up through its parents.
std::string hintAt(const QWidget* control)
{
    for (const QWidget* w = control; w != nullptr; w = w->parentWidget()) {
        const std::string h = Hint(w);
        if (!h.empty())
            return h;
        if (w->isWindow())
            break;
    }
    return std::string();
}

bool offerHint(QWidget* window, const std::string& hint)
{
    if (window == nullptr)
        return false;
    bool taken = false;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        auto* bar = dynamic_cast<TStatusBar*>(child);
        if (bar != nullptr && bar->AutoHint && bar->window() == window) {
            bar->SetSimpleText(hint);
            taken = true;
        }
    }
    return taken;
}

} // namespace

std::string ApplicationErrorText(const char* className, const std::string& message)
{
    std::uintptr_t offset = 0;
    std::string module = "ventiro";
    platform::ModuleOfAddress(platform::ReturnAddress(), module, offset);
    char address[16];
    std::snprintf(address, sizeof address, "%08X", static_cast<unsigned>(offset & 0xFFFFFFFFu));
    const bool stop = !message.empty() && message.back() != '.';
    return std::string("Exception ") + className + " in module " + module + " at " + address + ".\r\n" +
           message + (stop ? "." : "") + "\r\n";
}

void ShowApplicationError(const std::string& text)
{
    std::fprintf(stderr, "Application Error: %s", text.c_str());
    Services().showError("Application Error", text);
}

bool TApplication::PrepareDisplay()
{
    std::string platformName;
    if (!platform::ChooseWindowSystem(platformName)) {
        std::fputs("ventiro: no display could be opened (DISPLAY and WAYLAND_DISPLAY name no running X "
                   "server or Wayland compositor); start it in a desktop session, or without one as "
                   "'xvfb-run -a ventiro'\n",
                   stderr);
        return false;
    }
    if (!platformName.empty()) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platformName));
        g_platformHandedOver = true;
    }
    return true;
}

namespace {

// What the process needs before the GUI toolkit starts: no session bus started for it where none
// exists. Hands back the argument count for the toolkit.
int& beforeToolkit(int& argc)
{
    platform::AvoidSessionBusLaunch();
    return argc;
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(beforeToolkit(argc), argv)
{
    Application = this;
    if (std::exchange(g_platformHandedOver, false))
        qunsetenv("QT_QPA_PLATFORM");
    platform::ReleaseDisplayProbe();
    setStyle(new HintStyle(style()->name()));
    // The program speaks German, whatever the session's language: Qt's own texts too (the edit
    // menu of a text field, the buttons of its dialogs), from the system's translations of Qt where
    // they are installed. Without them those texts stay as Qt has them.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
        // No window exists yet that would have to take on the new language: the notice of the
        // change would only walk every window and repaint it once they are up.
        removePostedEvents(this, QEvent::LanguageChange);
    } else {
        delete translator;
    }
    m_hidden = new QWidget();
    m_hidden->setAttribute(Qt::WA_DontShowOnScreen);
    m_showCommand = platform::StartupShowCommand();
    InstallTerminationHandler(this, [this] {
        if (m_mainForm != nullptr && m_mainForm->isVisible())
            m_mainForm->Close();
        else
            Terminate();
    });
    InstallStartedProgramReaper(this);
    // A logoff or shutdown: the system asks first (the windows close as from their close box, which
    // saves them), then says that the session ends, and ends the process as soon as that message is
    // handled, before the loop could end and the windows be destroyed: they hear of their end there.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { endSession(); });
    connect(this, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_sessionEnding)
            endForms();
    });
    // Raw pixels, and only if the program carries them: a file for the image plug-ins would load and
    // ask every one of them, which costs the start-up more than the picture itself.
    const QIcon icon = RawIcon(QStringLiteral(":/MAINICON"), 32);
    if (!icon.isNull())
        setWindowIcon(icon);
}

TApplication::~TApplication()
{
    // Last created first: the settings window goes before the main window. Each window hears of its
    // end while its controls still exist.
    m_destroying = true;
    QToolTip::hideText();
    const bool ended = std::exchange(m_formsEnded, true);
    for (auto it = m_forms.rbegin(); it != m_forms.rend(); ++it) {
        TForm* form = *it;
        if (!ended) {
            form->hide();
            form->DoDestroy();
        }
        delete form;
    }
    m_forms.clear();
    delete m_hidden;
    if (Application == this)
        Application = nullptr;
}

void TApplication::endForms()
{
    if (std::exchange(m_formsEnded, true))
        return;
    for (auto it = m_forms.rbegin(); it != m_forms.rend(); ++it) {
        TForm* form = *it;
        form->hide();
        form->DoDestroy();
    }
}

void TApplication::endSession()
{
    m_sessionEnding = true;
    if (m_mainForm != nullptr && m_mainForm->isVisible())
        m_mainForm->Close();
}

void TApplication::Initialize()
{
    // The component object model only exists on Windows; nothing to prepare here.
}

void TApplication::SetTitle(const std::string& title)
{
    if (Title() != title.substr(0, 255))
        m_hidden->setWindowTitle(toQString(title));
}

std::string TApplication::Title() const
{
    return toAnsi(m_hidden->windowTitle()).substr(0, 255);
}

void TApplication::registerForm(TForm* form)
{
    m_forms.push_back(form);
    if (m_mainForm == nullptr) {
        m_mainForm = form;
        form->winId();
    }
}

void TApplication::Run()
{
    m_running = true;
    if (m_mainForm != nullptr) {
        // Maximized shows the window maximized; minimized without activation keeps it a minimized
        // window; every other request leaves the state alone. The window's own placement is
        // restored all the same.
        if (m_showCommand == static_cast<int>(SW_SHOWMAXIMIZED))
            m_startState = Qt::WindowMaximized;
        if (m_showCommand == static_cast<int>(SW_SHOWMINNOACTIVE)) {
            m_startState = Qt::WindowMinimized;
            m_mainForm->setAttribute(Qt::WA_ShowWithoutActivating);
        }
        m_mainForm->show();
    }
    if (!m_terminated)
        exec();
    m_running = false;
}

void TApplication::Terminate()
{
    m_terminated = true;
    QMetaObject::invokeMethod(
        this, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void* TApplication::Handle() const
{
    return reinterpret_cast<void*>(m_hidden->winId());
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

void TApplication::updateHint(const QWidget* under)
{
    const std::string hint = under ? longHint(hintAt(under)) : std::string();
    if (hint == m_hint)
        return;
    m_hint = hint;
    QWidget* active = activeWindow();
    if (active == nullptr && under != nullptr)
        active = const_cast<QWidget*>(under)->window();
    if (!offerHint(active, hint) && m_mainForm != nullptr)
        offerHint(m_mainForm, hint);
}

void TApplication::BringToFront(const std::string& startupId)
{
    QWidget* window = activeModalWidget();
    if (window == nullptr)
        window = m_mainForm;
    if (window != nullptr) {
        if (window->isMinimized())
            window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window->show();
        window->raise();
        window->activateWindow();
        // On X11 the window manager is asked on behalf of the click that made the new start, so
        // that its focus-stealing prevention lets the panel come forward.
        if (platformName() == QLatin1String("xcb"))
            platform::ActivateX11Window(static_cast<std::uint32_t>(window->winId()),
                                        platform::StartupIdTime(startupId));
    }
    platform::EndOwnStartupSequence(startupId);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
            event->type() == QEvent::KeyPress)
            m_lastInputTime = static_cast<std::uint32_t>(static_cast<QInputEvent*>(event)->timestamp());
        if (receiver->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(receiver);
            switch (event->type()) {
            case QEvent::Enter:
                updateHint(widget);
                break;
            case QEvent::Leave:
                QMetaObject::invokeMethod(
                    this, [this] { updateHint(widgetAt(QCursor::pos())); }, Qt::QueuedConnection);
                break;
            case QEvent::ToolTip: {
                const std::string tip = shortHint(hintAt(widget));
                if (!ShowHintInForce(widget) || tip.empty()) {
                    QToolTip::hideText();
                    return true;
                }
                auto* help = static_cast<QHelpEvent*>(event);
                QToolTip::showText(help->globalPos(), toQString(tip), widget, QRect(), 2500);
                return true;
            }
            case QEvent::WindowBlocked:
            case QEvent::WindowUnblocked:
                if (widget->isWindow())
                    SetBlockedByModal(widget, event->type() == QEvent::WindowBlocked);
                break;
            default:
                break;
            }
        }
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
