#pragma once

#include "platform/winuser.h"

#include <exception>
#include <functional>
#include <string>

class TValueListStrings;

// The window side of the form storage: what a TFormStorage needs from the window that owns it. The
// toolkit's Qt windows implement it; tests implement it with a recording window. Placements and
// sizes are in screen pixels; the placement record, show commands and metrics are those of
// platform/winuser.h.

enum class TWindowState
{
    wsNormal,
    wsMinimized,
    wsMaximized
};
enum class TFormBorderStyle
{
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin
};

using TNotifyEvent = std::function<void()>;
using TCloseQueryEvent = std::function<void(bool& canClose)>;

class IFormWindow
{
public:
    virtual ~IFormWindow() = default;

    // Placement, as the OS reports and applies it. Applying never shows a hidden window.
    virtual TWindowPlacement GetWindowPlacement() const = 0;
    virtual void SetWindowPlacement(const TWindowPlacement& placement) = 0;
    virtual bool Visible() const = 0;
    virtual bool HandleAllocated() const = 0;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual TFormBorderStyle BorderStyle() const = 0;
    virtual TWindowState WindowState() const = 0;
    // Acts at once on a visible window, and when it is shown on a hidden one.
    virtual void SetWindowState(TWindowState state) = 0;
    virtual void UpdateWindow() = 0;

    // The application around the window.
    virtual bool IsMainForm() const = 0;        // the application's main window, or none is set yet
    virtual bool ApplicationIconic() const = 0; // the application is minimised to its taskbar button
    virtual void PostApplicationMinimize() = 0; // posts the minimise command to the application
    virtual int SystemMetric(int index) const = 0;
    virtual int PixelsPerInch() const = 0; // logical pixels per inch of the screen
    // The application's default error display, for errors that escape the storage's hooks.
    virtual void HandleException(std::exception_ptr error) = 0;

    // The window's own show, close-query and destroy handlers; the storage remembers them and puts
    // its hooks in their place.
    virtual TNotifyEvent OnShow() const = 0;
    virtual void SetOnShow(TNotifyEvent handler) = 0;
    virtual TCloseQueryEvent OnCloseQuery() const = 0;
    virtual void SetOnCloseQuery(TCloseQueryEvent handler) = 0;
    virtual TNotifyEvent OnDestroy() const = 0;
    virtual void SetOnDestroy(TNotifyEvent handler) = 0;

    // Whether the window owns a component of that name (matched without regard to case).
    virtual bool HasComponent(const std::string& component) const = 0;
    // The string-list property `property` of the window's component `component` (both names matched
    // without regard to case), or nullptr when the window has no such component or property.
    virtual TValueListStrings* FindStringsProperty(const std::string& component,
                                                   const std::string& property) = 0;
};
