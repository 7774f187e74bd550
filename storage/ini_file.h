#pragma once

#include <string>

// Access to one INI file through the profile functions. A TIniFile lives for one restore or one
// save; Release() ends it and writes out what it changed.
class TIniFile
{
public:
    explicit TIniFile(std::string fileName);
    ~TIniFile(); // releases, ignoring a failure, when Release() was not called

    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return m_fileName; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def);
    // "0x" or "0X" followed by hex digits reads as hexadecimal, anything else as a decimal number;
    // an empty or unreadable text gives `def`.
    int ReadInteger(const std::string& section, const std::string& key, int def);

    // Each raises EIniFileException "Unable to write to <file>" when the write fails.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void EraseSection(const std::string& section);

    // Writes the file out. A failure there (a full disk) raises EIniFileException like a failed write.
    void Release();

private:
    [[noreturn]] void fail() const;

    std::string m_fileName;
    bool m_released = false;
};

// The decimal or "0x" hexadecimal number in `text`, or `def` when there is none.
int IniTextToInt(const std::string& text, int def);
