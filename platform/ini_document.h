#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A profile (INI) file held in memory: parsed once with an index of its sections and keys, changed
// by writes, and written out again with every line that no write touched kept byte for byte. It
// knows nothing of disks: the bytes come in as a string and go out through a sink.
//
// Lines are places in the file's bytes and in the text of the writes, so a document costs little
// more than the file itself; a section's keys get a map only once it is looked up more than a few
// times.
class IniDocument
{
public:
    IniDocument();                             // an empty file
    explicit IniDocument(std::string content); // takes the file's bytes
    ~IniDocument();
    IniDocument(IniDocument&&) noexcept;
    IniDocument& operator=(IniDocument&&) noexcept;

    // The value of `key` in the first section named `section` (both without regard to ASCII case and
    // to surrounding blanks), blanks trimmed and one pair of enclosing quotes removed; nothing when
    // the section or the key is missing. The view lives until the next change of the document.
    std::optional<std::string_view> value(std::string_view section, std::string_view key) const;

    // Calls `visit` with the key and the value (as value() gives it) of each key line of the first
    // section named `section`, in file order, duplicates included.
    void forEachKey(std::string_view section,
                    const std::function<void(std::string_view key, std::string_view value)>& visit) const;

    // Each returns true when the document changed. A write keeps the spelling of an existing key and
    // changes only its value; a new key goes after the last key line of its section, a new section
    // at the end. removeSection() keeps the section's comment lines.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);
    // Adds a key line to a section this document made (after removeSection(), or new) without
    // looking for the key there first: for writing a long section anew, key after key, each key
    // once. In a section the file had it is setValue().
    bool appendValue(std::string_view section, std::string_view key, std::string_view value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    // True when a write since the document was read changed it.
    bool changed() const;

    // The file's bytes: every line ends with CR LF.
    std::string text() const;
    // The same bytes in pieces; stops at the first piece the sink refuses and returns false then.
    bool writeTo(const std::function<bool(std::string_view)>& sink) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
