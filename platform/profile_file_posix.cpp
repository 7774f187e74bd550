// The file work of the profile functions on POSIX: which file a name stands for, reading it without
// ever blocking, the advisory lock on the file, and writing it out so that a crash never leaves it
// half written and the file keeps what identifies it (links, owner, group, mode, access control
// lists, extended attributes). The cache of parsed files is profile_posix.cpp.
#include "platform/profile_file.h"

#include "platform/ini_document.h"

#include <acl/libacl.h>
#include <algorithm>
#include <attr/libattr.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

constexpr off_t kMaxFileSize = kMaxProfileFileSize;

// How long a save waits for another process's save of the same file before it reports a failure.
constexpr std::chrono::milliseconds kLockWait(5000);
// Temporary files of saves: ".<name>.save0" to ".<name>.save7" beside the file.
constexpr int kTempSlots = 8;

Stamp stampOf(const struct stat& st)
{
    Stamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    return s;
}

Stamp stampOfPath(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return stampOf(st);
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// ".<name><suffix>" in the folder of `path`.
std::string besideName(const std::string& path, const std::string& suffix)
{
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = folderOf(path);
    return (folder == "/" ? std::string("/") : folder + "/") + "." + base + suffix;
}

// The file that `path` names once the symbolic links at its end are followed, so that a save
// replaces the file a link points to and the link stays. A dangling link gives the file it would
// point to; a loop gives a link, which is never written.
std::string resolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char target[PATH_MAX];
        const ssize_t size = ::readlink(current.c_str(), target, sizeof target);
        if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target)
            return current;
        const std::string next(target, static_cast<std::size_t>(size));
        current = next[0] == '/' ? next : folderOf(current) + "/" + next;
    }
    return current;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Copies all of `from` into `to` from the start and cuts `to` there; memory stays small.
bool copyInto(int from, int to)
{
    if (::lseek(from, 0, SEEK_SET) != 0 || ::lseek(to, 0, SEEK_SET) != 0)
        return false;
    char buffer[65536];
    off_t total = 0;
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (!writeAll(to, buffer, static_cast<std::size_t>(got)))
            return false;
        total += got;
    }
    return ::ftruncate(to, total) == 0 && ::fsync(to) == 0;
}

// Writes the document from the start of `fd`, cuts the file there and flushes it to disk.
bool writeDocument(int fd, const IniDocument& doc)
{
    off_t total = 0;
    const bool ok = doc.writeTo([&](std::string_view piece) {
        total += static_cast<off_t>(piece.size());
        return writeAll(fd, piece.data(), piece.size());
    });
    return ok && ::ftruncate(fd, total) == 0 && ::fsync(fd) == 0;
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

int openFile(const std::string& path, int flags, mode_t mode = 0)
{
    for (;;) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

enum class LockTry
{
    Taken,
    Busy,
    Refused
};

// An advisory lock on `fd`, exclusive or shared: flock, or a lock of the open file description
// where the file system refuses flock. Both end when the descriptor is closed, also when a process
// dies.
LockTry tryLock(int fd, bool shared = false)
{
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0)
        return LockTry::Taken;
    if (errno == EWOULDBLOCK || errno == EINTR)
        return LockTry::Busy;
    struct flock range = {};
    range.l_type = shared ? F_RDLCK : F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &range) == 0)
        return LockTry::Taken;
    if (errno == EAGAIN || errno == EACCES || errno == EINTR)
        return LockTry::Busy;
    return LockTry::Refused;
}

// Tries `lock` until it is taken, refused or `deadline` has passed, pausing between tries.
LockTry lockBefore(int fd, bool shared, std::chrono::steady_clock::time_point deadline)
{
    long pauseUs = 500;
    for (;;) {
        const LockTry result = tryLock(fd, shared);
        if (result != LockTry::Busy || std::chrono::steady_clock::now() >= deadline)
            return result;
        const timespec pause{0, pauseUs * 1000};
        ::nanosleep(&pause, nullptr);
        pauseUs = pauseUs < 50000 ? pauseUs * 2 : pauseUs;
    }
}

// The files whose lock another process held past a whole wait, and when. The saves and reads that
// follow at once (the other window of the same close, say) do not wait for it again, so that one
// close waits once.
std::mutex g_lockGaveUpMutex;
std::unordered_map<std::string, std::chrono::steady_clock::time_point> g_lockGaveUp;

// How long to wait for the lock of `target` now.
std::chrono::milliseconds lockWaitFor(const std::string& target)
{
    const std::lock_guard<std::mutex> guard(g_lockGaveUpMutex);
    const auto gaveUp = g_lockGaveUp.find(target);
    if (gaveUp != g_lockGaveUp.end() && std::chrono::steady_clock::now() - gaveUp->second < 2 * kLockWait)
        return std::chrono::milliseconds(0);
    return kLockWait;
}

void noteLockResult(const std::string& target, bool taken)
{
    const std::lock_guard<std::mutex> guard(g_lockGaveUpMutex);
    if (taken)
        g_lockGaveUp.erase(target);
    else
        g_lockGaveUp[target] = std::chrono::steady_clock::now();
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Serialises the saves of one file among processes while the file is read again and written. The
// lock is on the file itself, so every writer meets it whatever name leads there (a symbolic link,
// a hard link in another folder) and whatever it may do in the folder; readers take it shared
// while they read (see readRegular()). A save that replaces the file by a rename leaves the lock on
// the old file: a writer that was waiting finds, once it holds the lock, that the name leads to
// another file and locks that one. A missing file is made, empty, to be locked. The wait is
// bounded, so that the program stays responsive to a termination request; without a lock there is
// no save.
class ProfileLock
{
public:
    // Tries for at most `wait`.
    bool acquire(const std::string& target, std::chrono::milliseconds wait)
    {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            struct stat st;
            const bool existed = ::lstat(target.c_str(), &st) == 0;
            m_fd.reset(openFile(target, O_RDWR | O_CREAT | O_NOFOLLOW, 0666));
            if (!m_fd.valid() || ::fstat(m_fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
                m_fd.reset();
                return false;
            }
            m_made = !existed;
            m_target = target;
            const LockTry result = lockBefore(m_fd.get(), false, deadline);
            struct stat now;
            if (result == LockTry::Taken && ::lstat(target.c_str(), &now) == 0 && sameFile(now, st))
                return true;
            m_fd.reset();
            if (result != LockTry::Taken || std::chrono::steady_clock::now() >= deadline)
                return false;
        }
    }
    ProfileLock() = default;
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;
    // Removes the file that acquire() made when it is still empty: nothing was saved into it.
    ~ProfileLock()
    {
        struct stat st;
        struct stat now;
        if (m_made && m_fd.valid() && ::fstat(m_fd.get(), &st) == 0 && st.st_size == 0 &&
            ::lstat(m_target.c_str(), &now) == 0 && sameFile(now, st))
            ::unlink(m_target.c_str());
    }

private:
    FileDescriptor m_fd;
    std::string m_target;
    bool m_made = false;
};

enum class FileKind
{
    Missing,
    Regular,
    Unusable
};

// Reads a regular file whole. Opening never blocks: a FIFO, a device, a socket or a folder is no
// profile and reads as missing content, and so does a file above kMaxFileSize. With `shared`, the
// read waits (a bounded time) for a save that writes through the file to end, so that it never
// reads half of one.
FileKind readRegular(const std::string& path, std::string& content, Stamp& stamp, bool& failed,
                     bool shared = false)
{
    content.clear();
    stamp = {};
    failed = false;
    const FileDescriptor fd(openFile(path, O_RDONLY));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FileKind::Missing;
        failed = errno != ENXIO && errno != ELOOP && errno != EISDIR;
        return FileKind::Unusable;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        failed = true;
        return FileKind::Unusable;
    }
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxFileSize)
        return FileKind::Unusable;
    if (shared) {
        const LockTry lock = lockBefore(fd.get(), true, std::chrono::steady_clock::now() + lockWaitFor(path));
        if (lock != LockTry::Refused)
            noteLockResult(path, lock == LockTry::Taken);
        if (lock == LockTry::Taken && ::fstat(fd.get(), &st) != 0) {
            failed = true;
            return FileKind::Unusable;
        }
    }
    if (st.st_size > kMaxFileSize)
        return FileKind::Unusable;
    stamp = stampOf(st);
    content.resize(static_cast<std::size_t>(st.st_size));
    std::size_t have = 0;
    char more[4096];
    for (;;) {
        // Reads into the string while it has room, then into `more`, which only a file that grew
        // while it was read fills.
        const bool room = have < content.size();
        const ssize_t got = room ? ::read(fd.get(), content.data() + have, content.size() - have)
                                 : ::read(fd.get(), more, sizeof more);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            content.clear();
            failed = true;
            return FileKind::Unusable;
        }
        if (got == 0)
            break;
        if (!room) {
            if (content.size() + static_cast<std::size_t>(got) > static_cast<std::size_t>(kMaxFileSize)) {
                content.clear();
                return FileKind::Unusable;
            }
            content.append(more, static_cast<std::size_t>(got));
        }
        have += static_cast<std::size_t>(got);
    }
    content.resize(have);
    return FileKind::Regular;
}

// True when user `uid` belongs to group `gid`.
bool inGroup(uid_t uid, gid_t gid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    if (found->pw_gid == gid)
        return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<std::size_t>(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// The previous content of a killed write-through of `target`, when there is one that counts: a
// plain file of its own made by someone who could write the file (root, its owner, a member of
// its group when the group may write, anyone when everybody may). Whatever else lies there (planted
// by another user in a shared folder, say) never changes the table and is left alone.
bool trustedBackup(const std::string& target)
{
    struct stat backup;
    struct stat file;
    if (::lstat(besideName(target, ".previous").c_str(), &backup) != 0 || !S_ISREG(backup.st_mode) ||
        backup.st_nlink != 1 || ::stat(target.c_str(), &file) != 0)
        return false;
    return backup.st_uid == 0 || backup.st_uid == file.st_uid || (file.st_mode & S_IWOTH) != 0 ||
           ((file.st_mode & S_IWGRP) != 0 && inGroup(backup.st_uid, file.st_gid));
}

// Gives the file open as `to` the access control list and the extended attributes of `from`;
// false when some of them could not be given.
bool copyAccess(const std::string& from, int fromFd, const std::string& to, int toFd)
{
    return ::perm_copy_fd(from.c_str(), fromFd, to.c_str(), toFd, nullptr) == 0 &&
           ::attr_copy_fd(from.c_str(), fromFd, to.c_str(), toFd, nullptr, nullptr) == 0;
}

// A save that writes through the file itself first keeps the file's previous content in
// ".<name>.previous" and removes it once the file is complete. Finding it means such a save was
// killed and the file may be torn: under the lock the previous content is put back.
bool restorePrevious(const std::string& target)
{
    const std::string previous = besideName(target, ".previous");
    if (!trustedBackup(target))
        return true;
    const FileDescriptor from(openFile(previous, O_RDONLY | O_NOFOLLOW));
    if (!from.valid())
        return errno == ENOENT;
    const FileDescriptor to(openFile(target, O_WRONLY | O_NOFOLLOW));
    struct stat st;
    if (!to.valid() || ::fstat(to.get(), &st) != 0 || !S_ISREG(st.st_mode) || !copyInto(from.get(), to.get()))
        return false;
    ::unlink(previous.c_str());
    syncFolder(folderOf(target));
    return true;
}

// The file's current content. Outside the lock a killed write-through is not repaired, but its
// previous content is what the file holds for a reader.
FileKind readCurrent(const std::string& target, std::string& content, Stamp& stamp, bool& failed, bool locked)
{
    const std::string previous = besideName(target, ".previous");
    for (int attempt = 0;; ++attempt) {
        const bool backup = trustedBackup(target);
        if (backup) {
            if (locked && attempt < 3 && restorePrevious(target))
                continue;
            Stamp unused;
            if (readRegular(previous, content, unused, failed) == FileKind::Regular) {
                stamp = stampOfPath(target);
                return FileKind::Regular;
            }
        }
        const FileKind kind = readRegular(target, content, stamp, failed, !locked);
        // A write through the file may have begun while it was read: then read again.
        if (kind != FileKind::Regular || locked || attempt >= 3 ||
            (!trustedBackup(target) && stampOfPath(target) == stamp))
            return kind;
    }
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A temporary file beside `target` that no living process is writing: each writer holds a lock on
// its own, so a slot that can be locked belongs to a killed save.
class TempFile
{
public:
    bool create(const std::string& target)
    {
        for (int slot = 0; slot < kTempSlots; ++slot) {
            m_name = besideName(target, ".save" + std::to_string(slot));
            m_fd.reset(openFile(m_name, O_RDWR | O_CREAT | O_NOFOLLOW, 0600));
            struct stat st;
            if (m_fd.valid() && ::fstat(m_fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
                tryLock(m_fd.get()) == LockTry::Taken && ::ftruncate(m_fd.get(), 0) == 0)
                return true;
            m_fd.reset();
        }
        return false;
    }
    ~TempFile()
    {
        if (m_fd.valid() && !m_kept)
            ::unlink(m_name.c_str());
    }
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd.get(); }
    // Renames the file to `name`; it is no temporary file any more.
    bool renameTo(const std::string& name)
    {
        if (::rename(m_name.c_str(), name.c_str()) != 0)
            return false;
        m_kept = true;
        return true;
    }

private:
    std::string m_name;
    FileDescriptor m_fd;
    bool m_kept = false;
};

// Removes the temporary files of killed saves of `target`: the slots nobody holds, and, under the
// file's lock where the folder can be listed, the ".<name>.XXXXXX" files that earlier versions made.
void removeLeftovers(const std::string& target, bool folderLocked)
{
    for (int slot = 0; slot < kTempSlots; ++slot) {
        const std::string name = besideName(target, ".save" + std::to_string(slot));
        const FileDescriptor fd(openFile(name, O_RDWR | O_NOFOLLOW));
        struct stat st;
        struct stat now;
        if (fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            tryLock(fd.get()) == LockTry::Taken && ::lstat(name.c_str(), &now) == 0 &&
            now.st_ino == st.st_ino && now.st_dev == st.st_dev)
            ::unlink(name.c_str());
    }
    if (!folderLocked)
        return;
    const std::string prefix = besideName(target, ".");
    const std::string folder = folderOf(target);
    const std::string start = prefix.substr(prefix.rfind('/') + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != start.size() + 6 || name.compare(0, start.size(), start) != 0)
            continue;
        bool random = true;
        for (std::size_t i = start.size(); i < name.size(); ++i)
            random = random && ((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= 'A' && name[i] <= 'Z') ||
                                (name[i] >= '0' && name[i] <= '9'));
        struct stat st;
        const std::string path = folder + "/" + name;
        if (random && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

enum class Replaced
{
    Done,
    Failed,
    OwnerRefused
};

// Writes the document to a temporary file beside `target`, flushes it to disk and renames it over
// `target`, with the old file's owner, group, mode, access list and extended attributes. When this
// process cannot give the new file all of them, nothing is replaced.
Replaced replaceByRename(const std::string& target, const IniDocument& doc, const struct stat* old)
{
    TempFile temp;
    if (!temp.create(target))
        return Replaced::Failed;
    struct stat mine;
    if (::fstat(temp.fd(), &mine) != 0)
        return Replaced::Failed;
    if (old && (mine.st_uid != old->st_uid || mine.st_gid != old->st_gid) &&
        ::fchown(temp.fd(), old->st_uid, old->st_gid) != 0)
        return Replaced::OwnerRefused;
    if (::fchmod(temp.fd(), old ? (old->st_mode & 07777) : newFileMode()) != 0)
        return Replaced::Failed;
    if (old) {
        // A file whose access list or attributes the new one could not take is written through.
        const FileDescriptor current(openFile(target, O_RDONLY | O_NOFOLLOW));
        if (!current.valid() || !copyAccess(target, current.get(), "", temp.fd()))
            return Replaced::OwnerRefused;
    }
    if (!writeDocument(temp.fd(), doc) || !temp.renameTo(target))
        return Replaced::Failed;
    syncFolder(folderOf(target));
    return Replaced::Done;
}

// Writes the document into `target` itself, so that every hard link and the owner stay. The
// previous content waits beside it until the file is complete (see restorePrevious()).
bool writeThrough(const std::string& target, const IniDocument& doc, const struct stat& old)
{
    const FileDescriptor file(openFile(target, O_RDWR | O_NOFOLLOW));
    struct stat st;
    if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_ino != old.st_ino)
        return false;
    // The backup is for those who may write the file: it takes the file's group where this process
    // may give it, its mode and its access list.
    TempFile previous;
    if (!previous.create(target))
        return false;
    // A writer outside the file's group may not give it that group: the backup keeps the writer's.
    if (::fchown(previous.fd(), static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM)
        return false;
    if (::fchmod(previous.fd(), old.st_mode & 0666) != 0)
        return false;
    (void)copyAccess(target, file.get(), "", previous.fd());
    if (!copyInto(file.get(), previous.fd()) || !previous.renameTo(besideName(target, ".previous")))
        return false;
    syncFolder(folderOf(target));
    if (::lseek(file.get(), 0, SEEK_SET) != 0 || !writeDocument(file.get(), doc)) {
        restorePrevious(target);
        return false;
    }
    ::unlink(besideName(target, ".previous").c_str());
    syncFolder(folderOf(target));
    return true;
}

// True when this process may change or create `target`. A file without any write permission is
// read-only for everybody, the superuser included.
bool canWrite(const std::string& target)
{
    if (target.empty())
        return false;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || st.st_size > kMaxFileSize || (st.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
    }
    const std::string folder = folderOf(target);
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

} // namespace

bool CanWriteProfileFile(const std::string& target)
{
    return canWrite(target);
}

Stamp ProfileFileStampOf(const std::string& path)
{
    return stampOfPath(path);
}

std::string ResolveProfileLinks(const std::string& path)
{
    return resolveLinks(path);
}

// A killed write through the file is repaired by the first reader that can.
void ReadProfileFile(const std::string& target, std::string& content, Stamp& stamp)
{
    bool failed = false;
    bool locked = false;
    ProfileLock lock;
    if (trustedBackup(target) && canWrite(target))
        locked = lock.acquire(target, std::chrono::milliseconds(0));
    readCurrent(target, content, stamp, failed, locked);
}

// Writes the file out: under the lock, what another process wrote meanwhile is read again and this
// process's writes are applied on top of it; then the file is replaced by a rename, or written
// through where a rename would lose its hard links, owner or group.
bool WriteProfileFile(const std::string& target, IniDocument& doc, const Stamp& readStamp)
{
    if (!canWrite(target))
        return false;
    ProfileLock lock;
    const bool locked = lock.acquire(target, lockWaitFor(target));
    noteLockResult(target, locked);
    if (!locked)
        return false;
    const std::string previous = besideName(target, ".previous");
    const bool hadPrevious = trustedBackup(target);
    if (hadPrevious || !(stampOfPath(target) == readStamp)) {
        // Someone else wrote the file since we read it, or a save of it was killed: take the file
        // as it is now and put our writes on top.
        std::string content;
        Stamp stamp;
        bool failed = false;
        const FileKind kind = readCurrent(target, content, stamp, failed, true);
        if (failed || kind == FileKind::Unusable)
            return false;
        doc.rebase(std::move(content));
    }
    bool ok = true;
    if (doc.changed()) {
        struct stat old;
        const bool exists = ::lstat(target.c_str(), &old) == 0;
        if (!canWrite(target)) {
            ok = false;
        } else {
            Replaced result = Replaced::OwnerRefused;
            if (!exists || old.st_nlink == 1)
                result = replaceByRename(target, doc, exists ? &old : nullptr);
            if (result == Replaced::OwnerRefused)
                result = writeThrough(target, doc, old) ? Replaced::Done : Replaced::Failed;
            ok = result == Replaced::Done;
        }
    }
    if (ok && hadPrevious)
        ::unlink(previous.c_str());
    // Every writer of the file holds its lock: none of them is writing a leftover now.
    removeLeftovers(target, true);
    return ok;
}

} // namespace platform
