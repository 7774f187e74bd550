#pragma once

#include <string>
#include <string_view>

// Blanks in the profile format and in stored values are spaces and tabs.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The text without leading and trailing blanks.
inline std::string_view trimmedView(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

inline std::string trimmed(std::string_view text)
{
    return std::string(trimmedView(text));
}
