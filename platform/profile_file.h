#pragma once

// The INI file on disk: reading it as it is now, and changing it in one transaction. A transaction
// locks the file, reads it, and replaces it with new content only when the file is still what it
// read; a lock is a help (it keeps stations of one machine in line), never the only guarantee,
// since many network shares do not pass locks between their clients.
//
// Names are the program's 8-bit file names (see native_path.h); a name that is a symbolic link
// stands for the file it points to, and the link stays.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

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

// The file as one read found it.
struct ProfileVersion
{
    Stamp stamp;
    // When the read began, on the clock of file times. A file whose time is not well before this
    // may change again without any change of its stamp (file systems with whole-second times and
    // fixed inode numbers): its stamp alone proves nothing (see StampSettled()).
    std::int64_t readAtNs = 0;
    std::uint64_t hash = 0; // of the content
};

// What identifies the file `file` names now. One status query.
Stamp ProfileStampOf(const std::string& file);

// True when `version`'s stamp alone tells that the file did not change: the file was last written
// well before it was read.
bool StampSettled(const ProfileVersion& version);

// The hash that ProfileVersion keeps of a content.
std::uint64_t ProfileHash(const std::string& content);

// Reads the file as it is now, never waiting for a lock: empty content for a missing file. A save
// that wrote through the file and was killed halfway is read as the content it meant to write (or
// the one before), and repaired where this process may. False when the file exists but cannot be
// read (then `content` is empty).
bool ReadProfile(const std::string& file, std::string& content, ProfileVersion& version);

// A content handed out in pieces: it gives each piece to `sink` in order and returns false at the
// first piece the sink refuses. It can be asked for its pieces more than once.
using ContentPieces = std::function<bool(const std::function<bool(std::string_view)>& sink)>;

enum class ProfileResult
{
    Done,
    Busy,    // another program held the lock for the whole wait
    Changed, // the file changed since Begin() read it: begin again
    Failed   // cannot be read or written
};

// One change of the file. Begin() locks and reads it, Commit() writes the new content; the lock
// ends with the object.
class ProfileTransaction
{
public:
    explicit ProfileTransaction(const std::string& file);
    ~ProfileTransaction();
    ProfileTransaction(const ProfileTransaction&) = delete;
    ProfileTransaction& operator=(const ProfileTransaction&) = delete;

    // Takes the file's lock, waiting at most `wait` for another program's save, and reads the file
    // as it is now (empty content when it does not exist). A file whose name is missing for an
    // instant (another station renaming it into place) is looked for again, never created to lock it.
    ProfileResult Begin(std::chrono::milliseconds wait);
    const std::string& Content() const;
    // Hands the content over, leaving none.
    std::string TakeContent();

    // Replaces the file's content by `content`, unless the file is no longer what Begin() read.
    // The file keeps its owner, group, mode, access control list, extended attributes and hard
    // links; where a new file could not be given all of them it is written through, so that a
    // save killed halfway is repaired by the next read or save through any name of the file.
    // The version written is `written`.
    ProfileResult Commit(const ContentPieces& content, ProfileVersion& written);
    ProfileResult Commit(const std::string& content, ProfileVersion& written);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
