#include "storage/table_merge.h"

#include "platform/case_fold.h"

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

std::uint64_t TableDigest::NameOf(const std::string& line)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return hashOf(line) ^ kWholeLine;
    std::string name = line.substr(0, eq);
    for (char& c : name)
        c = static_cast<char>(platform::FoldCase(static_cast<unsigned char>(c)));
    return hashOf(name);
}

std::uint64_t TableDigest::LineOf(const std::string& line)
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

void TableDigest::Add(const std::string& line)
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

std::vector<std::string> MergeTables(const TableDigest& base, const std::vector<std::string>& ours,
                                     const std::vector<std::string>& theirs)
{
    if (base.Matches(theirs))
        return ours;
    if (base.Matches(ours))
        return theirs;
    // The first line of each name.
    std::unordered_map<std::uint64_t, std::uint64_t> baseLines;
    for (const auto& [name, line] : base.Lines())
        baseLines.emplace(name, line);
    std::unordered_map<std::uint64_t, const std::string*> ourLines;
    for (const std::string& line : ours)
        ourLines.emplace(TableDigest::NameOf(line), &line);
    std::unordered_set<std::uint64_t> removed;
    for (const auto& [name, line] : baseLines)
        if (!ourLines.count(name))
            removed.insert(name);
    // Names the operator added or changed, with the line they now have.
    std::unordered_map<std::uint64_t, const std::string*> touched;
    for (const auto& [name, line] : ourLines) {
        const auto was = baseLines.find(name);
        if (was == baseLines.end() || was->second != TableDigest::LineOf(*line))
            touched.emplace(name, line);
    }

    std::vector<std::string> merged;
    merged.reserve(theirs.size() + touched.size());
    std::unordered_set<std::uint64_t> placed;
    for (const std::string& line : theirs) {
        const std::uint64_t name = TableDigest::NameOf(line);
        if (removed.count(name))
            continue;
        const auto ourLine = touched.find(name);
        if (ourLine == touched.end())
            merged.push_back(line);
        else if (placed.insert(name).second)
            merged.push_back(*ourLine->second);
    }
    for (const std::string& line : ours) {
        const std::uint64_t name = TableDigest::NameOf(line);
        if (touched.count(name) && placed.insert(name).second)
            merged.push_back(line);
    }
    return merged;
}
