#include "storage/form_placement.h"

#include "platform/blanks.h"
#include "platform/memory.h"

#include "core/exceptions.h"
#include "storage/ini_file.h"

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

// The same failure to write the file again within this time is not shown again.
constexpr std::chrono::seconds kSameFailure(15);

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
            reportSaveFailure(std::current_exception());
        }
    }
}

void TFormPlacement::reportSaveFailure(std::exception_ptr error)
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
    TSaveFailures& failures = *Failures;
    const bool repeated = !text.empty() && text == failures.lastText && now - failures.lastAt < kSameFailure;
    failures.lastText = text;
    failures.lastAt = now;
    if (!repeated)
        m_window.HandleException(error);
}

void TFormPlacement::destroyHook()
{
    if (Active && !m_saved) {
        m_destroying = true;
        try {
            SaveToIni();
        } catch (...) {
            // Nothing escapes the window's event: shown as reportSaveFailure() says.
            reportSaveFailure(std::current_exception());
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
        TIniFile ini(IniFileName);
        const IniScope scope(m_ini, ini);
        FileVersion = ini.Version();
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
    platform::ReturnFreedMemory();
}

void TFormPlacement::SaveToIni()
{
    if (!m_restored && Active)
        return;
    // Until this save has reached the disk, the window holds state that is newer than the file.
    m_unwritten = true;
    // One transaction: the window's changes are applied to the file as it is under the lock, and
    // applied again should the file change before it is replaced.
    TSaveFailures& failures = *Failures;
    const auto now = std::chrono::steady_clock::now();
    const bool waitedInVain = failures.lockBusy && now - failures.lockBusyAt < kSameFailure;
    bool lockBusy = false;
    const auto apply = [this](TIniFile& ini) {
        const IniScope scope(m_ini, ini);
        m_pending.clear();
        WriteChangedString(IniSection, kFormVersion, std::to_string(Version));
        SavePlacement();
    };
    std::optional<TIniFile> written;
    try {
        written.emplace(
            ChangeIniFile(IniFileName, waitedInVain ? kSaveLockTry : kSaveLockWait, apply, &lockBusy));
    } catch (const EIniFileException&) {
        if (lockBusy && !waitedInVain)
            failures.lockBusyAt = now;
        failures.lockBusy = lockBusy;
        throw;
    }
    failures.lockBusy = false;
    {
        const IniScope scope(m_ini, *written);
        FileVersion = written->Version();
        SaveWritten();
    }
    written.reset();
    platform::ReturnFreedMemory();
    m_unwritten = false;
    m_saved = true;
    failures.lastText.clear();
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
    m_ini->WriteString(section, key, QuotedForIni(value));
    m_pending[folded] = value;
}

void TFormPlacement::SavePlacement()
{
    if (OptionState || OptionPosition) {
        WriteWindowPlacement();
        // "Visible" only says how the last save came about: a placement that did not change is
        // not written again for it.
        if (!m_pending.empty())
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
    return TIniFile(IniFileName).ReadString(section, key, def);
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
    ChangeIniFile(IniFileName, kSaveLockWait, [&](TIniFile& ini) { ini.WriteString(section, key, text); });
}
