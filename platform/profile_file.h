#pragma once

// The file work under the POSIX profile functions, one home for it: the cache in profile_posix.cpp
// sits on top. Reads never block and never see half a save; writes replace or write through the
// file under a lock on the file itself, so that every name of it meets the same lock.

#include <cstdint>
#include <string>

namespace platform {

class IniDocument;

// A file above this size is no profile this program wrote: the largest table the form storage
// accepts (1,048,576 lines) takes some 70 MB. Such a file reads as missing and is never written.
constexpr std::int64_t kMaxProfileFileSize = std::int64_t(1) << 30;

// What identifies one version of a file on disk.
struct Stamp
{
    bool exists = false;
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp ProfileFileStampOf(const std::string& path);

// The file that `path` names once the symbolic links at its end are followed, so that a save
// replaces the file a link points to and the link stays.
std::string ResolveProfileLinks(const std::string& path);

// True when this process may change or create `target`.
bool CanWriteProfileFile(const std::string& target);

// What `target` holds now, as `stamp` identifies it; empty when it is missing or no regular file.
// A killed write-through of it is repaired on the way where this process may.
void ReadProfileFile(const std::string& target, std::string& content, Stamp& stamp);

// Writes `doc` out to `target` under the file's lock: what another process wrote since the version
// `readStamp` is read again and the document's writes are applied on top of it (IniDocument::rebase).
bool WriteProfileFile(const std::string& target, IniDocument& doc, const Stamp& readStamp);

} // namespace platform
