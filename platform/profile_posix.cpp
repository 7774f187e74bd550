#include "platform/profile.h"

#include "platform/blanks.h"
#include "platform/ini_document.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace platform {
namespace {

// What identifies one version of a file on disk.
struct Stamp
{
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    long long ctimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

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

// Reads the whole file; a missing file reads as empty.
bool readFile(const std::string& path, std::string& content, Stamp& stamp)
{
    content.clear();
    stamp = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    stamp = stampOf(st);
    content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
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

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes the content to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, keeping the old file's permissions. On success `stamp` identifies the new file.
bool replaceFile(const std::string& path, const std::string& content, Stamp& stamp)
{
    const std::string folder = folderOf(path);
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = (folder == "/" ? std::string("/") : folder + "/") + "." + base + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat old;
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    struct stat fresh;
    bool ok =
        ::fchmod(fd, mode) == 0 && writeAll(fd, content) && ::fsync(fd) == 0 && ::fstat(fd, &fresh) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    stamp = stampOf(fresh);
    stamp.ctimeNs = stampOfPath(path).ctimeNs; // the rename touches the change time
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// Holds an advisory lock on the file's folder while the file is read again and replaced: the file
// itself is replaced by a rename, so a lock on it would not be seen by the next writer.
class FolderLock
{
public:
    explicit FolderLock(const std::string& folder)
        : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd >= 0)
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};

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

// The name under which the file system knows `file`. Paths reach this layer as 8-bit text.
std::string nativeName(const char* file)
{
    return std::string(file);
}

// The file's parsed copy, read again when the file changed on disk since it was read.
Profile& profileOf(const std::string& path)
{
    Profile& profile = g_profiles[path];
    if (profile.checked)
        return profile;
    const Stamp now = stampOfPath(path);
    if (!(now == profile.stamp) || !profile.doc) {
        std::string content;
        Stamp stamp;
        readFile(path, content, stamp);
        profile.doc.emplace(std::move(content));
        profile.stamp = stamp;
    }
    profile.checked = true;
    return profile;
}

bool canWrite(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
    }
    const std::string folder = folderOf(path);
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool flush(const std::string& path)
{
    const auto it = g_profiles.find(path);
    if (it == g_profiles.end())
        return true;
    Profile& profile = it->second;
    profile.checked = false;
    profile.writable = false;
    if (!profile.doc || !profile.doc->hasJournal())
        return true;

    bool ok;
    {
        FolderLock lock(folderOf(path));
        const Stamp now = stampOfPath(path);
        if (!(now == profile.stamp)) {
            // Someone else wrote the file since we read it: take theirs and put our writes on top.
            std::string content;
            Stamp stamp;
            if (!readFile(path, content, stamp)) {
                g_profiles.erase(it);
                return false;
            }
            profile.doc->rebase(std::move(content));
            profile.stamp = stamp;
        }
        if (profile.doc->changed()) {
            const std::string content = profile.doc->text();
            ok = replaceFile(path, content, profile.stamp);
        } else {
            ok = true;
        }
    }
    if (!ok) {
        // The copy no longer matches any file; the next access reads the disk again.
        g_profiles.erase(it);
        return false;
    }
    // The next round starts from the file as written.
    profile.doc.reset();
    return true;
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
    Profile& profile = profileOf(path);
    if (!profile.writable) {
        if (!canWrite(path))
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

} // namespace platform
