#pragma once

#include <functional>
#include <string>
#include <vector>

// The launch table: an ordered, unsorted list of 8-bit Windows-1252 lines "Name=Command". A line is
// split at its first "="; nothing is trimmed, duplicates are allowed, and a line without "=" has no
// name. This list is the table's only copy in the program: the settings editor shows it, the
// launcher reads it at every press, and the form storage saves and replaces it.
class TValueListStrings
{
public:
    using ChangeHandler = std::function<void()>;

    TValueListStrings() = default;
    explicit TValueListStrings(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

    int Count() const { return static_cast<int>(m_lines.size()); }
    // Get, Put, Insert and Delete raise EListError (core/exceptions.h) for an index outside the list.
    const std::string& Get(int index) const { return m_lines[checked(index, Count())]; }
    const std::vector<std::string>& Lines() const { return m_lines; }

    // The name is the text before the first "=", empty for a line without "=".
    std::string Names(int index) const;
    // The value is the text after the first "=", the whole line for a line without "=".
    std::string ValueFromIndex(int index) const;
    // Index of the first line whose name equals the key (case ignored unless CaseSensitive), or -1.
    // Lines without "=" are never found.
    int IndexOfName(const std::string& key) const;

    // Each of these changes the list and then tells the change handler.
    void Put(int index, std::string line);
    void Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear();
    void Assign(std::vector<std::string> lines);

    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool on) { m_caseSensitive = on; }

    // Called after every change, e.g. so that the editor showing the list refreshes its rows.
    void SetOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }

private:
    static std::size_t checked(int index, int end); // the index when it is below end
    void changed();

    std::vector<std::string> m_lines;
    bool m_caseSensitive = false;
    ChangeHandler m_onChange;
};

// The command entry of the first line whose name matches the key, or "" when none does.
std::string ValueOfKey(const TValueListStrings& strings, const std::string& key);

// The grid row (line index + 1, below the title row) of the first line whose name matches the key.
bool FindKeyRow(const TValueListStrings& strings, const std::string& key, int& row);
