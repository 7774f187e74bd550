// The INI file on disk on Windows: the same transaction as on POSIX. The lock is a byte far beyond
// any content (Windows locks are mandatory, so locking the content itself would stop readers) and
// the lock folder that Linux stations of a share take too, the check before the replace compares the file's
// identity, size and time, and ReplaceFile keeps the file's access control list and attributes.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "platform/profile_file.h"

#include "platform/profile_journal.h"

#include <windows.h>

#include <random>
#include <thread>

namespace platform {
namespace {

constexpr std::int64_t kTimeGranularityNs = 2'000'000'000;
constexpr int kMissingTries = 5;
// The locked byte: far beyond any profile (see kMaxProfileFileSize).
constexpr DWORD kLockOffsetHigh = 0x7fffffff;

class Handle
{
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (valid())
            ::CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h;
};

std::int64_t fileTimeNs(const FILETIME& time)
{
    const std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks * 100;
}

std::int64_t nowNs()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return fileTimeNs(now);
}

HANDLE openFile(const std::string& file, bool write)
{
    return ::CreateFileA(file.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0),
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

Stamp stampOf(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info))
        return {};
    Stamp s;
    s.exists = true;
    s.dev = info.dwVolumeSerialNumber;
    s.ino = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    s.mtimeNs = fileTimeNs(info.ftLastWriteTime);
    s.ctimeNs = s.mtimeNs;
    return s;
}

bool readWhole(HANDLE h, std::string& content)
{
    content.clear();
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
        return false;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(h, buffer, sizeof buffer, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        content.append(buffer, got);
        if (static_cast<std::int64_t>(content.size()) > kMaxProfileFileSize)
            return false;
    }
}

bool writeWhole(HANDLE h, const ContentPieces& content)
{
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
        return false;
    const bool written = content([&](std::string_view piece) {
        std::size_t done = 0;
        while (done < piece.size()) {
            DWORD put = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(piece.size() - done, 1 << 20));
            if (!::WriteFile(h, piece.data() + done, chunk, &put, nullptr) || put == 0)
                return false;
            done += put;
        }
        return true;
    });
    return written && ::SetEndOfFile(h) && ::FlushFileBuffers(h);
}

bool writeWhole(HANDLE h, const std::string& content)
{
    return writeWhole(h, [&](const auto& sink) { return sink(content); });
}

std::string tempName(const std::string& target)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    const std::size_t slash = target.find_last_of("\\/");
    std::string name = slash == std::string::npos
                           ? "." + target
                           : target.substr(0, slash + 1) + "." + target.substr(slash + 1);
    name += ".tmp";
    for (int i = 0; i < 12; ++i)
        name += letters[pick(random)];
    return name;
}

} // namespace

Stamp ProfileStampOf(const std::string& file)
{
    const Handle h(::CreateFileA(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.valid() ? stampOf(h.get()) : Stamp{};
}

bool StampSettled(const ProfileVersion& version)
{
    return version.stamp.mtimeNs + kTimeGranularityNs < version.readAtNs;
}

std::uint64_t ProfileHash(const std::string& content)
{
    return Fnv64(content);
}

bool ReadProfile(const std::string& file, std::string& content, ProfileVersion& version)
{
    content.clear();
    version = {};
    version.readAtNs = nowNs();
    version.hash = Fnv64(content);
    for (int attempt = 0; attempt < kMissingTries; ++attempt) {
        const Handle h(openFile(file, false));
        if (!h.valid())
            return missing(::GetLastError());
        const Stamp before = stampOf(h.get());
        std::string raw;
        if (!readWhole(h.get(), raw))
            return false;
        if (!(stampOf(h.get()) == before))
            continue;
        content.assign(DecodeJournal(raw).content);
        version.stamp = before;
        version.hash = Fnv64(content);
        return true;
    }
    return false;
}

namespace {

// A lock older than this was left by a killed save.
constexpr std::int64_t kStaleShareLockNs = 30'000'000'000;

// The lock that reaches every station of a share, Linux stations included: a folder ".<name>.lock"
// beside the file, made once on the server and removed when the save ends.
class ShareLock
{
public:
    ShareLock() = default;
    ~ShareLock()
    {
        if (m_held)
            ::RemoveDirectoryA(m_name.c_str());
    }
    ShareLock(const ShareLock&) = delete;
    ShareLock& operator=(const ShareLock&) = delete;

    // True when it was taken before `deadline`; a folder that refuses it costs no wait.
    bool acquire(const std::string& target, std::chrono::steady_clock::time_point deadline)
    {
        const std::size_t slash = target.find_last_of("\\/");
        m_name = slash == std::string::npos
                     ? "." + target + ".lock"
                     : target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".lock";
        for (;;) {
            if (::CreateDirectoryA(m_name.c_str(), nullptr)) {
                m_held = true;
                return true;
            }
            if (::GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (::GetFileAttributesExA(m_name.c_str(), GetFileExInfoStandard, &data) &&
                nowNs() - fileTimeNs(data.ftLastWriteTime) > kStaleShareLockNs) {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    ::RemoveDirectoryA(m_name.c_str());
                else
                    ::DeleteFileA(m_name.c_str());
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    std::string m_name;
    bool m_held = false;
};

} // namespace

struct ProfileTransaction::Impl
{
    std::string target;
    Handle file;
    bool exists = false;
    Stamp stamp;
    std::string content;
    ShareLock shareLock;
};

ProfileTransaction::ProfileTransaction(const std::string& file) : m_impl(std::make_unique<Impl>())
{
    m_impl->target = file;
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
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (int attempt = 0; attempt < kMissingTries; ++attempt) {
        t.file.reset(openFile(t.target, true));
        if (!t.file.valid()) {
            if (!missing(::GetLastError()))
                return ProfileResult::Failed;
            std::this_thread::sleep_for(std::chrono::milliseconds(2 * (attempt + 1)));
            continue;
        }
        for (;;) {
            OVERLAPPED at{};
            at.OffsetHigh = kLockOffsetHigh;
            if (::LockFileEx(t.file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
                break;
            if (::GetLastError() != ERROR_LOCK_VIOLATION)
                break; // a share without locks: the check before the replace still holds
            if (std::chrono::steady_clock::now() >= deadline)
                return ProfileResult::Busy;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Second, so that no save holds it while it waits for the file's lock.
        t.shareLock.acquire(t.target, deadline);
        std::string raw;
        if (!readWhole(t.file.get(), raw))
            return ProfileResult::Failed;
        const JournalState journal = DecodeJournal(raw);
        t.content.assign(journal.content);
        if (journal.kind != JournalState::None && !writeWhole(t.file.get(), t.content))
            return ProfileResult::Failed;
        t.exists = true;
        t.stamp = stampOf(t.file.get());
        return ProfileResult::Done;
    }
    t.exists = false;
    t.content.clear();
    return ProfileResult::Done;
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
    const Stamp now = ProfileStampOf(t.target);
    if (t.exists ? !(now == t.stamp) : now.exists)
        return ProfileResult::Changed;
    const std::string temp = tempName(t.target);
    {
        const Handle h(::CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.valid() || !writeWhole(h.get(), content)) {
            ::DeleteFileA(temp.c_str());
            return ProfileResult::Failed;
        }
    }
    bool done = false;
    if (!t.exists) {
        done = ::MoveFileExA(temp.c_str(), t.target.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
        if (!done && ::GetLastError() == ERROR_ALREADY_EXISTS) {
            ::DeleteFileA(temp.c_str());
            return ProfileResult::Changed;
        }
    } else {
        // ReplaceFile keeps the old file's access control list and attributes.
        done = ::ReplaceFileA(t.target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                              nullptr, nullptr) != FALSE;
        if (!done) {
            t.file.reset();
            done = ::MoveFileExA(temp.c_str(), t.target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        }
    }
    if (!done) {
        ::DeleteFileA(temp.c_str());
        return ProfileResult::Failed;
    }
    written.stamp = ProfileStampOf(t.target);
    written.readAtNs = nowNs();
    written.hash = hash;
    return ProfileResult::Done;
}

} // namespace platform
