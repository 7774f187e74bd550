#pragma once

#include "storage/form_window.h"
#include "storage/table_merge.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TIniFile;

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

    void LoadFromIni();
    void SaveToIni();

    // Any section of the file; uses the open INI object during a restore or save, else a temporary one.
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

    // What identified the file on disk when this window last read or wrote it (see
    // platform::ProfileFileStamp()).
    std::string FileStamp;

    void ReadWindowPlacement(bool loadState, bool loadPosition);
    void WriteWindowPlacement();

    std::string screenSuffix() const; // "(<width>x<height>)" of the screen

    IFormWindow& m_window;
    TIniFile* m_ini = nullptr; // only during one restore or save

private:
    void showHook();
    void closeQueryHook(bool& canClose);
    void destroyHook();

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

// A TFormPlacement that also keeps the string-list properties named in StoredProps
// ("Component.Property"), each in a section "<IniSection>.<Component>_<Property>".
class TFormStorage : public TFormPlacement
{
public:
    explicit TFormStorage(IFormWindow& window);

    const std::vector<std::string>& StoredProps() const { return m_storedProps; }
    // Sets the list and resolves it against the window's components at once.
    void SetStoredProps(std::vector<std::string> props);

    // Takes in what changed in the file since this window last read or wrote it, when it changed:
    // one status query of the file, and a read only when its stamp moved. The stored lists are merged
    // (see MergeTables()), so what the operator changed and has not saved yet stays.
    void FollowFile();

protected:
    void SavePlacement() override;
    void RestorePlacement() override;
    void SaveWritten() override;
    virtual void SaveProperties();
    virtual void RestoreProperties();

private:
    static bool splitEntry(const std::string& entry, std::string& component, std::string& property);
    std::string listSection(const std::string& component, const std::string& property) const;
    // The string list an entry "Component.Property" names, or nullptr when it names none.
    TValueListStrings* resolveEntry(const std::string& entry, std::string& component,
                                    std::string& property) const;

    // Each stored list as this window last read or wrote it, by section.
    struct ListState
    {
        std::optional<TableDigest> base; // nothing until the list was read or written
        // What a save writes, until it succeeds: its digest, and the lines when they differ from
        // the window's (a merge).
        std::optional<TableDigest> pending;
        std::optional<std::vector<std::string>> pendingLines;
    };
    // The number of lines the file holds under `section`, or 0 when it holds no list (no positive
    // "Count", or one beyond any real table).
    int storedCount(const std::string& section);
    // The list the file holds under `section`, or nothing when it holds none.
    std::optional<std::vector<std::string>> readList(const std::string& section);
    // The digest of that list, without keeping its lines.
    std::optional<TableDigest> readDigest(const std::string& section);
    void writeList(const std::string& section, const std::vector<std::string>& lines);
    // Calls `visit` with each stored list the window has and the section that keeps it.
    void forEachList(const std::function<void(TValueListStrings&, const std::string&)>& visit);
    // Takes in the lists the file holds now: in place of the window's, or merged with them (see
    // FollowFile()).
    void takeInFile(bool merge);

    std::vector<std::string> m_storedProps;
    std::map<std::string, ListState> m_lists;
};
