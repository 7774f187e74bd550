#include "application.h"

#include "ansi.h"
#include "forms.h"
#include "image_list.h"
#include "panel_style.h"
#include "termination.h"

#include "platform/display.h"
#include "platform/session_bus.h"
#include "platform/startup.h"
#include "platform/startup_notification.h"

#include <QCursor>
#include <QHelpEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QStyle>
#include <QToolTip>
#include <QTranslator>

#include <cstdio>

TApplication* Application = nullptr;

namespace {

// The window system chosen by PrepareDisplay is handed to Qt through its variable only while the
// application object is created, so that the programs the panel starts make their own choice.
bool g_platformHandedOver = false;

} // namespace

bool TApplication::PrepareDisplay()
{
    std::string platformName;
    if (!platform::ChooseWindowSystem(platformName)) {
        std::fputs("ventiro: keine Anzeige gefunden (DISPLAY und WAYLAND_DISPLAY nennen keinen laufenden "
                   "X-Server und keinen Wayland-Compositor); in einer Desktop-Sitzung starten, ohne eine "
                   "mit 'xvfb-run -a ventiro'\n",
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
    setStyle(NewPanelStyle(style()->name()));
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
    InstallSignalHandler(this, [this] {
        if (m_mainForm != nullptr && m_mainForm->isVisible())
            m_mainForm->Close();
        else
            Terminate();
    });
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
            case QEvent::ToolTip:
                showToolTip(widget, *static_cast<QHelpEvent*>(event));
                return true;
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
