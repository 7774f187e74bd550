#include "storage/form_storage.h"
#include "platform/blanks.h"

#include "core/exceptions.h"
#include "core/value_list_strings.h"
#include "platform/profile.h"
#include "storage/ini_file.h"
#include "storage/table_merge.h"

#include <chrono>
#include <cstdio>

namespace {

const char* const kFormVersion = "FormVersion";
const char* const kFlags = "Flags";
const char* const kShowCmd = "ShowCmd";
const char* const kPixelsPerInch = "PixelsPerInch";
const char* const kMinMaxPos = "MinMaxPos";
const char* const kNormPos = "NormPos";
const char* const kVisible = "Visible";
const char* const kCount = "Count";
constexpr int kMaxStoredLines = 1 << 20;
// What a read gives for a key the file does not hold: no value this program writes looks like it.
const char* const kAbsent = "\001absent\001";

// "section\nkey" in lower case: INI names match without regard to case.
std::string knownKey(const std::string& section, const std::string& key)
{
    std::string folded = section + "\n" + key;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// Word `n` (from 1) of a text of numbers separated by blanks and commas, as an integer.
int wordAsInt(const std::string& text, int n, int def)
{
    int index = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (isBlank(text[pos]) || text[pos] == ','))
            ++pos;
        if (pos >= text.size())
            break;
        std::size_t end = pos;
        while (end < text.size() && !isBlank(text[end]) && text[end] != ',')
            ++end;
        if (++index == n)
            return IniTextToInt(text.substr(pos, end - pos), def);
        pos = end;
    }
    return def;
}

std::string fourInts(int a, int b, int c, int d)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

// A close saves every window, one after the other: a file that cannot be written is reported once
// for all of them, not once per window. The same failure again within this time is not shown.
constexpr std::chrono::seconds kSameFailure(15);
std::string g_lastFailure;
std::chrono::steady_clock::time_point g_lastFailureAt;

void reportSaveFailure(IFormWindow& window, std::exception_ptr error)
{
    std::string text; // only a failure to write the file repeats for every window
    try {
        std::rethrow_exception(error);
    } catch (const EIniFileException& e) {
        text = e.what();
    } catch (...) {
        // Any other error (out of memory too) is shown each time.
    }
    const auto now = std::chrono::steady_clock::now();
    const bool repeated = !text.empty() && text == g_lastFailure && now - g_lastFailureAt < kSameFailure;
    g_lastFailure = text;
    g_lastFailureAt = now;
    if (!repeated)
        window.HandleException(error);
}

// Releases the INI object of one restore or save. Leaving by an exception releases it without
// raising a second error; a normal end raises a failure to write the file out.
class IniSession
{
public:
    IniSession(TIniFile*& slot, const std::string& fileName) : m_slot(slot), m_ini(fileName)
    {
        m_slot = &m_ini;
    }
    ~IniSession() { m_slot = nullptr; }
    IniSession(const IniSession&) = delete;
    IniSession& operator=(const IniSession&) = delete;
    void release()
    {
        m_slot = nullptr;
        m_ini.Release();
    }

private:
    TIniFile*& m_slot;
    TIniFile m_ini;
};

} // namespace

TFormPlacement::TFormPlacement(IFormWindow& window) : m_window(window)
{
    m_savedOnShow = m_window.OnShow();
    m_savedOnCloseQuery = m_window.OnCloseQuery();
    m_savedOnDestroy = m_window.OnDestroy();
    m_window.SetOnShow([this] { showHook(); });
    m_window.SetOnCloseQuery([this](bool& canClose) { closeQueryHook(canClose); });
    m_window.SetOnDestroy([this] { destroyHook(); });
}

TFormPlacement::~TFormPlacement()
{
    m_window.SetOnShow(m_savedOnShow);
    m_window.SetOnCloseQuery(m_savedOnCloseQuery);
    m_window.SetOnDestroy(m_savedOnDestroy);
}

void TFormPlacement::showHook()
{
    if (Active) {
        try {
            LoadFromIni();
        } catch (...) {
            // Nothing escapes the window's event: the application's error display shows it.
            m_window.HandleException(std::current_exception());
        }
    }
    if (m_savedOnShow)
        m_savedOnShow();
}

void TFormPlacement::closeQueryHook(bool& canClose)
{
    if (m_savedOnCloseQuery)
        m_savedOnCloseQuery(canClose);
    if (canClose && Active && m_window.HandleAllocated()) {
        try {
            SaveToIni();
        } catch (...) {
            // Nothing escapes the window's event: shown as reportSaveFailure() says.
            reportSaveFailure(m_window, std::current_exception());
        }
    }
}

void TFormPlacement::destroyHook()
{
    if (Active && !m_saved) {
        m_destroying = true;
        try {
            SaveToIni();
        } catch (...) {
            // Nothing escapes the window's event: shown as reportSaveFailure() says.
            reportSaveFailure(m_window, std::current_exception());
        }
        m_destroying = false;
    }
    if (m_savedOnDestroy)
        m_savedOnDestroy();
}

std::string TFormPlacement::screenSuffix() const
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "(%dx%d)", m_window.SystemMetric(SM_CXSCREEN),
                  m_window.SystemMetric(SM_CYSCREEN));
    return buffer;
}

void TFormPlacement::LoadFromIni()
{
    m_saved = false;
    {
        // Taken before the read: a change in between makes the next FollowFile() read once more.
        FileStamp = platform::ProfileFileStamp(IniFileName.c_str());
        IniSession session(m_ini, IniFileName);
        if (m_ini->ReadInteger(IniSection, kFormVersion, 0) >= Version)
            RestorePlacement();
        m_restored = true;
        // What the file holds now is what a later save compares against, read or not.
        const std::string suffix = screenSuffix();
        for (const std::string& key :
             {std::string(kFormVersion), std::string(kFlags), std::string(kShowCmd),
              std::string(kPixelsPerInch), std::string(kMinMaxPos), kMinMaxPos + suffix,
              std::string(kNormPos), kNormPos + suffix, std::string(kVisible)})
            RememberIniValue(IniSection, key);
        session.release();
    }

    // Reset the maximized position to the one that fits the window's frame.
    if (m_window.HandleAllocated()) {
        TWindowPlacement placement = m_window.GetWindowPlacement();
        if (!m_window.Visible())
            placement.showCmd = SW_HIDE;
        switch (m_window.BorderStyle()) {
        case TFormBorderStyle::bsSingle:
        case TFormBorderStyle::bsToolWindow:
            placement.ptMaxPosition = {-m_window.SystemMetric(SM_CXBORDER),
                                       -m_window.SystemMetric(SM_CYBORDER)};
            break;
        case TFormBorderStyle::bsSizeable:
        case TFormBorderStyle::bsSizeToolWin:
            placement.ptMaxPosition = {-m_window.SystemMetric(SM_CXFRAME),
                                       -m_window.SystemMetric(SM_CYFRAME)};
            break;
        case TFormBorderStyle::bsDialog:
            placement.ptMaxPosition = {-m_window.SystemMetric(SM_CXDLGFRAME),
                                       -m_window.SystemMetric(SM_CYDLGFRAME)};
            break;
        case TFormBorderStyle::bsNone:
            placement.ptMaxPosition = {0, 0};
            break;
        }
        m_window.SetWindowPlacement(placement);
    }
}

void TFormPlacement::SaveToIni()
{
    if (!m_restored && Active)
        return;
    // Until this save has reached the disk, the window holds state that is newer than the file.
    m_unwritten = true;
    m_pending.clear();
    IniSession session(m_ini, IniFileName);
    WriteChangedString(IniSection, kFormVersion, std::to_string(Version));
    SavePlacement();
    // The file is written out here; only a save that reached the disk counts as done.
    session.release();
    // A write by another program between the flush and this query goes unseen until the file
    // changes again; the next save still merges with it.
    FileStamp = platform::ProfileFileStamp(IniFileName.c_str());
    SaveWritten();
    m_unwritten = false;
    m_saved = true;
    g_lastFailure.clear();
}

void TFormPlacement::SaveWritten()
{
    for (auto& [key, value] : m_pending)
        m_known[key] = std::move(value);
    m_pending.clear();
}

void TFormPlacement::RememberIniValue(const std::string& section, const std::string& key)
{
    std::string value = m_ini->ReadString(section, key, kAbsent);
    std::optional<std::string>& known = m_known[knownKey(section, key)];
    if (value == kAbsent)
        known.reset();
    else
        known = std::move(value);
}

void TFormPlacement::WriteChangedString(const std::string& section, const std::string& key,
                                        const std::string& value)
{
    const std::string folded = knownKey(section, key);
    const auto known = m_known.find(folded);
    if (known != m_known.end() && known->second == value)
        return;
    WriteIniString(section, key, value);
    m_pending[folded] = value;
}

void TFormPlacement::SavePlacement()
{
    if (OptionState || OptionPosition) {
        WriteWindowPlacement();
        WriteChangedString(IniSection, kVisible, m_destroying ? "1" : "0");
    }
}

void TFormPlacement::RestorePlacement()
{
    ReadWindowPlacement(OptionState, OptionPosition);
}

void TFormPlacement::ReadWindowPlacement(bool loadState, bool loadPosition)
{
    if (!loadState && !loadPosition)
        return;
    TIniFile& ini = *m_ini;
    const std::string& section = IniSection;
    TWindowPlacement placement = m_window.GetWindowPlacement();
    if (!m_window.Visible())
        placement.showCmd = SW_HIDE;

    if (loadPosition) {
        bool found = false;
        placement.flags =
            static_cast<unsigned>(ini.ReadInteger(section, kFlags, static_cast<int>(placement.flags)));
        const std::string suffix = screenSuffix();

        std::string text = ini.ReadString(section, std::string(kMinMaxPos) + suffix, "");
        if (text.empty())
            text = ini.ReadString(section, kMinMaxPos, "");
        if (!text.empty()) {
            found = true;
            placement.ptMinPosition = {wordAsInt(text, 1, 0), wordAsInt(text, 2, 0)};
            placement.ptMaxPosition = {wordAsInt(text, 3, 0), wordAsInt(text, 4, 0)};
        }

        text = ini.ReadString(section, std::string(kNormPos) + suffix, "");
        if (text.empty())
            text = ini.ReadString(section, kNormPos, "");
        if (!text.empty()) {
            found = true;
            const int left = m_window.Left();
            const int top = m_window.Top();
            placement.rcNormalPosition = {wordAsInt(text, 1, left), wordAsInt(text, 2, top),
                                          wordAsInt(text, 3, left + m_window.Width()),
                                          wordAsInt(text, 4, top + m_window.Height())};
        }

        const int ppi = m_window.PixelsPerInch();
        if (ini.ReadInteger(section, kPixelsPerInch, ppi) != ppi)
            found = false;

        if (found) {
            const TFormBorderStyle border = m_window.BorderStyle();
            if (border != TFormBorderStyle::bsSizeable && border != TFormBorderStyle::bsSizeToolWin) {
                TRect& rc = placement.rcNormalPosition;
                rc.right = rc.left + m_window.Width();
                rc.bottom = rc.top + m_window.Height();
            }
            if (placement.rcNormalPosition.right > placement.rcNormalPosition.left)
                m_window.SetWindowPlacement(placement);
        }
    }

    if (loadState) {
        TWindowState state = TWindowState::wsNormal;
        switch (ini.ReadInteger(section, kShowCmd, 0)) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            state = TWindowState::wsMinimized;
            break;
        case SW_SHOWMAXIMIZED:
            state = TWindowState::wsMaximized;
            break;
        default: // SW_SHOWNORMAL, SW_SHOW, SW_RESTORE and the rest
            break;
        }
        if (state == TWindowState::wsMinimized && m_window.IsMainForm()) {
            // The whole application starts minimised; the window itself stays normal.
            m_window.PostApplicationMinimize();
            return;
        }
        m_window.SetWindowState(state);
    }

    if (m_window.HandleAllocated())
        m_window.UpdateWindow();
}

void TFormPlacement::WriteWindowPlacement()
{
    const std::string& section = IniSection;
    TWindowPlacement placement = m_window.GetWindowPlacement();
    if (m_window.IsMainForm() && m_window.ApplicationIconic())
        placement.showCmd = SW_SHOWMINIMIZED;
    WriteChangedString(section, kFlags, std::to_string(static_cast<int>(placement.flags)));
    WriteChangedString(section, kShowCmd, std::to_string(static_cast<int>(placement.showCmd)));
    WriteChangedString(section, kPixelsPerInch, std::to_string(m_window.PixelsPerInch()));

    const std::string suffix = screenSuffix();
    const std::string minMax = fourInts(placement.ptMinPosition.x, placement.ptMinPosition.y,
                                        placement.ptMaxPosition.x, placement.ptMaxPosition.y);
    WriteChangedString(section, std::string(kMinMaxPos) + suffix, minMax);
    WriteChangedString(section, kMinMaxPos, minMax);
    const TRect& rc = placement.rcNormalPosition;
    const std::string norm = fourInts(rc.left, rc.top, rc.right, rc.bottom);
    WriteChangedString(section, std::string(kNormPos) + suffix, norm);
    WriteChangedString(section, kNormPos, norm);
}

std::string TFormPlacement::ReadIniString(const std::string& section, const std::string& key,
                                          const std::string& def)
{
    if (m_ini)
        return m_ini->ReadString(section, key, def);
    TIniFile ini(IniFileName);
    std::string value = ini.ReadString(section, key, def);
    ini.Release();
    return value;
}

std::string TFormPlacement::QuotedForIni(const std::string& value)
{
    if (value.empty())
        return value;
    const char first = value.front();
    const char last = value.back();
    // The reader drops one pair of enclosing quotes and the blanks around a value; a value that
    // would lose either is enclosed in one more pair of double quotes.
    if (((first == '"' || first == '\'') && last == first) || isBlank(first) || isBlank(last))
        return "\"" + value + "\"";
    return value;
}

void TFormPlacement::WriteIniString(const std::string& section, const std::string& key,
                                    const std::string& value)
{
    const std::string text = QuotedForIni(value);
    if (m_ini) {
        m_ini->WriteString(section, key, text);
        return;
    }
    TIniFile ini(IniFileName);
    ini.WriteString(section, key, text);
    ini.Release();
}

// TFormStorage

TFormStorage::TFormStorage(IFormWindow& window) : TFormPlacement(window) {}

void TFormStorage::SetStoredProps(std::vector<std::string> props)
{
    // Resolve against the window's components: entries that name nothing are dropped.
    for (std::size_t i = props.size(); i-- > 0;) {
        std::string component;
        std::string property;
        if (!splitEntry(props[i], component, property) || !m_window.HasComponent(component))
            props.erase(props.begin() + static_cast<std::ptrdiff_t>(i));
    }
    m_storedProps = std::move(props);
}

bool TFormStorage::splitEntry(const std::string& entry, std::string& component, std::string& property)
{
    const std::size_t dot = entry.find('.');
    if (dot == std::string::npos)
        return false;
    component = trimmed(entry.substr(0, dot));
    property = trimmed(entry.substr(dot + 1));
    return !component.empty() && !property.empty();
}

TValueListStrings* TFormStorage::resolveEntry(const std::string& entry, std::string& component,
                                              std::string& property) const
{
    if (!splitEntry(entry, component, property))
        return nullptr;
    return m_window.FindStringsProperty(component, property);
}

std::string TFormStorage::listSection(const std::string& component, const std::string& property) const
{
    return IniSection + "." + component + "_" + property;
}

void TFormStorage::SavePlacement()
{
    TFormPlacement::SavePlacement();
    SaveProperties();
}

void TFormStorage::RestorePlacement()
{
    TFormPlacement::RestorePlacement();
    RestoreProperties();
}

void TFormStorage::forEachList(const std::function<void(TValueListStrings&, const std::string&)>& visit)
{
    for (const std::string& entry : m_storedProps) {
        std::string component;
        std::string property;
        if (TValueListStrings* strings = resolveEntry(entry, component, property))
            visit(*strings, listSection(component, property));
    }
}

void TFormStorage::SaveWritten()
{
    TFormPlacement::SaveWritten();
    forEachList([this](TValueListStrings& strings, const std::string& section) {
        ListState& state = m_lists[section];
        if (!state.pending) {
            // The list was not read: what the file holds of it comes in at the next follow.
            FileStamp.clear();
            return;
        }
        // What the file took in from others comes into the window too.
        if (state.pendingLines)
            strings.Assign(std::move(*state.pendingLines));
        state.base = std::move(state.pending);
        state.pending.reset();
        state.pendingLines.reset();
    });
}

int TFormStorage::storedCount(const std::string& section)
{
    const int count = IniTextToInt(trimmed(m_ini->ReadString(section, kCount, "0")), 0);
    return count <= 0 || count > kMaxStoredLines ? 0 : count;
}

std::optional<std::vector<std::string>> TFormStorage::readList(const std::string& section)
{
    const int count = storedCount(section);
    if (count == 0)
        return std::nullopt;
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        lines.push_back(m_ini->ReadString(section, "Item" + std::to_string(i), ""));
    return lines;
}

std::optional<TableDigest> TFormStorage::readDigest(const std::string& section)
{
    const int count = storedCount(section);
    if (count == 0)
        return std::nullopt;
    TableDigest digest;
    for (int i = 0; i < count; ++i)
        digest.Add(m_ini->ReadString(section, "Item" + std::to_string(i), ""));
    return digest;
}

void TFormStorage::writeList(const std::string& section, const std::vector<std::string>& lines)
{
    m_ini->EraseSection(section);
    if (lines.empty())
        return;
    WriteIniString(section, kCount, std::to_string(lines.size()));
    std::string key;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        key = "Item" + std::to_string(i);
        WriteIniString(section, key, lines[i]);
    }
}

void TFormStorage::SaveProperties()
{
    forEachList([this](TValueListStrings& strings, const std::string& section) {
        ListState& state = m_lists[section];
        const std::vector<std::string>& ours = strings.Lines();
        // A list the operator did not change leaves the file's as it is, whatever that is now; a file
        // without one gets the window's.
        if (state.base && state.base->Matches(ours) && storedCount(section) > 0)
            return;
        // Without a list in the file, one this window never read, or one unchanged since, the
        // window's list is the table; else the two are merged.
        const std::optional<TableDigest> theirs = state.base ? readDigest(section) : std::nullopt;
        if (theirs && !(*theirs == *state.base)) {
            std::vector<std::string> merged = MergeTables(*state.base, ours, *readList(section));
            writeList(section, merged);
            state.pending = TableDigest::Of(merged);
            if (merged != ours)
                state.pendingLines = std::move(merged);
        } else {
            writeList(section, ours);
            state.pending = TableDigest::Of(ours);
        }
    });
}

void TFormStorage::takeInFile(bool merge)
{
    forEachList([this, merge](TValueListStrings& strings, const std::string& section) {
        std::optional<std::vector<std::string>> theirs = readList(section);
        ListState& state = m_lists[section];
        // A file without the list leaves the window's as it is, and what the operator changes of it
        // from now on is what a save merges with a list the file may have by then.
        if (!theirs) {
            if (!state.base)
                state.base = TableDigest::Of(strings.Lines());
            return;
        }
        TableDigest digest = TableDigest::Of(*theirs);
        if (merge && state.base && !state.base->Matches(strings.Lines())) {
            std::vector<std::string> merged = MergeTables(*state.base, strings.Lines(), *theirs);
            if (merged != strings.Lines())
                strings.Assign(std::move(merged));
        } else if (!merge || !digest.Matches(strings.Lines())) {
            strings.Assign(std::move(*theirs));
        }
        state.base = std::move(digest);
    });
}

void TFormStorage::RestoreProperties()
{
    // After a save that failed, the lists hold edits the file never received: the older values of
    // the file must not replace them. The next save that succeeds merges them with the file.
    if (!Unwritten())
        takeInFile(false);
}

void TFormStorage::FollowFile()
{
    // An open window is never changed under the operator's hands: it merges when it closes.
    if (!Active || !Restored() || Unwritten() || m_window.Visible())
        return;
    const std::string stamp = platform::ProfileFileStamp(IniFileName.c_str());
    if (stamp == FileStamp)
        return;
    IniSession session(m_ini, IniFileName);
    takeInFile(true);
    session.release(); // reading never writes, so this cannot fail
    FileStamp = stamp;
}
