#include "toolkit/forms.h"

#include "toolkit/ansi.h"
#include "toolkit/application.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

TForm::TForm(const std::string& name, const TRect& outer) : m_name(name)
{
    setObjectName(toQString(name));
    setGeometry(outer.left + 4, outer.top + 23, outer.right - outer.left - 8, outer.bottom - outer.top - 27);
}

TForm::~TForm() = default;

void TForm::SetCaption(const std::string& caption)
{
    setWindowTitle(toQString(caption));
}

int TForm::ShowModal()
{
    m_modalResult = 0;
    m_inModal = true;
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop loop;
    while (m_modalResult == 0 && isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    m_inModal = false;
    hide();
    setWindowModality(Qt::NonModal);
    return m_modalResult == 0 ? 2 : m_modalResult;
}

void TForm::Close()
{
    close();
}

void TForm::DoDestroy()
{
    if (m_onDestroy) {
        try {
            m_onDestroy();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
}

void TForm::RegisterComponent(const std::string& name, QObject* component, TValueListStrings* strings)
{
    m_components.push_back({name, component, strings});
}

namespace {
bool sameText(const std::string& a, const std::string& b)
{
    return QString::compare(toQString(a), toQString(b), Qt::CaseInsensitive) == 0;
}
} // namespace

bool TForm::HasComponent(const std::string& component) const
{
    for (const Component& c : m_components)
        if (sameText(c.name, component))
            return true;
    return false;
}

TValueListStrings* TForm::FindStringsProperty(const std::string& component, const std::string& property)
{
    if (!sameText(property, "Strings"))
        return nullptr;
    for (const Component& c : m_components)
        if (sameText(c.name, component))
            return c.strings;
    return nullptr;
}

TWindowPlacement TForm::GetWindowPlacement() const
{
    TWindowPlacement p;
    p.showCmd = isMinimized() ? SW_SHOWMINIMIZED : isMaximized() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    p.rcNormalPosition = {g.left() - 4, g.top() - 23, g.left() + g.width() + 4, g.top() + g.height() + 4};
    return p;
}

void TForm::SetWindowPlacement(const TWindowPlacement& placement)
{
    const TRect& r = placement.rcNormalPosition;
    setGeometry(r.left + 4, r.top + 23, r.right - r.left - 8, r.bottom - r.top - 27);
}

bool TForm::Visible() const
{
    return isVisible();
}
bool TForm::HandleAllocated() const
{
    return testAttribute(Qt::WA_WState_Created);
}
int TForm::Left() const
{
    return geometry().left() - 4;
}
int TForm::Top() const
{
    return geometry().top() - 23;
}
int TForm::Width() const
{
    return geometry().width() + 8;
}
int TForm::Height() const
{
    return geometry().height() + 27;
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
    setWindowState(state == TWindowState::wsMinimized   ? Qt::WindowMinimized
                   : state == TWindowState::wsMaximized ? Qt::WindowMaximized
                                                        : Qt::WindowNoState);
}

void TForm::UpdateWindow()
{
    update();
}
bool TForm::IsMainForm() const
{
    return !Application || !Application->MainForm() || Application->MainForm() == this;
}
bool TForm::ApplicationIconic() const
{
    return Application && Application->MainForm() && Application->MainForm()->isMinimized();
}

void TForm::PostApplicationMinimize()
{
    if (Application && Application->MainForm())
        QMetaObject::invokeMethod(Application->MainForm(), "showMinimized", Qt::QueuedConnection);
}

int TForm::SystemMetric(int index) const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    switch (index) {
    case SM_CXSCREEN:
        return screen ? screen->geometry().width() : 0;
    case SM_CYSCREEN:
        return screen ? screen->geometry().height() : 0;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    default:
        return 0;
    }
}

int TForm::PixelsPerInch() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

void TForm::HandleException(std::exception_ptr error)
{
    if (Application)
        Application->HandleException(error);
}

void TForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && m_onShow) {
        try {
            m_onShow();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
}

void TForm::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    if (m_onCloseQuery) {
        try {
            m_onCloseQuery(canClose);
        } catch (...) {
            canClose = false;
            HandleException(std::current_exception());
        }
    }
    if (!canClose) {
        event->ignore();
        return;
    }
    if (Application && Application->MainForm() == this) {
        event->ignore();
        Application->Terminate();
        return;
    }
    if (m_inModal && m_modalResult == 0)
        m_modalResult = 2;
    event->accept();
}
