#include "storage/ini_file.h"

#include "core/exceptions.h"
#include "platform/blanks.h"

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

// How often a save begins again when the file changed between its read and its write.
constexpr int kTransactionTries = 8;

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

TIniFile::TIniFile(std::string fileName) : m_fileName(std::move(fileName))
{
    std::string content;
    if (platform::ReadProfile(m_fileName, content, m_version))
        m_doc = platform::IniDocument(std::move(content));
}

TIniFile::TIniFile(std::string fileName, std::string content, const platform::ProfileVersion& version)
    : m_fileName(std::move(fileName)), m_doc(std::move(content)), m_version(version)
{}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
    const std::optional<std::string_view> value = m_doc.value(section, key);
    if (value)
        return std::string(*value);
    std::string fallback = def;
    while (!fallback.empty() && isBlank(fallback.back()))
        fallback.pop_back();
    return fallback;
}

bool TIniFile::HasKey(const std::string& section, const std::string& key) const
{
    return m_doc.value(section, key).has_value();
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    return IniTextToInt(ReadString(section, key, ""), def);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    m_doc.setValue(section, key, value);
}

void TIniFile::ForEachValue(const std::string& section,
                            const std::function<void(std::string_view, std::string_view)>& visit) const
{
    m_doc.forEachKey(section, visit);
}

void TIniFile::AppendString(const std::string& section, const std::string& key, const std::string& value)
{
    m_doc.appendValue(section, key, value);
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
    m_doc.removeSection(section);
}

TIniFile ChangeIniFile(const std::string& fileName, std::chrono::milliseconds lockWait,
                       const std::function<void(TIniFile&)>& apply, bool* lockBusy)
{
    if (lockBusy)
        *lockBusy = false;
    for (int attempt = 0; attempt < kTransactionTries; ++attempt) {
        platform::ProfileTransaction transaction(fileName);
        const platform::ProfileResult begun = transaction.Begin(lockWait);
        if (lockBusy)
            *lockBusy = begun == platform::ProfileResult::Busy;
        if (begun != platform::ProfileResult::Done)
            break;
        const std::uint64_t readHash = platform::ProfileHash(transaction.Content());
        TIniFile ini(fileName, transaction.TakeContent(), {});
        apply(ini);
        if (!ini.Changed()) {
            ini.m_version.stamp = platform::ProfileStampOf(fileName);
            ini.m_version.hash = readHash;
            return ini;
        }
        // Written piece by piece: the document is not copied into one string first.
        const platform::ProfileResult result =
            transaction.Commit([&ini](const auto& sink) { return ini.m_doc.writeTo(sink); }, ini.m_version);
        if (result == platform::ProfileResult::Done)
            return ini;
        if (result != platform::ProfileResult::Changed)
            break;
    }
    throw EIniFileException(writeFailedMessage(fileName));
}
