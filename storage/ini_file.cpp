#include "storage/ini_file.h"

#include "core/exceptions.h"
#include "platform/profile.h"

#include <charconv>
#include <cstdint>

namespace {

const char* const kWriteFailed = "Unable to write to %s";

std::string writeFailedMessage(const std::string& file)
{
    const std::string format = kWriteFailed;
    const std::size_t at = format.find("%s");
    return format.substr(0, at) + file + format.substr(at + 2);
}

} // namespace

int IniTextToInt(const std::string& text, int def)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint32_t value = 0;
        const char* begin = text.data() + 2;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(begin, end, value, 16);
        if (ec != std::errc() || ptr != end)
            return def;
        return static_cast<int>(value);
    }
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-')
            return def;
    }
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value, 10);
    if (ec != std::errc() || ptr != end)
        return def;
    return value;
}

TIniFile::TIniFile(std::string fileName) : m_fileName(std::move(fileName)) {}

TIniFile::~TIniFile()
{
    if (!m_released)
        platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_fileName.c_str());
}

void TIniFile::fail() const
{
    throw EIniFileException(writeFailedMessage(m_fileName));
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def)
{
    return platform::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), m_fileName.c_str());
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def)
{
    return IniTextToInt(ReadString(section, key, ""), def);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (!platform::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                              m_fileName.c_str()))
        fail();
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& section)
{
    if (!platform::WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, m_fileName.c_str()))
        fail();
}

void TIniFile::Release()
{
    if (m_released)
        return;
    m_released = true;
    if (!platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_fileName.c_str()))
        fail();
}
