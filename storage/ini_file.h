#pragma once

#include "platform/ini_document.h"
#include "platform/profile_file.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

// One INI file as one read found it, or as one transaction changes it: a document in memory with
// the reads and writes of the INI format. Nothing reaches the disk but through ChangeIniFile().
class TIniFile
{
public:
    // The file as it is now, read without waiting for any lock. A missing or unreadable file reads
    // as an empty one.
    explicit TIniFile(std::string fileName);
    // `content` as the file's bytes, read as `version`.
    TIniFile(std::string fileName, std::string content, const platform::ProfileVersion& version);

    const std::string& FileName() const { return m_fileName; }
    // What identified the file when it was read (or written).
    const platform::ProfileVersion& Version() const { return m_version; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // "0x" or "0X" followed by hex digits reads as hexadecimal, anything else as a decimal number;
    // an empty or unreadable text gives `def`.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // True when the section holds the key.
    bool HasKey(const std::string& section, const std::string& key) const;

    // Calls `visit` with the key and value of each key line of the section, in file order.
    void ForEachValue(const std::string& section,
                      const std::function<void(std::string_view key, std::string_view value)>& visit) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    // Adds `key` to a section that EraseSection() removed, or that is new, without looking for it
    // there first: for a long list written anew, each key once (WriteString otherwise).
    void AppendString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void EraseSection(const std::string& section);

    // True when a write changed the document since it was read.
    bool Changed() const { return m_doc.changed(); }

private:
    friend TIniFile ChangeIniFile(const std::string&, std::chrono::milliseconds,
                                  const std::function<void(TIniFile&)>&, bool*);

    std::string m_fileName;
    platform::IniDocument m_doc;
    platform::ProfileVersion m_version;
};

// Changes `fileName` in one transaction: takes the file's lock (waiting at most `lockWait` for
// another program's save), reads the file as it is now, lets `apply` change it, and writes it out
// when `apply` changed it. When the file changed between the read and the write (a station whose
// lock does not reach this one), all of it begins again, `apply` included, a bounded number of times.
// Returns the file as it now is. Raises EIniFileException "Unable to write to <file>" when the file
// cannot be locked, read or written; `lockBusy`, when given, tells whether the lock was the cause.
TIniFile ChangeIniFile(const std::string& fileName, std::chrono::milliseconds lockWait,
                       const std::function<void(TIniFile&)>& apply, bool* lockBusy = nullptr);

// The decimal or "0x" hexadecimal number in `text`, or `def` when there is none.
int IniTextToInt(const std::string& text, int def);
