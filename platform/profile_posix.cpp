#include "blanks.h"
#include "platform/native_path.h"
#include "platform/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// One line of the file, without its line end. Key lines know their key, matched without case.
struct Line
{
    std::string text;
    std::string key; // lower-case key of a key line
    bool isKey = false;
    bool dead = false; // removed; not written out
};

// A header line and the lines up to the next header. The first block of a file has no header.
struct Block
{
    bool hasHeader = false;
    std::string header;
    std::vector<Line> lines;
    std::unordered_map<std::string, std::size_t> keys; // first live line of each key
    std::size_t insertAt = 0;                          // after the last key line
};

// A parsed file with an index of its sections: the blocks of each name, first one first.
struct Document
{
    std::vector<Block> blocks;
    std::unordered_map<std::string, std::vector<std::size_t>> sections;
    std::unordered_map<std::string, std::size_t> firstLive; // offset into sections[name]
};

void classify(Line& line, Block& block, std::size_t index)
{
    const std::size_t eq = line.text.find('=');
    if (eq == std::string::npos)
        return;
    line.isKey = true;
    line.key = lowered(trimmed(std::string_view(line.text).substr(0, eq)));
    block.keys.emplace(line.key, index);
    block.insertAt = index + 1;
}

Document parse(const std::string& content)
{
    Document doc;
    doc.blocks.emplace_back();
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        std::size_t next;
        if (end == std::string::npos) {
            end = content.size();
            next = end;
        } else if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') {
            next = end + 2;
        } else {
            next = end + 1;
        }
        std::string text = content.substr(pos, end - pos);
        pos = next;

        std::size_t first = 0;
        while (first < text.size() && isBlank(text[first]))
            ++first;
        if (first < text.size() && text[first] == '[') {
            const std::size_t close = text.find(']', first + 1);
            const std::size_t nameEnd = close == std::string::npos ? text.size() : close;
            const std::string name =
                lowered(trimmed(std::string_view(text).substr(first + 1, nameEnd - first - 1)));
            Block block;
            block.hasHeader = true;
            block.header = std::move(text);
            doc.sections[name].push_back(doc.blocks.size());
            doc.blocks.push_back(std::move(block));
            continue;
        }
        Block& block = doc.blocks.back();
        Line line;
        line.text = std::move(text);
        if (!(first < line.text.size() && line.text[first] == ';'))
            classify(line, block, block.lines.size());
        block.lines.push_back(std::move(line));
    }
    return doc;
}

std::string serialize(const Document& doc)
{
    std::string out;
    for (const Block& block : doc.blocks) {
        if (block.hasHeader) {
            out += block.header;
            out += "\r\n";
        }
        for (const Line& line : block.lines) {
            if (line.dead)
                continue;
            out += line.text;
            out += "\r\n";
        }
    }
    return out;
}

Block* findSection(Document& doc, const std::string& name)
{
    const auto it = doc.sections.find(name);
    if (it == doc.sections.end())
        return nullptr;
    const std::size_t offset = doc.firstLive[name];
    if (offset >= it->second.size())
        return nullptr;
    return &doc.blocks[it->second[offset]];
}

std::string valueOf(const Line& line)
{
    std::string value = trimmed(std::string_view(line.text).substr(line.text.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// A write as the caller made it, kept so that it can be applied again on a fresh copy of the file.
struct Operation
{
    std::string section;
    std::optional<std::string> key;
    std::optional<std::string> value;
};

// Applies one write to the parsed copy; true when the copy changed.
bool apply(Document& doc, const Operation& op)
{
    const std::string name = lowered(op.section);
    Block* block = findSection(doc, name);
    if (!op.key) {
        if (!block)
            return false;
        block->hasHeader = false;
        for (Line& line : block->lines)
            if (line.isKey)
                line.dead = true;
        block->keys.clear();
        ++doc.firstLive[name];
        return true;
    }
    const std::string key = lowered(*op.key);
    if (!op.value) {
        if (!block)
            return false;
        const auto it = block->keys.find(key);
        if (it == block->keys.end())
            return false;
        const std::size_t index = it->second;
        block->lines[index].dead = true;
        block->keys.erase(it);
        // A later duplicate of the key now is the first one.
        for (std::size_t i = index + 1; i < block->lines.size(); ++i) {
            const Line& line = block->lines[i];
            if (line.isKey && !line.dead && line.key == key) {
                block->keys.emplace(key, i);
                break;
            }
        }
        return true;
    }
    if (!block) {
        Block fresh;
        fresh.hasHeader = true;
        fresh.header = "[" + op.section + "]";
        doc.sections[name].push_back(doc.blocks.size());
        doc.blocks.push_back(std::move(fresh));
        block = &doc.blocks.back();
    }
    const auto it = block->keys.find(key);
    if (it != block->keys.end()) {
        Line& line = block->lines[it->second];
        std::string text =
            trimmed(std::string_view(line.text).substr(0, line.text.find('='))) + "=" + *op.value;
        if (text == line.text)
            return false;
        line.text = std::move(text);
        return true;
    }
    Line line;
    line.text = *op.key + "=" + *op.value;
    line.key = key;
    line.isKey = true;
    const std::size_t at = block->insertAt;
    block->lines.insert(block->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    block->keys.emplace(key, at);
    block->insertAt = at + 1;
    return true;
}

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
    Document doc;
    Stamp stamp;
    bool checked = false;  // compared with the disk since the last flush
    bool writable = false; // known to be writable since the last flush
    bool changed = false;  // the copy differs from the file on disk
    std::vector<Operation> pending;
};

std::mutex g_mutex;
std::unordered_map<std::string, Profile> g_profiles;

// The file's parsed copy, read again when the file changed on disk since it was read.
Profile& profileOf(const std::string& path)
{
    Profile& profile = g_profiles[path];
    if (profile.checked)
        return profile;
    const Stamp now = stampOfPath(path);
    if (!(now == profile.stamp) || profile.doc.blocks.empty()) {
        std::string content;
        Stamp stamp;
        readFile(path, content, stamp);
        profile.doc = parse(content);
        profile.stamp = stamp;
        profile.pending.clear();
        profile.changed = false;
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
    if (profile.pending.empty())
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
            profile.doc = parse(content);
            profile.stamp = stamp;
            profile.changed = false;
            for (const Operation& op : profile.pending)
                profile.changed = apply(profile.doc, op) || profile.changed;
        }
        if (profile.changed) {
            const std::string content = serialize(profile.doc);
            ok = replaceFile(path, content, profile.stamp);
            // Start the next round from the file as written, without the removed lines.
            if (ok)
                profile.doc = parse(content);
        } else {
            ok = true;
        }
    }
    if (!ok) {
        // The copy no longer matches any file; the next access reads the disk again.
        g_profiles.erase(it);
        return false;
    }
    profile.pending.clear();
    profile.changed = false;
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
    Profile& profile = profileOf(NativeFileName(file));
    Block* block = findSection(profile.doc, lowered(trimmed(section)));
    if (!block)
        return fallback;
    const auto it = block->keys.find(lowered(trimmed(key)));
    if (it == block->keys.end())
        return fallback;
    return valueOf(block->lines[it->second]);
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file)
{
    if (!file)
        return false;
    const std::lock_guard<std::mutex> guard(g_mutex);
    const std::string path = NativeFileName(file);
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
    Operation op;
    op.section = trimmed(section);
    if (key) {
        op.key = trimmed(key);
        if (value)
            op.value = std::string(value);
    }
    profile.changed = apply(profile.doc, op) || profile.changed;
    profile.pending.push_back(std::move(op));
    return true;
}

} // namespace platform
