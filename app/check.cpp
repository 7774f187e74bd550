#include "app/check.h"

#include "app/Einstellungen_Unit1.h"
#include "app/Ventiro_Unit1.h"
#include "launch/default_launch_table.h"
#include "launch/launcher.h"
#include "launch/panel_buttons.h"
#include "storage/form_storage.h"
#include "toolkit/ansi.h"

#include <QString>

#include <set>

namespace {

// A window that is never shown, holding only the launch table: what the form storage needs to read
// the table without a display. Its placement is nobody's concern.
class TableWindow : public IFormWindow
{
public:
    TValueListStrings table{DefaultLaunchTable()};

    TWindowPlacement GetWindowPlacement() const override { return {}; }
    void SetWindowPlacement(const TWindowPlacement&) override {}
    bool Visible() const override { return false; }
    bool HandleAllocated() const override { return false; }
    int Left() const override { return 0; }
    int Top() const override { return 0; }
    int Width() const override { return 0; }
    int Height() const override { return 0; }
    TFormBorderStyle BorderStyle() const override { return TFormBorderStyle::bsSizeable; }
    TWindowState WindowState() const override { return TWindowState::wsNormal; }
    void SetWindowState(TWindowState) override {}
    void UpdateWindow() override {}
    bool IsMainForm() const override { return false; }
    bool ApplicationIconic() const override { return false; }
    void PostApplicationMinimize() override {}
    int SystemMetric(int) const override { return 0; }
    int PixelsPerInch() const override { return 96; }
    void HandleException(std::exception_ptr error) override { std::rethrow_exception(error); }
    TNotifyEvent OnShow() const override { return m_onShow; }
    void SetOnShow(TNotifyEvent handler) override { m_onShow = std::move(handler); }
    TCloseQueryEvent OnCloseQuery() const override { return m_onCloseQuery; }
    void SetOnCloseQuery(TCloseQueryEvent handler) override { m_onCloseQuery = std::move(handler); }
    TNotifyEvent OnDestroy() const override { return m_onDestroy; }
    void SetOnDestroy(TNotifyEvent handler) override { m_onDestroy = std::move(handler); }
    bool HasComponent(const std::string& component) const override
    {
        return QString::fromLatin1(component).compare(QLatin1String(kTableComponent), Qt::CaseInsensitive) ==
               0;
    }
    TValueListStrings* FindStringsProperty(const std::string& component, const std::string& property) override
    {
        const bool strings =
            QString::fromLatin1(property).compare(QLatin1String("Strings"), Qt::CaseInsensitive) == 0;
        return HasComponent(component) && strings ? &table : nullptr;
    }

private:
    TNotifyEvent m_onShow;
    TCloseQueryEvent m_onCloseQuery;
    TNotifyEvent m_onDestroy;
};

// The German text of a line of the report. Where the failure message has no reason (nothing opens
// that kind of file), the report still gives one.
std::string verdict(const LaunchCheck& check)
{
    if (!check.hasEntry)
        return "Kein Eintrag in der Tabelle.";
    if (check.code == 0)
        return "OK";
    const std::string text = ErrorText(check.code);
    return !text.empty() ? text
                         : "Keine Anwendung zum \xD6"
                           "ffnen dieser Datei (wine, xdg-open).";
}

QString reportLine(const std::string& key, const LaunchCheck& check)
{
    QString started;
    if (check.code == 0) {
        started = QString::fromLocal8Bit(check.start.program);
        if (check.start.file != check.start.program)
            started += QLatin1Char(' ') + QString::fromLocal8Bit(check.start.file);
    } else {
        const SplitCommandResult parts = SplitCommand(check.entry);
        started = toQString(parts.directory + parts.program);
    }
    return toQString(key) + QLatin1Char('\t') + started + QLatin1Char('\t') + toQString(verdict(check)) +
           QLatin1Char('\n');
}

} // namespace

std::vector<std::string> StoredLaunchTable(const std::string& iniFile)
{
    TableWindow window;
    if (!iniFile.empty()) {
        TFormStorage storage(window);
        storage.IniFileName = iniFile;
        storage.IniSection = kEinstellungenSection;
        storage.SetStoredProps({std::string(kTableComponent) + ".Strings"});
        storage.LoadFromIni();
    }
    return window.table.Lines();
}

int RunCheck(std::FILE* out)
{
    const TValueListStrings table(StoredLaunchTable(PanelIniFileName()));
    int result = 0;
    std::set<int> buttonLines;
    QString report;
    for (const PanelButton& button : PanelButtons()) {
        if (button.launchKey == nullptr)
            continue;
        const LaunchCheck check = CheckLaunch(table, button.launchKey);
        if (!check.hasEntry || check.code != 0)
            result = 1;
        buttonLines.insert(table.IndexOfName(button.launchKey));
        report += reportLine(button.launchKey, check);
    }
    // The table's other lines, each one a press would reach (the first of its name).
    for (int i = 0; i < table.Count(); ++i) {
        const std::string name = table.Names(i);
        if (name.empty() || buttonLines.count(i) != 0 || table.IndexOfName(name) != i)
            continue;
        report += reportLine(name, CheckLaunch(table, name));
    }
    std::fputs(report.toLocal8Bit().constData(), out);
    return result;
}
