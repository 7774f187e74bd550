// The profile functions on POSIX: a parsed copy of each file between two flushes, read again when the
// file changed on disk, and written out at a flush (see profile_file_posix.cpp for the file work).
// The content itself is an IniDocument.
#include "platform/profile.h"

#include "platform/blanks.h"
#include "platform/ini_document.h"
#include "platform/native_path.h"
#include "platform/profile_file.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

// The name under which the file system knows `file`. Paths reach this layer as 8-bit text.
std::string nativeName(const char* file)
{
    return NativeFileName(file);
}

// The layer's state for one file between two flushes.
struct Profile
{
    std::optional<IniDocument> doc;
    Stamp stamp;
    bool checked = false;  // compared with the disk since the last flush
    bool writable = false; // known to be writable since the last flush
};

std::mutex g_mutex;
std::unordered_map<std::string, Profile> g_profiles;

// The file's parsed copy, read again when the file changed on disk since it was read.
Profile& profileOf(const std::string& path)
{
    Profile& profile = g_profiles[path];
    if (profile.checked)
        return profile;
    const std::string target = ResolveProfileLinks(path);
    if (!(ProfileFileStampOf(target) == profile.stamp) || !profile.doc) {
        std::string content;
        Stamp stamp;
        ReadProfileFile(target, content, stamp);
        profile.doc.emplace(std::move(content));
        profile.stamp = stamp;
    }
    profile.checked = true;
    return profile;
}

bool flush(const std::string& path)
{
    const auto it = g_profiles.find(path);
    if (it == g_profiles.end())
        return true;
    Profile& profile = it->second;
    profile.checked = false;
    profile.writable = false;
    // Between flushes nothing is held: the next access reads the file again (after a failed save
    // the copy matches no file anyway).
    std::optional<IniDocument> doc = std::move(profile.doc);
    profile.doc.reset();
    if (!doc || !doc->hasJournal())
        return true;
    return WriteProfileFile(ResolveProfileLinks(path), *doc, profile.stamp);
}

} // namespace

std::string GetPrivateProfileStringA(const char* section, const char* key, const char* def, const char* file)
{
    std::string fallback = def ? std::string(def) : std::string();
    while (!fallback.empty() && isBlank(fallback.back()))
        fallback.pop_back();
    if (!section || !key || !file || !*file)
        return fallback;
    const std::lock_guard<std::mutex> guard(g_mutex);
    Profile& profile = profileOf(nativeName(file));
    const std::optional<std::string_view> value = profile.doc->value(section, key);
    return value ? std::string(*value) : fallback;
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file)
{
    if (!file)
        return false;
    const std::lock_guard<std::mutex> guard(g_mutex);
    const std::string path = nativeName(file);
    if (!section && !key && !value)
        return flush(path);
    if (!section || path.empty())
        return false;
    // A write that could never be saved within the size bound fails at once.
    const std::size_t size =
        std::strlen(section) + (key ? std::strlen(key) : 0) + (value ? std::strlen(value) : 0);
    if (size > static_cast<std::size_t>(kMaxProfileFileSize))
        return false;
    Profile& profile = profileOf(path);
    if (!profile.writable) {
        if (!CanWriteProfileFile(ResolveProfileLinks(path)))
            return false;
        profile.writable = true;
    }
    if (!key)
        profile.doc->removeSection(section);
    else if (!value)
        profile.doc->removeKey(section, key);
    else
        profile.doc->setValue(section, key, value);
    return true;
}

std::string ProfileFileStamp(const char* file)
{
    if (!file || !*file)
        return {};
    const Stamp stamp = ProfileFileStampOf(ResolveProfileLinks(nativeName(file)));
    if (!stamp.exists)
        return {};
    return std::to_string(stamp.dev) + ":" + std::to_string(stamp.ino) + ":" + std::to_string(stamp.size) +
           ":" + std::to_string(stamp.mtimeNs) + ":" + std::to_string(stamp.ctimeNs);
}

} // namespace platform
