#pragma once

#include "storage/form_placement.h"
#include "storage/table_merge.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // one status query of the file, and a read only when its stamp moved or cannot tell (a file
    // written within the file system's time granularity of the last read). It never waits for a
    // lock. The stored lists are merged (see MergeTables()), so what the operator changed and has
    // not saved yet stays, also after a save that failed.
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
        bool fromFile = false;           // the base is the file's list, not the window's own
    };
    // The number of lines the file holds under `section`, or 0 when it holds no list (no positive
    // "Count", or one beyond any real table).
    int storedCount(const std::string& section);
    // The list the file holds under `section`, or nothing when it holds none.
    // The values of the keys "Item0" to "Item<count - 1>", "" for a missing one; views into m_ini,
    // valid until it changes.
    std::vector<std::string_view> itemValues(const std::string& section, int count) const;
    std::optional<std::vector<std::string>> readList(const std::string& section);
    // The digest of that list, without keeping its lines.
    std::optional<TableDigest> readDigest(const std::string& section);
    void writeList(const std::string& section, const std::vector<std::string>& lines);
    // Calls `visit` with each stored list the window has and the section that keeps it.
    void forEachList(const std::function<void(TValueListStrings&, const std::string&)>& visit);
    enum class TakeIn
    {
        Restore, // the file's lists replace the window's
        Follow,  // merged with what the operator changed (see FollowFile())
        Saved    // the lists a save left in the file
    };
    // Takes in the lists the file holds now.
    void takeInFile(TakeIn how);

    std::vector<std::string> m_storedProps;
    std::map<std::string, ListState> m_lists;
};
