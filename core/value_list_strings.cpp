#include "core/value_list_strings.h"

#include "core/exceptions.h"
#include "platform/locale.h"

std::size_t TValueListStrings::checked(int index, int end)
{
    if (index < 0 || index >= end)
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return static_cast<std::size_t>(index);
}

std::string TValueListStrings::Names(int index) const
{
    const std::string& line = Get(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TValueListStrings::ValueFromIndex(int index) const
{
    const std::string& line = Get(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(eq + 1);
}

int TValueListStrings::IndexOfName(const std::string& key) const
{
    const unsigned flags = m_caseSensitive ? 0 : platform::NORM_IGNORECASE;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const std::string& line = m_lines[i];
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (platform::CompareStringA(platform::LOCALE_USER_DEFAULT, flags, line.data(), static_cast<int>(eq),
                                     key.data(), static_cast<int>(key.size())) == platform::CSTR_EQUAL)
            return static_cast<int>(i);
    }
    return -1;
}

void TValueListStrings::Put(int index, std::string line)
{
    m_lines[checked(index, Count())] = std::move(line);
    changed();
}

void TValueListStrings::Add(std::string line)
{
    m_lines.push_back(std::move(line));
    changed();
}

void TValueListStrings::Insert(int index, std::string line)
{
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(checked(index, Count() + 1)),
                   std::move(line));
    changed();
}

void TValueListStrings::Delete(int index)
{
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(checked(index, Count())));
    changed();
}

void TValueListStrings::Clear()
{
    m_lines.clear();
    changed();
}

void TValueListStrings::Assign(std::vector<std::string> lines)
{
    m_lines = std::move(lines);
    changed();
}

void TValueListStrings::changed()
{
    if (m_onChange)
        m_onChange();
}

std::string ValueOfKey(const TValueListStrings& strings, const std::string& key)
{
    const int index = strings.IndexOfName(key);
    return index < 0 ? std::string() : strings.ValueFromIndex(index);
}

bool FindKeyRow(const TValueListStrings& strings, const std::string& key, int& row)
{
    const int index = strings.IndexOfName(key);
    if (index < 0)
        return false;
    row = index + 1;
    return true;
}
