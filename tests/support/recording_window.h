#pragma once

#include "core/value_list_strings.h"
#include "storage/form_window.h"
#include "tests/support/files.h"

#include <memory>
#include <string>
#include <vector>

class TFormStorage;

// A window that records what the form storage asks of it and applies placements to its own fields,
// the way a real top-level window would.
class RecordingWindow : public IFormWindow
{
public:
    RecordingWindow(int left, int top, int width, int height, bool mainForm);

    TWindowPlacement GetWindowPlacement() const override;
    void SetWindowPlacement(const TWindowPlacement& placement) override;
    bool Visible() const override { return visible; }
    bool HandleAllocated() const override { return true; }
    int Left() const override { return normal.left; }
    int Top() const override { return normal.top; }
    int Width() const override { return normal.right - normal.left; }
    int Height() const override { return normal.bottom - normal.top; }
    TFormBorderStyle BorderStyle() const override { return border; }
    TWindowState WindowState() const override { return state; }
    void SetWindowState(TWindowState s) override;
    void UpdateWindow() override { ++updates; }
    bool IsMainForm() const override { return mainForm; }
    bool ApplicationIconic() const override { return appIconic; }
    void PostApplicationMinimize() override { ++minimizePosts; }
    int SystemMetric(int index) const override;
    int PixelsPerInch() const override { return ppi; }
    void HandleException(std::exception_ptr error) override;
    TNotifyEvent OnShow() const override { return onShow; }
    void SetOnShow(TNotifyEvent handler) override { onShow = std::move(handler); }
    TCloseQueryEvent OnCloseQuery() const override { return onCloseQuery; }
    void SetOnCloseQuery(TCloseQueryEvent handler) override { onCloseQuery = std::move(handler); }
    TNotifyEvent OnDestroy() const override { return onDestroy; }
    void SetOnDestroy(TNotifyEvent handler) override { onDestroy = std::move(handler); }
    bool HasComponent(const std::string& component) const override;
    TValueListStrings* FindStringsProperty(const std::string& component,
                                           const std::string& property) override;

    // Drives the window the way the application does.
    void show();
    bool closeQuery();
    void destroy();

    TRect normal;
    TWindowState state = TWindowState::wsNormal;
    TFormBorderStyle border = TFormBorderStyle::bsSizeable;
    unsigned flags = 0;
    TPoint minPos{-1, -1};
    TPoint maxPos{-1, -1};
    bool visible = false;
    bool mainForm = false;
    bool appIconic = false;
    int screenWidth = 1280;
    int screenHeight = 1024;
    int ppi = 96;
    TValueListStrings* table = nullptr; // "Verknuepfungseditor.Strings" when set

    int placementsApplied = 0;
    int stateChanges = 0;
    int updates = 0;
    int minimizePosts = 0;
    std::vector<std::string> errors; // messages handed to the error display

    TNotifyEvent onShow;
    TCloseQueryEvent onCloseQuery;
    TNotifyEvent onDestroy;
};

// A storage over `window` set up as the program's windows set up theirs: on `section` of `ini`, and,
// with `storesTable`, keeping the table "Verknuepfungseditor.Strings" as well.
std::unique_ptr<TFormStorage> NewFormStorage(IFormWindow& window, const std::string& ini,
                                             const std::string& section, bool storesTable = false);
