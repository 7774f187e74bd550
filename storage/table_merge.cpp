#include "storage/table_merge.h"

#include "platform/case_fold.h"

#include <unordered_map>
#include <unordered_set>

namespace {

// The name of a line folded to lower case; a line without "=" is known only by its whole text.
std::string mergeKey(const std::string& line)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return "\n" + line;
    std::string key = line.substr(0, eq);
    for (char& c : key)
        c = static_cast<char>(platform::FoldCase(static_cast<unsigned char>(c)));
    return key;
}

// The first line of each name.
std::unordered_map<std::string, const std::string*> firstLines(const std::vector<std::string>& lines)
{
    std::unordered_map<std::string, const std::string*> first;
    for (const std::string& line : lines)
        first.emplace(mergeKey(line), &line);
    return first;
}

} // namespace

std::vector<std::string> MergeTables(const std::vector<std::string>& base,
                                     const std::vector<std::string>& ours,
                                     const std::vector<std::string>& theirs)
{
    if (theirs == base)
        return ours;
    if (ours == base)
        return theirs;
    const auto baseLines = firstLines(base);
    const auto ourLines = firstLines(ours);
    std::unordered_set<std::string> removed;
    for (const auto& [key, line] : baseLines)
        if (!ourLines.count(key))
            removed.insert(key);
    // Names the operator added or changed, with the line they now have.
    std::unordered_map<std::string, const std::string*> touched;
    for (const auto& [key, line] : ourLines) {
        const auto was = baseLines.find(key);
        if (was == baseLines.end() || *was->second != *line)
            touched.emplace(key, line);
    }

    std::vector<std::string> merged;
    merged.reserve(theirs.size() + touched.size());
    std::unordered_set<std::string> placed;
    for (const std::string& line : theirs) {
        const std::string key = mergeKey(line);
        if (removed.count(key))
            continue;
        const auto ourLine = touched.find(key);
        if (ourLine == touched.end()) {
            merged.push_back(line);
        } else if (placed.insert(key).second) {
            merged.push_back(*ourLine->second);
        }
    }
    for (const std::string& line : ours) {
        const std::string key = mergeKey(line);
        if (touched.count(key) && placed.insert(key).second)
            merged.push_back(line);
    }
    return merged;
}
