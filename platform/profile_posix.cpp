// The profile functions on POSIX, for tools and tests that set up or inspect an INI file key by key:
// every read reads the file, every write is one transaction of its own (profile_file.h).
#include "platform/profile.h"

#include "platform/blanks.h"
#include "platform/ini_document.h"
#include "platform/profile_file.h"

namespace platform {
namespace {

constexpr std::chrono::milliseconds kLockWait(5000);
constexpr int kTries = 8;

} // namespace

std::string GetPrivateProfileStringA(const char* section, const char* key, const char* def, const char* file)
{
    std::string fallback = def ? std::string(def) : std::string();
    while (!fallback.empty() && isBlank(fallback.back()))
        fallback.pop_back();
    if (!section || !key || !file || !*file)
        return fallback;
    std::string content;
    ProfileVersion version;
    if (!ReadProfile(file, content, version))
        return fallback;
    const IniDocument doc(std::move(content));
    const std::optional<std::string_view> value = doc.value(section, key);
    return value ? std::string(*value) : fallback;
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file)
{
    if (!file || !*file)
        return false;
    if (!section && !key && !value)
        return true; // every write has reached the file already
    if (!section)
        return false;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        ProfileTransaction transaction(file);
        if (transaction.Begin(kLockWait) != ProfileResult::Done)
            return false;
        IniDocument doc(transaction.Content());
        if (!key)
            doc.removeSection(section);
        else if (!value)
            doc.removeKey(section, key);
        else
            doc.setValue(section, key, value);
        if (!doc.changed())
            return true;
        ProfileVersion written;
        const ProfileResult result = transaction.Commit(doc.text(), written);
        if (result != ProfileResult::Changed)
            return result == ProfileResult::Done;
    }
    return false;
}

} // namespace platform
