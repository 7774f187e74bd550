#pragma once

#include "storage/form_window.h"

#include "platform/profile_file.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TIniFile;

// What the saves of a panel's windows remember of their failures, so that one close costs one wait
// for a lock another program holds and shows one message, however many windows it saves. The
// windows of one panel share one; a free lock is always taken.
struct TSaveFailures
{
    std::string lastText; // the last failure shown, and when
    std::chrono::steady_clock::time_point lastAt;
    std::chrono::steady_clock::time_point lockBusyAt; // when a save last waited in vain for the lock
    bool lockBusy = false;
};

// Keeps a window's placement in one section of an INI file and puts it back when the window is shown
// in a later run. It hooks the window's show, close-query and destroy events when it is constructed
// (the window has finished building its controls by then), so the window needs no saving code.
class TFormPlacement
{
public:
    explicit TFormPlacement(IFormWindow& window);
    virtual ~TFormPlacement(); // puts the window's remembered handlers back

    TFormPlacement(const TFormPlacement&) = delete;
    TFormPlacement& operator=(const TFormPlacement&) = delete;

    bool Active = true;
    std::string IniFileName;
    std::string IniSection;
    int Version = 0;
    bool OptionState = true;    // fpState
    bool OptionPosition = true; // fpPosition
    // fpActiveControl (the focused control) has no effect here.
    // Shared with the other windows of the panel (see TSaveFailures).
    std::shared_ptr<TSaveFailures> Failures = std::make_shared<TSaveFailures>();

    void LoadFromIni();
    void SaveToIni();

    // Any section of the file, during a restore or save (the file as that one read it); outside one
    // a read reads the file, and a write is a transaction of its own.
    std::string ReadIniString(const std::string& section, const std::string& key, const std::string& def);
    void WriteIniString(const std::string& section, const std::string& key, const std::string& value);

    // The text WriteIniString writes for `value`, so that the profile read gives `value` back.
    static std::string QuotedForIni(const std::string& value);

    bool Restored() const { return m_restored; }
    bool Saved() const { return m_saved; }
    // True after a save that did not reach the file, until one does.
    bool Unwritten() const { return m_unwritten; }

protected:
    virtual void SavePlacement();
    virtual void RestorePlacement();
    // Called once a save has reached the file.
    virtual void SaveWritten();

    // Writes `value` (quoted as WriteIniString does) only when it differs from what this window last
    // read or wrote there, so that a save never undoes another program's newer value of a key this
    // window did not change.
    void WriteChangedString(const std::string& section, const std::string& key, const std::string& value);
    // Remembers what the file holds under `key` now, as the value the window last read.
    void RememberIniValue(const std::string& section, const std::string& key);

    // The file as this window last read or wrote it.
    platform::ProfileVersion FileVersion;

    void ReadWindowPlacement(bool loadState, bool loadPosition);
    void WriteWindowPlacement();

    std::string screenSuffix() const; // "(<width>x<height>)" of the screen

    IFormWindow& m_window;
    TIniFile* m_ini = nullptr; // only during one restore or save

    // Lends the INI object of one restore or save to the window's reads and writes.
    class IniScope
    {
    public:
        IniScope(TIniFile*& slot, TIniFile& ini) : m_slot(slot) { m_slot = &ini; }
        ~IniScope() { m_slot = nullptr; }
        IniScope(const IniScope&) = delete;
        IniScope& operator=(const IniScope&) = delete;

    private:
        TIniFile*& m_slot;
    };

    // How long a save waits for another program's save of the file; right after a save waited in
    // vain, the next ones only try.
    static constexpr std::chrono::milliseconds kSaveLockWait{5000};
    static constexpr std::chrono::milliseconds kSaveLockTry{100};

private:
    void showHook();
    void closeQueryHook(bool& canClose);
    void destroyHook();
    void reportSaveFailure(std::exception_ptr error);

    TNotifyEvent m_savedOnShow;
    TCloseQueryEvent m_savedOnCloseQuery;
    TNotifyEvent m_savedOnDestroy;
    bool m_restored = false;
    bool m_saved = false;
    bool m_destroying = false;
    bool m_unwritten = false;
    // The values of the window's keys as last read or written ("section\nkey", folded to lower case);
    // nothing for a key the file did not hold. Writes of a save wait in m_pending until it succeeds.
    std::map<std::string, std::optional<std::string>> m_known;
    std::map<std::string, std::optional<std::string>> m_pending;
};
