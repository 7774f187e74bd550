// How a new content reaches the INI file on POSIX: a new file made beside it and renamed into place,
// with everything that identifies the old one, or written through the file itself where a new file
// could not keep that (hard links, an owner or group this user cannot give, an access control list
// or attributes a network share will not list or take).
#include "platform/profile_write_posix.h"

#include "platform/profile_journal.h"

#include <acl/libacl.h>
#include <algorithm>
#include <attr/libattr.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// Temporary files: ".<name>.tmp" and twelve random letters and digits, made exclusively, so that no
// name another user plants in a shared folder can block or redirect a save.
const char* const kTempInfix = ".tmp";
constexpr std::size_t kRandomLetters = 12;
// A temporary file of this user older than this belongs to a save that was killed.
constexpr std::time_t kLeftoverAge = std::time_t{600};
// A share lock older than this belongs to a save that was killed: a save takes well under a second.
constexpr std::time_t kStaleShareLock = 30;
// How often the file's folder may refuse to make its lock, with no such name there, before a save
// goes on without it.
constexpr int kLockFileRefusals = 3;
// How long a wait for the share lock goes on after another save's lock came and went.
constexpr std::chrono::seconds kQueueMoves(5);
// How often a rename or removal that a share refuses for an open file is tried again after the close,
// with pauses that double from a millisecond (about a second in all).
constexpr int kBusyTries = 10;

std::string baseOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside `target`: its folder, a dot, its name and `ending`.
std::string besideTarget(const std::string& target, const char* ending)
{
    const std::string folder = FolderOf(target);
    return (folder == "/" ? std::string("/") : folder + "/") + "." + baseOf(target) + ending;
}

std::string tempPrefix(const std::string& target)
{
    return besideTarget(target, kTempInfix);
}

bool writeAllAt(int fd, const char* data, std::size_t size, off_t at)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Writes `content` into the file open as `fd` from `at` on; `at` ends behind it.
bool writePiecesAt(int fd, const ContentPieces& content, off_t& at)
{
    return content([&](std::string_view piece) {
        if (!writeAllAt(fd, piece.data(), piece.size(), at))
            return false;
        at += static_cast<off_t>(piece.size());
        return true;
    });
}

// Writes `content` as the whole file open as `fd`, flushed to disk.
bool writeWhole(int fd, const ContentPieces& content)
{
    off_t end = 0;
    return writePiecesAt(fd, content, end) && ::ftruncate(fd, end) == 0 && ::fsync(fd) == 0;
}

void syncFolder(const std::string& folder)
{
    const FileDescriptor fd(OpenFile(folder, O_RDONLY | O_DIRECTORY));
    if (fd.valid())
        ::fsync(fd.get());
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A new temporary file beside `target`, removed again unless it was renamed into place.
class TempFile
{
public:
    explicit TempFile(const std::string& target)
    {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::random_device random;
        std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
        for (int attempt = 0; attempt < 16 && !m_fd.valid(); ++attempt) {
            m_name = tempPrefix(target);
            for (std::size_t i = 0; i < kRandomLetters; ++i)
                m_name += letters[pick(random)];
            m_fd.reset(OpenFile(m_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
            if (!m_fd.valid() && errno != EEXIST)
                break;
        }
        m_made = m_fd.valid();
    }
    ~TempFile()
    {
        if (m_made && !m_kept)
            changeName([this] { return ::unlink(m_name.c_str()); });
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool valid() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }
    const std::string& name() const { return m_name; }
    void keep() { m_kept = true; }

    // Does `step`, a rename or removal of this file, while the file is open, as POSIX allows. An SMB
    // share refuses both for an open file (EBUSY): there the file is closed and the step tried again
    // for a moment, since the close reaches the server only a little after close() returns.
    bool changeName(const std::function<int()>& step)
    {
        if (step() == 0)
            return true;
        if (errno != EBUSY)
            return false;
        m_fd.reset();
        long pauseUs = 1000;
        for (int attempt = 0; attempt < kBusyTries; ++attempt) {
            const timespec pause{0, pauseUs * 1000};
            ::nanosleep(&pause, nullptr);
            pauseUs *= 2;
            if (step() == 0)
                return true;
            if (errno != EBUSY)
                return false;
        }
        return false;
    }

private:
    std::string m_name;
    FileDescriptor m_fd;
    bool m_made = false;
    bool m_kept = false;
};

// Renames the temporary file over `target`; it is no temporary file any more.
WriteResult renameIntoPlace(TempFile& temp, const std::string& target)
{
    if (!temp.changeName([&] { return ::rename(temp.name().c_str(), target.c_str()); }))
        return WriteResult::Failed;
    temp.keep();
    syncFolder(FolderOf(target));
    return WriteResult::Done;
}

// The names of the extended attributes (access control lists included) of the file open as `fd`.
bool attributeNames(int fd, std::vector<std::string>& names)
{
    names.clear();
    std::vector<char> buffer(1024);
    for (;;) {
        const ssize_t size = ::flistxattr(fd, buffer.data(), buffer.size());
        if (size >= 0) {
            for (const char* name = buffer.data(); name < buffer.data() + size; name += std::strlen(name) + 1)
                names.emplace_back(name);
            return true;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return false;
        buffer.resize(buffer.size() * 4);
    }
}

// False when the file open as `fd` cannot tell which extended attributes and access control list it
// has: its file system keeps neither, as a share's client that passes none on says, while the server
// may keep both. Such a file system is not asked for their list: smbnetfs answers a listxattr only
// after seconds, with EIO, and then answers every lookup and status query on its server with EIO for
// three seconds, so that the save could neither write through nor remove its temporary file.
bool attributesVisible(int fd)
{
    const auto unsupported = [fd](const char* name) {
        return ::fgetxattr(fd, name, nullptr, 0) < 0 && (errno == ENOTSUP || errno == ENOSYS);
    };
    return !unsupported("user.ventiro") || !unsupported("system.posix_acl_access");
}

// Gives the temporary file `temp` everything that identifies the file open as `from`; false when
// the file system or this user's rights cannot give all of it.
bool takeIdentity(const std::string& target, int from, const struct stat& old, const TempFile& temp)
{
    struct stat mine;
    if (::fstat(temp.fd(), &mine) != 0)
        return false;
    if ((mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) &&
        ::fchown(temp.fd(), old.st_uid, old.st_gid) != 0)
        return false;
    if (::fchmod(temp.fd(), old.st_mode & 07777) != 0)
        return false;
    // Metadata this process cannot list (a share that keeps it out of reach) or cannot give stays
    // only where the file is written through.
    std::vector<std::string> names;
    if (!attributeNames(from, names) ||
        ::perm_copy_fd(target.c_str(), from, temp.name().c_str(), temp.fd(), nullptr) != 0 ||
        ::attr_copy_fd(target.c_str(), from, temp.name().c_str(), temp.fd(), nullptr, nullptr) != 0)
        return false;
    std::vector<std::string> given;
    if (!attributeNames(temp.fd(), given))
        return false;
    for (const std::string& name : names)
        if (name.rfind("security.", 0) != 0 && std::find(given.begin(), given.end(), name) == given.end())
            return false;
    // Some shares accept a mode or owner and keep another: what counts is what the file got.
    return ::fstat(temp.fd(), &mine) == 0 && mine.st_uid == old.st_uid && mine.st_gid == old.st_gid &&
           (mine.st_mode & 07777) == (old.st_mode & 07777);
}

} // namespace

void FileDescriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int OpenFile(const std::string& path, int flags, unsigned mode)
{
    for (;;) {
        const int fd =
            ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, static_cast<mode_t>(mode));
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

bool CanWriteFile(const std::string& target)
{
    if (target.empty())
        return false;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileFileSize || (st.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
    }
    const std::string folder = FolderOf(target);
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

LockTry TryLock(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return LockTry::Taken;
    if (errno == EWOULDBLOCK || errno == EINTR)
        return LockTry::Busy;
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &range) == 0)
        return LockTry::Taken;
    if (errno == EAGAIN || errno == EACCES || errno == EINTR)
        return LockTry::Busy;
    return LockTry::Refused;
}

LockTry LockBefore(int fd, std::chrono::steady_clock::time_point deadline)
{
    long pauseUs = 500;
    for (;;) {
        const LockTry result = TryLock(fd);
        if (result != LockTry::Busy || std::chrono::steady_clock::now() >= deadline)
            return result;
        const timespec pause{0, pauseUs * 1000};
        ::nanosleep(&pause, nullptr);
        pauseUs = pauseUs < 50000 ? pauseUs * 2 : pauseUs;
    }
}

ShareLock::~ShareLock()
{
    if (m_held)
        ::rmdir(m_name.c_str());
}

bool ShareLock::acquire(const std::string& target, std::chrono::steady_clock::time_point deadline)
{
    m_name = besideTarget(target, ".lock");
    long pauseUs = 500;
    ino_t seen = 0;
    for (int refused = 0;;) {
        // A folder: every share makes one exclusively on its server, also those whose clients do
        // not pass an exclusive create on (smbnetfs).
        if (::mkdir(m_name.c_str(), 0755) == 0) {
            m_held = true;
            return true;
        }
        // A share may answer a name that exists with another error than EEXIST (sshfs: EPERM,
        // smbnetfs: EIO, and EIO to the look at it too for a while), so the name is looked at: only
        // where it is missing for sure does the folder refuse locks.
        const int error = errno;
        struct stat st;
        const bool present = ::lstat(m_name.c_str(), &st) == 0;
        if (!present && errno == ENOENT && error != EEXIST && ++refused >= kLockFileRefusals)
            return false;
        if (present && (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) {
            // A killed save's (a file where an older version made it); where it is not ours to
            // remove, it stays.
            if (std::time(nullptr) - st.st_mtime > kStaleShareLock) {
                if (S_ISDIR(st.st_mode))
                    ::rmdir(m_name.c_str());
                else
                    ::unlink(m_name.c_str());
            }
            // Another save's lock that comes and goes: the queue moves, the wait goes on.
            if (st.st_ino != seen && seen != 0)
                deadline = std::max(deadline, std::chrono::steady_clock::now() + kQueueMoves);
            seen = st.st_ino;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        const timespec pause{0, pauseUs * 1000};
        ::nanosleep(&pause, nullptr);
        pauseUs = pauseUs < 20000 ? pauseUs * 2 : pauseUs;
    }
}

WriteResult CreateNewFile(const std::string& target, const ContentPieces& content,
                          const std::function<bool()>& unchanged)
{
    TempFile temp(target);
    if (!temp.valid() || ::fchmod(temp.fd(), newFileMode()) != 0 || !writeWhole(temp.fd(), content))
        return WriteResult::Failed;
    // link() makes the name only where nobody made it first; shares without hard links rename.
    if (::link(temp.name().c_str(), target.c_str()) != 0) {
        if (errno == EEXIST)
            return WriteResult::Changed;
        if (!unchanged())
            return WriteResult::Changed;
        return renameIntoPlace(temp, target);
    }
    syncFolder(FolderOf(target));
    return WriteResult::Done;
}

WriteResult ReplaceByRename(const std::string& target, const ContentPieces& content, const struct stat& old,
                            const std::function<bool()>& unchanged)
{
    const FileDescriptor current(OpenFile(target, O_RDONLY | O_NOFOLLOW));
    if (!current.valid())
        return WriteResult::Changed;
    // Asked before a temporary file is made: none is made where a new file could not be checked.
    if (!attributesVisible(current.get()))
        return WriteResult::Refused;
    TempFile temp(target);
    if (!temp.valid())
        return WriteResult::Refused;
    if (!takeIdentity(target, current.get(), old, temp))
        return WriteResult::Refused;
    if (!writeWhole(temp.fd(), content))
        return WriteResult::Failed;
    if (!unchanged())
        return WriteResult::Changed;
    return renameIntoPlace(temp, target);
}

bool WriteThrough(int fd, const ContentPieces& content, std::uint64_t size, std::uint64_t hash)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    const auto oldSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t at = std::max<std::uint64_t>(oldSize, size);
    const std::string header = JournalHeader(oldSize);
    const std::string footer = JournalFooter(oldSize, at, size, hash);
    off_t end = static_cast<off_t>(at + header.size());
    if (!writeAllAt(fd, header.data(), header.size(), static_cast<off_t>(at)) ||
        !writePiecesAt(fd, content, end) || !writeAllAt(fd, footer.data(), footer.size(), end) ||
        ::fsync(fd) != 0)
        return false;
    return writeWhole(fd, content);
}

bool FinishWriteThrough(int fd, const std::string& content)
{
    return writeWhole(fd, [&](const auto& sink) { return sink(content); });
}

void RemoveLeftovers(const std::string& target)
{
    const std::string prefix = tempPrefix(target);
    const std::string start = prefix.substr(prefix.rfind('/') + 1);
    const std::string folder = FolderOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != start.size() + kRandomLetters || name.compare(0, start.size(), start) != 0)
            continue;
        struct stat st;
        const std::string path = folder + "/" + name;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            now - st.st_mtime > kLeftoverAge)
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

} // namespace platform
