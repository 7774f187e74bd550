#include "storage/table_merge.h"

#include "platform/locale.h"

#include <algorithm>

#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

// Keeps the fingerprints of a name and of a line apart, so that a line "x" without "=" and a name
// "x" never meet.
constexpr std::uint64_t kWholeLine = 0x9e3779b97f4a7c15ULL;

std::uint64_t hashOf(std::string_view text)
{
    return std::hash<std::string_view>{}(text);
}

} // namespace

std::uint64_t TableDigest::NameOf(std::string_view line)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return hashOf(line) ^ kWholeLine;
    // The launcher's meaning of "the same name": its compare, sharp s as "ss" included.
    return hashOf(platform::CompareKeyA(platform::LOCALE_USER_DEFAULT, std::string(line.substr(0, eq))));
}

std::uint64_t TableDigest::LineOf(std::string_view line)
{
    return hashOf(line);
}

TableDigest TableDigest::Of(const std::vector<std::string>& lines)
{
    TableDigest digest;
    digest.m_lines.reserve(lines.size());
    for (const std::string& line : lines)
        digest.Add(line);
    return digest;
}

void TableDigest::Add(std::string_view line)
{
    m_lines.emplace_back(NameOf(line), LineOf(line));
}

bool TableDigest::Matches(const std::vector<std::string>& lines) const
{
    if (lines.size() != m_lines.size())
        return false;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (m_lines[i].second != LineOf(lines[i]))
            return false;
    return true;
}

namespace {

// A line's identity in a table: its name and which line of that name it is (the first, the
// second ...), so that an edit of the second of two lines of one name lands on the second.
std::vector<std::uint64_t> identities(const std::vector<std::uint64_t>& names)
{
    std::unordered_map<std::uint64_t, std::uint64_t> seen;
    std::vector<std::uint64_t> ids;
    ids.reserve(names.size());
    for (const std::uint64_t name : names)
        ids.push_back(name ^ (seen[name]++ * 0x9e3779b97f4a7c15ULL));
    return ids;
}

std::vector<std::uint64_t> namesOf(const std::vector<std::string>& lines)
{
    std::vector<std::uint64_t> names;
    names.reserve(lines.size());
    for (const std::string& line : lines)
        names.push_back(TableDigest::NameOf(line));
    return names;
}

// The identities of `ids` that `other` holds too, in the order of `ids`.
std::vector<std::uint64_t> common(const std::vector<std::uint64_t>& ids,
                                  const std::unordered_map<std::uint64_t, std::size_t>& other)
{
    std::vector<std::uint64_t> out;
    for (const std::uint64_t id : ids)
        if (other.count(id))
            out.push_back(id);
    return out;
}

std::unordered_map<std::uint64_t, std::size_t> indexOf(const std::vector<std::uint64_t>& ids)
{
    std::unordered_map<std::uint64_t, std::size_t> index;
    for (std::size_t i = 0; i < ids.size(); ++i)
        index.emplace(ids[i], i);
    return index;
}

} // namespace

std::vector<std::string> MergeTables(const TableDigest& base, const std::vector<std::string>& ours,
                                     const std::vector<std::string>& theirs)
{
    if (base.Matches(theirs))
        return ours;
    if (base.Matches(ours))
        return theirs;
    std::vector<std::uint64_t> baseNames;
    baseNames.reserve(base.Lines().size());
    for (const auto& [name, line] : base.Lines())
        baseNames.push_back(name);
    const std::vector<std::uint64_t> baseIds = identities(baseNames);
    const std::vector<std::uint64_t> ourIds = identities(namesOf(ours));
    const std::vector<std::uint64_t> theirIds = identities(namesOf(theirs));
    const auto inBase = indexOf(baseIds);
    const auto inOurs = indexOf(ourIds);
    const auto inTheirs = indexOf(theirIds);

    // The lines the operator added or changed.
    const auto touched = [&](std::uint64_t id) {
        const auto was = inBase.find(id);
        const auto now = inOurs.find(id);
        return now != inOurs.end() && (was == inBase.end() || base.Lines()[was->second].second !=
                                                                  TableDigest::LineOf(ours[now->second]));
    };
    const auto removedByUs = [&](std::uint64_t id) { return inBase.count(id) && !inOurs.count(id); };

    std::vector<std::string> merged;
    merged.reserve(theirs.size() + ours.size());
    std::unordered_set<std::uint64_t> placed;
    // An operator's new order stands where the file kept the order both started from; otherwise
    // the file's order does, and the operator's new lines follow it.
    const bool fileKeptOrder = common(theirIds, inBase) == common(baseIds, inTheirs);
    const bool weReordered = common(ourIds, inBase) != common(baseIds, inOurs);
    if (fileKeptOrder && weReordered) {
        // The file's new lines come after the line they follow in the file.
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> after;
        std::vector<std::size_t> atStart;
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            if (inBase.count(theirIds[i]) || inOurs.count(theirIds[i]))
                continue;
            (i == 0 ? atStart : after[theirIds[i - 1]]).push_back(i);
        }
        const auto placeNew = [&](const std::vector<std::size_t>& lines) {
            for (const std::size_t i : lines)
                if (placed.insert(theirIds[i]).second)
                    merged.push_back(theirs[i]);
        };
        placeNew(atStart);
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const std::uint64_t id = ourIds[i];
            const auto theirLine = inTheirs.find(id);
            if (touched(id))
                merged.push_back(ours[i]);
            else if (theirLine != inTheirs.end())
                merged.push_back(theirs[theirLine->second]);
            else
                continue; // the file removed it and the operator did not change it
            placed.insert(id);
            if (const auto next = after.find(id); next != after.end())
                placeNew(next->second);
        }
        // New lines of the file whose line before them is gone.
        for (std::size_t i = 0; i < theirs.size(); ++i)
            if (!inBase.count(theirIds[i]) && !inOurs.count(theirIds[i]) && placed.insert(theirIds[i]).second)
                merged.push_back(theirs[i]);
        return merged;
    }
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        const std::uint64_t id = theirIds[i];
        if (removedByUs(id) || !placed.insert(id).second)
            continue;
        merged.push_back(touched(id) ? ours[inOurs.at(id)] : theirs[i]);
    }
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (touched(ourIds[i]) && placed.insert(ourIds[i]).second)
            merged.push_back(ours[i]);
    return merged;
}
