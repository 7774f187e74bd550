#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The entries of a list such as PATH (':') or QT_QPA_PLATFORM (';'), in order, empty ones included.
inline std::vector<std::string> SplitPathList(std::string_view list, char separator = ':')
{
    std::vector<std::string> entries;
    for (std::size_t at = 0;;) {
        const std::size_t end = std::min(list.find(separator, at), list.size());
        entries.emplace_back(list.substr(at, end - at));
        if (end == list.size())
            return entries;
        at = end + 1;
    }
}

} // namespace platform
