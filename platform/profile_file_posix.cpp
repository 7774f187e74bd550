// The INI file on disk on POSIX: which file a name stands for, reading it without ever waiting, and
// the transaction: the advisory lock on the file itself, the read under it, and the check that the
// file is still what was read before it is replaced (profile_write_posix.cpp writes it).
#include "platform/profile_file.h"

#include "platform/native_path.h"
#include "platform/profile_journal.h"
#include "platform/profile_write_posix.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {
namespace {

// A file written this close to a read may change again within the same file time.
constexpr std::int64_t kTimeGranularityNs = 2'000'000'000;
// How often a name that is missing for an instant (another station renaming a new version into
// place) is looked for again before the file counts as missing.
constexpr int kMissingTries = 5;

std::int64_t nowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void pause(long microseconds)
{
    const timespec wait{0, microseconds * 1000};
    ::nanosleep(&wait, nullptr);
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
        current = next[0] == '/' ? next : FolderOf(current) + "/" + next;
    }
    return current;
}

std::string targetOf(const std::string& file)
{
    return file.empty() ? std::string() : resolveLinks(NativeFileName(file));
}

// The status of the file open as `fd` as its server has it now: a network share may hold an older
// size for a while, and a read stops at the size it holds.
bool freshStat(int fd, struct stat& st)
{
    struct statx ignored;
    (void)::statx(fd, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_BASIC_STATS, &ignored);
    return ::fstat(fd, &st) == 0;
}

// Reads all of `fd` from its start; false on a read error or a file above the size bound.
bool readWhole(int fd, std::string& content)
{
    content.clear();
    struct stat st;
    if (!freshStat(fd, st))
        return false;
    char buffer[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        content.append(buffer, static_cast<std::size_t>(got));
        at += got;
        if (at > kMaxProfileFileSize)
            return false;
    }
}

// The hash of all of `fd`, read piece by piece; nothing on a read error.
std::optional<std::uint64_t> hashWhole(int fd)
{
    struct stat st;
    if (!freshStat(fd, st))
        return std::nullopt;
    char buffer[65536];
    std::uint64_t hash = kFnv64Start;
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return hash;
        hash = Fnv64(std::string_view(buffer, static_cast<std::size_t>(got)), hash);
        at += got;
    }
}

enum class Opened
{
    Regular,
    Missing,
    Unusable
};

// Opens the file for reading (or writing), never blocking: a FIFO, a device, a socket, a folder
// and a file above the size bound are no profile.
Opened openRegular(const std::string& target, bool write, FileDescriptor& fd, struct stat& st)
{
    fd.reset(OpenFile(target, (write ? O_RDWR : O_RDONLY) | O_NOFOLLOW));
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR ? Opened::Missing : Opened::Unusable;
    if (::fstat(fd.get(), &st) != 0)
        return Opened::Unusable;
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileFileSize) {
        errno = 0; // no profile, and no error either
        return Opened::Unusable;
    }
    return Opened::Regular;
}

// Reads `fd` and what it means (see profile_journal.h).
bool readMeaning(int fd, std::string& content, JournalState::Kind& kind)
{
    std::string raw;
    if (!readWhole(fd, raw))
        return false;
    const JournalState state = DecodeJournal(raw);
    kind = state.kind;
    if (kind == JournalState::None)
        content = std::move(raw);
    else
        content.assign(state.content);
    return true;
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

Stamp StampOf(const struct stat& st)
{
    Stamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return s;
}

Stamp StampOfPath(const std::string& target)
{
    struct stat st;
    if (target.empty() || ::stat(target.c_str(), &st) != 0)
        return {};
    return StampOf(st);
}

Stamp ProfileStampOf(const std::string& file)
{
    return StampOfPath(targetOf(file));
}

bool StampSettled(const ProfileVersion& version)
{
    return version.stamp.mtimeNs + kTimeGranularityNs < version.readAtNs &&
           version.stamp.ctimeNs + kTimeGranularityNs < version.readAtNs;
}

std::uint64_t ProfileHash(const std::string& content)
{
    return Fnv64(content);
}

bool ReadProfile(const std::string& file, std::string& content, ProfileVersion& version)
{
    const std::string target = targetOf(file);
    content.clear();
    version = {};
    version.readAtNs = nowNs();
    version.hash = Fnv64(content);
    for (int attempt = 0; attempt < kMissingTries; ++attempt) {
        FileDescriptor fd;
        struct stat st;
        const Opened opened = openRegular(target, false, fd, st);
        if (opened == Opened::Missing)
            return true;
        if (opened == Opened::Unusable)
            return errno != EACCES && errno != EIO;
        JournalState::Kind kind = JournalState::None;
        struct stat after;
        if (!readMeaning(fd.get(), content, kind) || ::fstat(fd.get(), &after) != 0)
            return false;
        if (!(StampOf(after) == StampOf(st))) {
            content.clear();
            continue; // written while it was read: read again
        }
        version.stamp = StampOf(st);
        // A save killed halfway is repaired by the first reader that may write the file and gets
        // its lock at once.
        FileDescriptor writable;
        struct stat wst;
        if (kind != JournalState::None && openRegular(target, true, writable, wst) == Opened::Regular &&
            StampOf(wst) == version.stamp && TryLock(writable.get()) == LockTry::Taken &&
            FinishWriteThrough(writable.get(), content))
            version.stamp = StampOfPath(target);
        version.hash = Fnv64(content);
        return true;
    }
    content.clear();
    return false;
}

struct ProfileTransaction::Impl
{
    std::string target;
    FileDescriptor fd; // the file as Begin() found it, locked where the file system allows
    bool exists = false;
    Stamp stamp;
    std::uint64_t hash = 0; // of the bytes Begin() read (or repaired the file to)
    std::string content;
    std::optional<ShareLock> shareLock; // taken after the file's own lock, given up before it
    bool shareHeld = false;             // (false: not to be had in time; the save goes on without)
};

ProfileTransaction::ProfileTransaction(const std::string& file) : m_impl(std::make_unique<Impl>())
{
    m_impl->target = targetOf(file);
}

ProfileTransaction::~ProfileTransaction() = default;

const std::string& ProfileTransaction::Content() const
{
    return m_impl->content;
}

std::string ProfileTransaction::TakeContent()
{
    return std::move(m_impl->content);
}

ProfileResult ProfileTransaction::Begin(std::chrono::milliseconds wait)
{
    Impl& t = *m_impl;
    if (!CanWriteFile(t.target))
        return ProfileResult::Failed;
    // A wait ends when another program held the lock for all of it: saves of other panels that come
    // and go in between (a queue of them closing at once) renew it.
    auto deadline = std::chrono::steady_clock::now() + wait;
    int missing = 0;
    for (int attempt = 0; attempt < 1024; ++attempt) {
        struct stat st;
        const Opened opened = openRegular(t.target, true, t.fd, st);
        // A share's client may fail for a moment while another station replaces the file
        // (smbnetfs: EIO for some seconds): within the wait, that is tried again.
        if (opened == Opened::Unusable && errno == EIO && std::chrono::steady_clock::now() < deadline) {
            pause(20000);
            continue;
        }
        if (opened == Opened::Unusable)
            return ProfileResult::Failed;
        if (opened == Opened::Missing) {
            if (++missing < kMissingTries) {
                pause(2000L * missing);
                continue;
            }
            t.exists = false;
            t.fd.reset();
            t.content.clear();
            t.stamp = {};
            return ProfileResult::Done;
        }
        const LockTry lock = LockBefore(t.fd.get(), deadline);
        if (lock == LockTry::Busy) {
            if (StampOfPath(t.target) == StampOf(st))
                return ProfileResult::Busy;
            deadline = std::chrono::steady_clock::now() + wait;
            continue;
        }
        // Locked, or on a file system without locks: either way the name must still lead here. The
        // share lock comes second, so that no save holds it while it waits for the file's lock.
        const auto stillHere = [&] {
            struct stat now;
            return ::stat(t.target.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino;
        };
        if (!stillHere()) {
            deadline = std::chrono::steady_clock::now() + wait; // another save replaced it meanwhile
            continue;
        }
        t.shareLock.emplace();
        t.shareHeld = t.shareLock->acquire(t.target, deadline);
        if (!stillHere()) {
            t.shareLock.reset(); // another station replaced the file meanwhile
            deadline = std::chrono::steady_clock::now() + wait;
            continue;
        }
        // Read through a descriptor opened now: one opened before the wait may know an older size
        // (a network share), and a read stops there.
        FileDescriptor now;
        struct stat nowSt;
        if (openRegular(t.target, false, now, nowSt) != Opened::Regular || nowSt.st_ino != st.st_ino ||
            nowSt.st_dev != st.st_dev) {
            t.shareLock.reset();
            continue;
        }
        JournalState::Kind kind = JournalState::None;
        if (!readMeaning(now.get(), t.content, kind) ||
            (kind != JournalState::None && !FinishWriteThrough(t.fd.get(), t.content)) ||
            ::fstat(now.get(), &st) != 0)
            return ProfileResult::Failed;
        t.exists = true;
        t.stamp = StampOf(st);
        t.hash = Fnv64(t.content);
        return ProfileResult::Done;
    }
    return ProfileResult::Failed;
}

// The file is still what Begin() read: the same stamp, and where the stamp cannot tell (written
// within the file system's time granularity), the same bytes.
static bool unchangedSinceBegin(const ProfileTransaction::Impl& t)
{
    // Opened anew: a share answers a name or an old descriptor from its cache for a while.
    FileDescriptor current;
    struct stat st;
    const Opened opened = openRegular(t.target, false, current, st);
    if (!t.exists)
        return opened == Opened::Missing;
    const Stamp now = opened == Opened::Regular && freshStat(current.get(), st) ? StampOf(st) : Stamp{};
    if (!(now == t.stamp))
        return false;
    ProfileVersion version{now, nowNs(), 0};
    if (StampSettled(version))
        return true;
    return hashWhole(current.get()) == t.hash;
}

ProfileResult ProfileTransaction::Commit(const std::string& content, ProfileVersion& written)
{
    return Commit([&](const auto& sink) { return sink(content); }, written);
}

ProfileResult ProfileTransaction::Commit(const ContentPieces& content, ProfileVersion& written)
{
    Impl& t = *m_impl;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    if (!MeasureContent(content, size, hash))
        return ProfileResult::Failed;
    if (!unchangedSinceBegin(t))
        return ProfileResult::Changed;
    const auto stillUnchanged = [&t] { return unchangedSinceBegin(t); };
    WriteResult result;
    if (!t.exists) {
        result = CreateNewFile(t.target, content, stillUnchanged);
    } else {
        struct stat old;
        if (::fstat(t.fd.get(), &old) != 0)
            return ProfileResult::Failed;
        result = old.st_nlink == 1 ? ReplaceByRename(t.target, content, old, stillUnchanged)
                                   : WriteResult::Refused;
        if (result == WriteResult::Refused)
            result = WriteThrough(t.fd.get(), content, size, hash) ? WriteResult::Done : WriteResult::Failed;
    }
    if (result == WriteResult::Changed)
        return ProfileResult::Changed;
    if (result != WriteResult::Done)
        return ProfileResult::Failed;
    RemoveLeftovers(t.target);
    written.stamp = StampOfPath(t.target);
    written.readAtNs = nowNs();
    written.hash = hash;
    return ProfileResult::Done;
}

} // namespace platform
