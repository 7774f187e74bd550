#pragma once

// The writing half of the INI file work on POSIX, shared by profile_file_posix.cpp: descriptors,
// the advisory lock, and the three ways a new content reaches the file (a new file, a replace by
// rename, a write through the file itself).

#include "platform/profile_file.h"

#include <chrono>
#include <functional>
#include <string>

struct stat;

namespace platform {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1);

private:
    int m_fd;
};

// open(2) that never blocks on a FIFO and never passes the descriptor to a child.
int OpenFile(const std::string& path, int flags, unsigned mode = 0);

std::string FolderOf(const std::string& path);
Stamp StampOf(const struct stat& st);
Stamp StampOfPath(const std::string& target);

// True when this process may change or create `target`. A file without any write permission is
// read-only for everybody, the superuser included.
bool CanWriteFile(const std::string& target);

enum class LockTry
{
    Taken,
    Busy,
    Refused // the file system has no locks
};

// An exclusive advisory lock on `fd`: flock, or a lock of the open file description where the file
// system refuses flock. Both end when the descriptor is closed, also when a process dies.
LockTry TryLock(int fd);
// Tries until the lock is taken, refused, or `deadline` has passed.
LockTry LockBefore(int fd, std::chrono::steady_clock::time_point deadline);

// A lock that reaches every station of a network share, whose own locks may stay on one machine: a
// folder ".<name>.lock" beside the file, made by mkdir (the server decides who made it first, on
// every share) and removed when the save ends. One left by a killed save counts as gone after a
// while. A lock that cannot be made or removed (a neighbour's, in a shared folder) costs one bounded
// wait: the check before the replace still holds without it.
class ShareLock
{
public:
    ShareLock() = default;
    ~ShareLock();
    ShareLock(const ShareLock&) = delete;
    ShareLock& operator=(const ShareLock&) = delete;
    // True when it was taken before `deadline`.
    bool acquire(const std::string& target, std::chrono::steady_clock::time_point deadline);

private:
    std::string m_name;
    bool m_held = false;
};

enum class WriteResult
{
    Done,
    Changed, // the file changed before it could be replaced
    Refused, // a new file cannot keep what identifies the old one: write through it instead
    Failed
};

// Makes `target`, which did not exist, with `content`; Changed when somebody else made it first.
WriteResult CreateNewFile(const std::string& target, const ContentPieces& content,
                          const std::function<bool()>& unchanged);
// Writes `content` to a new file beside `target` with `old`'s owner, group, mode, access control
// list and extended attributes, and renames it over `target` when `unchanged()` still holds.
WriteResult ReplaceByRename(const std::string& target, const ContentPieces& content, const struct stat& old,
                            const std::function<bool()>& unchanged);
// Writes `content` (of `size` bytes, hashing to `hash`) into the file open as `fd` itself, in the two
// steps of profile_journal.h.
bool WriteThrough(int fd, const ContentPieces& content, std::uint64_t size, std::uint64_t hash);
// Does step 2 of a write-through whose record is in the file: `content` is what it means.
bool FinishWriteThrough(int fd, const std::string& content);
// Removes this user's temporary files of killed saves of `target`.
void RemoveLeftovers(const std::string& target);

} // namespace platform
