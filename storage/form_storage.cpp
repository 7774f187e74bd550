#include "storage/form_storage.h"

#include "core/value_list_strings.h"
#include "platform/blanks.h"
#include "platform/memory.h"
#include "storage/ini_file.h"

namespace {

const char* const kCount = "Count";
constexpr int kMaxStoredLines = 1 << 20;

} // namespace

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
    takeInFile(TakeIn::Saved);
}

int TFormStorage::storedCount(const std::string& section)
{
    const int count = IniTextToInt(trimmed(m_ini->ReadString(section, kCount, "0")), 0);
    return count <= 0 || count > kMaxStoredLines ? 0 : count;
}

namespace {

// The n of a key "Item<n>" (any letter case, n written as a count writes it), when n < count; else -1.
int itemNumber(std::string_view key, int count)
{
    constexpr std::string_view kItem = "item";
    if (key.size() <= kItem.size() || key.size() > kItem.size() + 9)
        return -1;
    for (std::size_t i = 0; i < kItem.size(); ++i)
        if ((key[i] | 0x20) != kItem[i])
            return -1;
    const std::string_view digits = key.substr(kItem.size());
    if (digits.size() > 1 && digits[0] == '0')
        return -1;
    int n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n < count ? n : -1;
}

} // namespace

std::vector<std::string_view> TFormStorage::itemValues(const std::string& section, int count) const
{
    // Views into the document point somewhere even when empty: a view without data is a key not seen.
    std::vector<std::string_view> values(static_cast<std::size_t>(count));
    // One pass over the section, as a read of each key would find it: the first line of a key counts.
    m_ini->ForEachValue(section, [&](std::string_view key, std::string_view value) {
        const int n = itemNumber(key, count);
        if (n >= 0 && values[static_cast<std::size_t>(n)].data() == nullptr)
            values[static_cast<std::size_t>(n)] = value;
    });
    return values;
}

std::optional<std::vector<std::string>> TFormStorage::readList(const std::string& section)
{
    const int count = storedCount(section);
    if (count == 0)
        return std::nullopt;
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (const std::string_view value : itemValues(section, count))
        lines.emplace_back(value);
    return lines;
}

std::optional<TableDigest> TFormStorage::readDigest(const std::string& section)
{
    const int count = storedCount(section);
    if (count == 0)
        return std::nullopt;
    TableDigest digest;
    for (const std::string_view value : itemValues(section, count))
        digest.Add(value);
    return digest;
}

void TFormStorage::writeList(const std::string& section, const std::vector<std::string>& lines)
{
    m_ini->EraseSection(section);
    if (lines.empty())
        return;
    m_ini->AppendString(section, kCount, std::to_string(lines.size()));
    for (std::size_t i = 0; i < lines.size(); ++i)
        m_ini->AppendString(section, "Item" + std::to_string(i), QuotedForIni(lines[i]));
}

void TFormStorage::SaveProperties()
{
    forEachList([this](TValueListStrings& strings, const std::string& section) {
        const ListState& state = m_lists[section];
        const std::vector<std::string>& ours = strings.Lines();
        // The file's list as it is now, under the lock.
        const std::optional<TableDigest> theirs = readDigest(section);
        // A list the operator did not change leaves the file's as it is, whatever that is now, also
        // none; only a file that never had one gets the window's (the first run).
        if (state.base && state.base->Matches(ours)) {
            if (!theirs && !state.fromFile)
                writeList(section, ours);
            return;
        }
        if (theirs && theirs->Matches(ours))
            return;
        // The operator's edits, taken against the list the window last read, applied to the file's.
        if (state.base && theirs && !(*theirs == *state.base))
            writeList(section, MergeTables(*state.base, ours, *readList(section)));
        else
            writeList(section, ours);
    });
}

void TFormStorage::takeInFile(TakeIn how)
{
    forEachList([this, how](TValueListStrings& strings, const std::string& section) {
        std::optional<TableDigest> theirs = readDigest(section);
        ListState& state = m_lists[section];
        // A file without the list leaves the window's as it is; what the operator changes of it from
        // then on is what a save merges with a list the file may have by then.
        if (!theirs) {
            if (!state.base || how != TakeIn::Follow) {
                state.base = TableDigest::Of(strings.Lines());
                state.fromFile = state.fromFile && how == TakeIn::Saved;
            }
            return;
        }
        const bool merge = how == TakeIn::Follow || (how == TakeIn::Restore && Unwritten());
        if (merge && state.base && !state.base->Matches(strings.Lines())) {
            // Edits the file has not received yet (a save that failed, or one still to come) stay.
            std::vector<std::string> merged = MergeTables(*state.base, strings.Lines(), *readList(section));
            if (merged != strings.Lines())
                strings.Assign(std::move(merged));
        } else if (!theirs->Matches(strings.Lines())) {
            strings.Assign(std::move(*readList(section)));
        }
        state.base = std::move(theirs);
        state.fromFile = true;
    });
}

void TFormStorage::RestoreProperties()
{
    takeInFile(TakeIn::Restore);
}

void TFormStorage::FollowFile()
{
    // An open window is never changed under the operator's hands: it merges when it closes.
    if (!Active || !Restored() || m_window.Visible())
        return;
    if (platform::ProfileStampOf(IniFileName) == FileVersion.stamp && platform::StampSettled(FileVersion))
        return;
    // The stamp moved, or cannot tell: compare what the file holds.
    {
        TIniFile ini(IniFileName);
        const bool same = ini.Version().stamp == FileVersion.stamp && ini.Version().hash == FileVersion.hash;
        FileVersion = ini.Version();
        if (same)
            return;
        const IniScope scope(m_ini, ini);
        takeInFile(TakeIn::Follow);
    }
    platform::ReturnFreedMemory();
}
