#include "forms.h"

#include "application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

#include <cmath>

namespace {

// The frame a sizeable window has on the reference desktop; used whatever frame the window system
// draws (none offscreen or on a bare X server), so that the stored rectangles read the same.
constexpr int kFrameX = kSizeableFrameWidth;
constexpr int kFrameY = kSizeableFrameHeight;

// Wayland lets no program read or set where its windows are: Qt then reports a guess (0,0), which
// must never replace a stored position.
bool positionsKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// A window saved on a monitor that is gone comes back onto the nearest screen.
void moveOntoScreen(QRect& outer)
{
    bool onScreen = false;
    QScreen* nearest = QGuiApplication::primaryScreen();
    double best = 1e18;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        if (g.intersects(outer))
            onScreen = true;
        const QPoint d = g.center() - outer.center();
        const double dist = std::hypot(d.x(), d.y());
        if (dist < best) {
            best = dist;
            nearest = screen;
        }
    }
    if (!onScreen && nearest != nullptr) {
        const QRect g = nearest->availableGeometry();
        outer.moveLeft(std::clamp(outer.left(), g.left(), std::max(g.left(), g.right() - outer.width() + 1)));
        outer.moveTop(std::clamp(outer.top(), g.top(), std::max(g.top(), g.bottom() - outer.height() + 1)));
    }
}

// A window at its designed place that would reach past the available area of its screen (a small or
// highly scaled screen) moves until it is whole, keeping its size; where it is larger than the area,
// its top left corner stays in view.
void moveIntoView(QWidget& window, const QSize& frame)
{
    // The outer rectangle as the placements count it: the client area grown by the reference frame.
    const QRect client = window.geometry();
    QRect outer(client.topLeft(), client.size() + frame);
    QScreen* screen = QGuiApplication::screenAt(outer.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width())));
    outer.moveTop(std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height())));
    if (outer.topLeft() != client.topLeft())
        window.setGeometry(QRect(outer.topLeft(), client.size()));
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// What a window blocked by a modal window had before it was disabled; a child of the window, so it
// goes with it.
class TModalBlock : public QObject
{
public:
    using QObject::QObject;
    QPalette palette;
    bool ownPalette = false;
    QPointer<QWidget> focus;
};

// A window that is the parent of the modal window stays enabled: disabling it would disable the
// modal window as well.
bool isParentOfModal(const QWidget* window)
{
    for (const QWidget* w = QApplication::activeModalWidget(); w != nullptr; w = w->parentWidget())
        if (w == window)
            return true;
    return false;
}

} // namespace

void SetBlockedByModal(QWidget* window, bool blocked)
{
    TModalBlock* state = nullptr;
    for (QObject* child : window->children())
        if (auto* block = dynamic_cast<TModalBlock*>(child))
            state = block;
    if (blocked) {
        if (state != nullptr || !window->isEnabled() || isParentOfModal(window))
            return;
        state = new TModalBlock(window);
        state->ownPalette = window->testAttribute(Qt::WA_SetPalette);
        state->palette = window->palette();
        state->focus = window->focusWidget();
        // Disabled controls draw as they do in an inactive window: the window looks as it did.
        QPalette look = state->palette;
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            look.setBrush(QPalette::Disabled, r, look.brush(QPalette::Inactive, r));
        }
        window->setPalette(look);
        window->setEnabled(false);
        return;
    }
    if (state == nullptr)
        return;
    window->setEnabled(true);
    window->setPalette(state->ownPalette ? state->palette : QPalette());
    if (state->focus != nullptr && window->focusWidget() == nullptr && state->focus->isEnabled())
        state->focus->setFocus();
    delete state;
}

TForm::TForm(const std::string& name, const TRect& outer)
    : QWidget(nullptr, Qt::Window), m_name(name), m_knownPosition(outer.left, outer.top)
{
    setObjectName(QString::fromStdString(name));
    setGeometry(outer.left, outer.top, outer.right - outer.left - kFrameX,
                outer.bottom - outer.top - kFrameY);
    m_designed = geometry();
}

TForm::~TForm() = default;

void TForm::SetCaption(const std::string& caption)
{
    setWindowTitle(toQString(caption));
}

QSize TForm::frameExtra() const
{
    // Placements are kept in the reference form, the client rectangle grown by the frame of a sizeable
    // window, whatever frame the window system draws; so they read back the same everywhere.
    return {kFrameX, kFrameY};
}

void TForm::setVisible(bool visible)
{
    // The show handler runs while the window is still hidden, so a restored placement is in force
    // before the window appears.
    if (visible && !isVisible() && !m_inShowHandler && m_onShow) {
        m_inShowHandler = true;
        try {
            m_onShow();
        } catch (...) {
            HandleException(std::current_exception());
        }
        m_inShowHandler = false;
    }
    // A modal window never opens minimised: the windows behind it wait for it, and the operator would
    // have nothing to click until he found it on the task bar.
    if (visible && m_inModal && (windowState() & Qt::WindowMinimized))
        setWindowState(windowState() & ~Qt::WindowMinimized);
    // The first showing at the designed place (no stored placement moved it) keeps the whole window
    // on the screen; a stored placement keeps its own rules (SetWindowPlacement).
    if (visible && !m_shownOnce) {
        m_shownOnce = true;
        if (positionsKnown() && geometry() == m_designed && windowState() == Qt::WindowNoState)
            moveIntoView(*this, frameExtra());
    }
    // The program's start request (a shortcut set to run maximized or minimized) wins over the
    // restored state at the main window's first showing.
    if (visible && !isVisible() && Application != nullptr && Application->MainForm() == this) {
        const Qt::WindowStates start = Application->TakeStartState();
        if (start == Qt::WindowMinimized)
            setWindowState(windowState() | Qt::WindowMinimized); // restored maximized stays behind it
        else if (start != Qt::WindowNoState)
            setWindowState(start);
    }
    QWidget::setVisible(visible);
}

void TForm::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    if (m_onCloseQuery) {
        try {
            m_onCloseQuery(canClose);
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
    if (!canClose) {
        event->ignore();
        return;
    }
    if (!m_inModal && Application != nullptr && Application->MainForm() == this) {
        // The main window stays on screen; the application ends its loop.
        event->ignore();
        Application->Terminate();
        return;
    }
    event->accept();
    if (m_modalLoop != nullptr)
        m_modalLoop->quit();
}

int TForm::ShowModal()
{
    m_inModal = true;
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop loop;
    m_modalLoop = &loop;
    if (isVisible())
        loop.exec();
    m_modalLoop = nullptr;
    m_inModal = false;
    hide();
    setWindowModality(Qt::NonModal);
    return 2;
}

void TForm::Close()
{
    close();
}

void TForm::DoDestroy()
{
    if (!m_onDestroy)
        return;
    try {
        m_onDestroy();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TForm::RegisterComponent(const std::string& name, QObject* component, TValueListStrings* strings)
{
    m_components.push_back({name, component, strings});
}

bool TForm::HasComponent(const std::string& component) const
{
    for (const Component& c : m_components) {
        if (equalNoCase(c.name, component))
            return true;
    }
    return false;
}

TValueListStrings* TForm::FindStringsProperty(const std::string& component, const std::string& property)
{
    if (!equalNoCase(property, "Strings"))
        return nullptr;
    for (const Component& c : m_components) {
        if (equalNoCase(c.name, component))
            return c.strings;
    }
    return nullptr;
}

QRect TForm::knownNormalGeometry() const
{
    QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    if (!positionsKnown())
        normal.moveTopLeft(m_knownPosition);
    return normal;
}

TWindowPlacement TForm::GetWindowPlacement() const
{
    TWindowPlacement p;
    const QRect normal = knownNormalGeometry();
    const QSize extra = frameExtra();
    p.rcNormalPosition = {normal.x(), normal.y(), normal.x() + normal.width() + extra.width(),
                          normal.y() + normal.height() + extra.height()};
    if (isVisible() && isMinimized())
        p.showCmd = SW_SHOWMINIMIZED;
    else if (isVisible() && isMaximized())
        p.showCmd = SW_SHOWMAXIMIZED;
    else
        p.showCmd = SW_SHOWNORMAL;
    return p;
}

void TForm::SetWindowPlacement(const TWindowPlacement& placement)
{
    const QSize extra = frameExtra();
    QRect outer(QPoint(placement.rcNormalPosition.left, placement.rcNormalPosition.top),
                QPoint(placement.rcNormalPosition.right - 1, placement.rcNormalPosition.bottom - 1));
    const QSize client(std::max(0, outer.width() - extra.width()),
                       std::max(0, outer.height() - extra.height()));
    if (positionsKnown()) {
        moveOntoScreen(outer);
        setGeometry(QRect(outer.topLeft(), client));
    } else {
        // Only the size can be applied; the stored position is kept for the next save.
        m_knownPosition = outer.topLeft();
        resize(client);
    }
    if (!isVisible() || placement.showCmd == SW_HIDE)
        return;
    if (placement.showCmd == SW_SHOWMINIMIZED)
        showMinimized();
    else if (placement.showCmd == SW_SHOWMAXIMIZED)
        showMaximized();
}

bool TForm::Visible() const
{
    return isVisible();
}

bool TForm::HandleAllocated() const
{
    return internalWinId() != 0 || isVisible();
}

int TForm::Left() const
{
    return positionsKnown() ? geometry().x() : m_knownPosition.x();
}

int TForm::Top() const
{
    return positionsKnown() ? geometry().y() : m_knownPosition.y();
}

int TForm::Width() const
{
    return width() + frameExtra().width();
}

int TForm::Height() const
{
    return height() + frameExtra().height();
}

TFormBorderStyle TForm::BorderStyle() const
{
    return TFormBorderStyle::bsSizeable;
}

TWindowState TForm::WindowState() const
{
    if (windowState() & Qt::WindowMinimized)
        return TWindowState::wsMinimized;
    if (windowState() & Qt::WindowMaximized)
        return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state)
{
    // A hidden window keeps the state and takes it on when it is shown.
    switch (state) {
    case TWindowState::wsMinimized:
        setWindowState(Qt::WindowMinimized);
        break;
    case TWindowState::wsMaximized:
        setWindowState(Qt::WindowMaximized);
        break;
    case TWindowState::wsNormal:
        setWindowState(Qt::WindowNoState);
        break;
    }
}

void TForm::UpdateWindow()
{
    if (isVisible())
        repaint();
}

bool TForm::IsMainForm() const
{
    return Application == nullptr || Application->MainForm() == nullptr || Application->MainForm() == this;
}

bool TForm::ApplicationIconic() const
{
    return Application != nullptr && Application->MainForm() != nullptr &&
           Application->MainForm()->isMinimized();
}

void TForm::PostApplicationMinimize()
{
    QMetaObject::invokeMethod(
        this, [this] { showMinimized(); }, Qt::QueuedConnection);
}

int TForm::SystemMetric(int index) const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    switch (index) {
    case SM_CXSCREEN:
        return screen ? screen->geometry().width() : 0;
    case SM_CYSCREEN:
        return screen ? screen->geometry().height() : 0;
    default:
        return FrameMetric(index);
    }
}

int TForm::PixelsPerInch() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : 96;
}

void TForm::HandleException(std::exception_ptr error)
{
    if (Application == nullptr)
        std::rethrow_exception(error); // no error display without the application object
    Application->HandleException(error);
}
