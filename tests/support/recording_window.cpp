#include "tests/support/recording_window.h"

#include "core/exceptions.h"
#include "storage/form_storage.h"

namespace {

bool sameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

RecordingWindow::RecordingWindow(int left, int top, int width, int height, bool isMain)
    : normal{left, top, left + width, top + height}, mainForm(isMain)
{}

TWindowPlacement RecordingWindow::GetWindowPlacement() const
{
    TWindowPlacement placement;
    placement.flags = flags;
    placement.showCmd = state == TWindowState::wsMinimized   ? SW_SHOWMINIMIZED
                        : state == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                                                             : SW_SHOWNORMAL;
    placement.ptMinPosition = minPos;
    placement.ptMaxPosition = maxPos;
    placement.rcNormalPosition = normal;
    return placement;
}

void RecordingWindow::SetWindowPlacement(const TWindowPlacement& placement)
{
    ++placementsApplied;
    flags = placement.flags;
    minPos = placement.ptMinPosition;
    maxPos = placement.ptMaxPosition;
    normal = placement.rcNormalPosition;
}

void RecordingWindow::SetWindowState(TWindowState s)
{
    ++stateChanges;
    state = s;
}

int RecordingWindow::SystemMetric(int index) const
{
    switch (index) {
    case SM_CXSCREEN:
        return screenWidth;
    case SM_CYSCREEN:
        return screenHeight;
    default:
        return FrameMetric(index);
    }
}

void RecordingWindow::HandleException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        errors.push_back(e.Message());
    } catch (const std::exception& e) {
        errors.push_back(e.what());
    }
}

bool RecordingWindow::HasComponent(const std::string& component) const
{
    return table && sameText(component, "Verknuepfungseditor");
}

TValueListStrings* RecordingWindow::FindStringsProperty(const std::string& component,
                                                        const std::string& property)
{
    if (table && sameText(component, "Verknuepfungseditor") && sameText(property, "Strings"))
        return table;
    return nullptr;
}

void RecordingWindow::show()
{
    if (onShow)
        onShow();
    visible = true;
}

bool RecordingWindow::closeQuery()
{
    bool canClose = true;
    if (onCloseQuery)
        onCloseQuery(canClose);
    if (canClose)
        visible = false;
    return canClose;
}

void RecordingWindow::destroy()
{
    if (onDestroy)
        onDestroy();
}

std::unique_ptr<TFormStorage> NewFormStorage(IFormWindow& window, const std::string& ini,
                                             const std::string& section, bool storesTable)
{
    auto storage = std::make_unique<TFormStorage>(window);
    if (storesTable)
        storage->SetStoredProps({"Verknuepfungseditor.Strings"});
    storage->IniFileName = ini;
    storage->IniSection = section;
    return storage;
}
