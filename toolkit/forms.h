#pragma once

#include "storage/form_window.h"
#include "toolkit/ansi.h"

#include <QWidget>

class QEventLoop;

#include <string>

// While a modal window is up, every other window of the program is disabled, as the window system's
// own modal display does: no click, key or accessibility action reaches it, and assistive
// technology sees its controls as not available. A blocked window keeps its look, and gets its
// keyboard focus back when it is released. The application calls this for each window that a modal
// window blocks (`blocked` true) and releases (false).
void SetBlockedByModal(QWidget* window, bool blocked);

// A top-level window of the program: a QWidget that the application owns and that implements the
// form storage's window interface. Derived windows build their controls in their constructor, set
// their OnShow handler, create their TFormStorage (which hooks the events) and then call their own
// FormCreate, in that order.
class TForm : public QWidget, public IFormWindow
{
public:
    // `outer` is the designed outer rectangle (frame included) in screen pixels.
    TForm(const std::string& name, const TRect& outer);
    ~TForm() override;

    const std::string& Name() const { return m_name; }
    void SetCaption(const std::string& caption);

    // Modal display: runs a nested loop until the window closes, then hides it; returns the modal
    // result, always 2 (Cancel): the program's windows end their display only by closing.
    int ShowModal();
    // The same request as the close box: the close query runs, then the window closes (the main
    // window terminates the application instead of hiding).
    void Close();

    // Called by the application during shutdown, before the window's controls are destroyed.
    void DoDestroy();

    // Registers a component (a control or not) under its design name for stored properties.
    void RegisterComponent(const std::string& name, QObject* component, TValueListStrings* strings = nullptr);

    // IFormWindow
    TWindowPlacement GetWindowPlacement() const override;
    void SetWindowPlacement(const TWindowPlacement& placement) override;
    bool Visible() const override;
    bool HandleAllocated() const override;
    int Left() const override;
    int Top() const override;
    int Width() const override;
    int Height() const override;
    TFormBorderStyle BorderStyle() const override;
    TWindowState WindowState() const override;
    void SetWindowState(TWindowState state) override;
    void UpdateWindow() override;
    bool IsMainForm() const override;
    bool ApplicationIconic() const override;
    void PostApplicationMinimize() override;
    int SystemMetric(int index) const override;
    int PixelsPerInch() const override;
    void HandleException(std::exception_ptr error) override;
    TNotifyEvent OnShow() const override { return m_onShow; }
    void SetOnShow(TNotifyEvent handler) override { m_onShow = std::move(handler); }
    TCloseQueryEvent OnCloseQuery() const override { return m_onCloseQuery; }
    void SetOnCloseQuery(TCloseQueryEvent handler) override { m_onCloseQuery = std::move(handler); }
    TNotifyEvent OnDestroy() const override { return m_onDestroy; }
    void SetOnDestroy(TNotifyEvent handler) override { m_onDestroy = std::move(handler); }
    bool HasComponent(const std::string& component) const override;
    TValueListStrings* FindStringsProperty(const std::string& component,
                                           const std::string& property) override;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Frame width and height around the client area (the reference frame where the system gives none).
    QSize frameExtra() const;
    // The window's normal rectangle; where the window system tells no positions, at the position last
    // designed or restored.
    QRect knownNormalGeometry() const;

private:
    struct Component
    {
        std::string name;
        QObject* object;
        TValueListStrings* strings;
    };

    std::string m_name;
    std::vector<Component> m_components;
    TNotifyEvent m_onShow;
    TCloseQueryEvent m_onCloseQuery;
    TNotifyEvent m_onDestroy;
    QPoint m_knownPosition; // the position designed or restored, for window systems that tell none
    QRect m_designed;       // the client rectangle as designed
    bool m_shownOnce = false;
    bool m_inModal = false;
    bool m_inShowHandler = false;
    QEventLoop* m_modalLoop = nullptr;
};
