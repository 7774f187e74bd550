#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What a merge needs to know of a stored list as this program last read or wrote it: for each line,
// in order, a fingerprint of its name (without regard to case) and of the whole line. It takes a
// fraction of the lines' memory, so a window can keep it beside a table of a million lines.
class TableDigest
{
public:
    static TableDigest Of(const std::vector<std::string>& lines);
    // Adds the next line.
    void Add(std::string_view line);
    // True when `lines` are the digested lines, in the same order.
    bool Matches(const std::vector<std::string>& lines) const;
    bool operator==(const TableDigest&) const = default;

    // The name's fingerprint of a line: a line without "=" is known only by its whole text.
    static std::uint64_t NameOf(std::string_view line);
    static std::uint64_t LineOf(std::string_view line);
    const std::vector<std::pair<std::uint64_t, std::uint64_t>>& Lines() const { return m_lines; }

private:
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_lines; // name, line
};

// Three-way merge of a stored list of "Name=Command" lines. A line is known by its name, compared as
// the launcher compares names, and by which line of that name it is (the first, the second ...):
// `base` is the list as this program last read or wrote it, `ours` what the operator made of it
// since, `theirs` what the file holds now. The operator's added, changed and removed lines win;
// every other line is the file's. The order is the file's, with the operator's new lines after it,
// unless the operator reordered the lines and the file kept the order both started from: then the
// operator's order stands, with the file's new lines after the line they follow in the file. When
// the file did not change since `base`, the result is `ours` as it stands; when the operator changed
// nothing, it is `theirs`.
std::vector<std::string> MergeTables(const TableDigest& base, const std::vector<std::string>& ours,
                                     const std::vector<std::string>& theirs);
inline std::vector<std::string> MergeTables(const std::vector<std::string>& base,
                                            const std::vector<std::string>& ours,
                                            const std::vector<std::string>& theirs)
{
    return MergeTables(TableDigest::Of(base), ours, theirs);
}
