#include "shell.h"

#include "codepage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr std::intptr_t kStarted = 42;
constexpr std::intptr_t kOutOfMemory = 8;
constexpr std::intptr_t kFileNotFound = 2;
constexpr std::intptr_t kPathNotFound = 3;
constexpr std::intptr_t kAccessDenied = 5;
constexpr std::intptr_t kBadFormat = 11;
constexpr std::intptr_t kNoAssociation = 31;

struct Resolved
{
    std::string path;
    std::intptr_t error = 0; // 0: found
};

bool exists(const std::string& path, struct stat* st = nullptr)
{
    struct stat local;
    return ::stat(path.c_str(), st ? st : &local) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return exists(path, &st) && S_ISDIR(st.st_mode);
}

// The entry of `dir` named `name`: the exact name when it exists, else the first name in byte order
// that matches without regard to case. The paths come from a file system that ignores case.
std::optional<std::string> matchComponent(const std::string& dir, const std::string& name)
{
    const std::string base = dir.empty() ? "." : dir;
    if (exists(base + "/" + name))
        return name;
    DIR* d = ::opendir(base.c_str());
    if (d == nullptr)
        return std::nullopt;
    std::optional<std::string> best;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0 && (!best || std::string(e->d_name) < *best))
            best = e->d_name;
    }
    ::closedir(d);
    return best;
}

std::string wineDrive(char letter)
{
    const char* prefix = std::getenv("WINEPREFIX");
    std::string root;
    if (prefix != nullptr && *prefix != '\0') {
        root = prefix;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr)
            return std::string();
        root = std::string(home) + "/.wine";
    }
    const char lower = static_cast<char>(letter >= 'A' && letter <= 'Z' ? letter - 'A' + 'a' : letter);
    return root + "/dosdevices/" + lower + ":";
}

// Resolves a path in the reference form ("\" or "/" separators, an optional drive prefix) against
// `base`, component by component. A missing last component is "file not found" (2), a missing folder
// on the way "path not found" (3).
Resolved resolve(std::string path, const std::string& base)
{
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    std::string current;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        current = wineDrive(path[0]);
        if (current.empty() || !isDirectory(current))
            return {std::string(), kPathNotFound};
        path.erase(0, 2);
    } else if (!path.empty() && path[0] == '/') {
        current = "";
    } else {
        current = base;
    }

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (path.starts_with("/") && current.empty())
        current = "/";

    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const std::string& part = parts[i];
        std::string next;
        if (part == "." || part == "..") {
            next = part;
        } else if (auto match = matchComponent(current, part)) {
            next = *match;
        } else {
            return {std::string(), last ? kFileNotFound : kPathNotFound};
        }
        if (current.empty())
            current = next;
        else if (current.back() == '/')
            current += next;
        else
            current += "/" + next;
        if (!last && !isDirectory(current))
            return {std::string(), kPathNotFound};
    }
    if (current.empty())
        current = ".";
    return {current, 0};
}

std::string findOnPath(const char* program)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return std::string();
    std::string all(path);
    std::size_t start = 0;
    while (start <= all.size()) {
        const std::size_t colon = all.find(':', start);
        std::string dir = all.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty())
            dir = ".";
        const std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0 && !isDirectory(candidate))
            return candidate;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return std::string();
}

bool hasWindowsProgramExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    const std::string ext = path.substr(dot);
    for (const char* known : {".exe", ".com", ".bat", ".cmd"}) {
        if (::strcasecmp(ext.c_str(), known) == 0)
            return true;
    }
    return false;
}

std::intptr_t codeOfErrno(int error)
{
    switch (error) {
    case ENOENT:
        return kFileNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EACCES:
    case EPERM:
        return kAccessDenied;
    case ENOEXEC:
        return kBadFormat;
    case ENOMEM:
    case E2BIG:
        return kOutOfMemory;
    default:
        return kNoAssociation;
    }
}

// Starts argv[0] with the working folder `cwd` in a session of its own, standard input from
// /dev/null, and does not wait for it. The grandchild is reparented to init, so no zombie remains.
// An exec that fails reaches us through a close-on-exec pipe.
std::intptr_t spawnDetached(const std::vector<std::string>& args, const std::string& cwd)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return kOutOfMemory;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return kOutOfMemory;
    }
    if (child == 0) {
        ::close(fds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        ::setsid();
        const int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) {
            ::dup2(devnull, STDIN_FILENO);
            if (devnull != STDIN_FILENO)
                ::close(devnull);
        }
        int error = 0;
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
            error = ENOTDIR;
        } else {
            ::execv(argv[0], argv.data());
            error = errno;
        }
        ssize_t ignored = ::write(fds[1], &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }

    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    do {
        n = ::read(fds[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && n <= 0)
        return kOutOfMemory; // the intermediate child could not fork
    if (n == static_cast<ssize_t>(sizeof error))
        return codeOfErrno(error);
    return kStarted;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArg) {
                args.push_back(current);
                current.clear();
                inArg = false;
            }
            ++i;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArg)
        args.push_back(current);
    return args;
}

std::intptr_t ShellExecuteA(void* /*owner*/, const char* /*operation*/, const char* file,
                            const char* parameters, const char* directory, int /*showCmd*/)
{
    std::string name = codepage::ansiToUtf8(file ? file : "");
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.pop_back();
    if (name.empty() || name.front() == ' ' || name.front() == '\t')
        return kFileNotFound;

    char cwdBuffer[4096];
    const std::string cwd = ::getcwd(cwdBuffer, sizeof cwdBuffer) ? cwdBuffer : ".";

    std::string workDir;
    const std::string dirText = codepage::ansiToUtf8(directory ? directory : "");
    if (!dirText.empty()) {
        const Resolved dir = resolve(dirText, cwd);
        if (dir.error != 0 || !isDirectory(dir.path))
            return kPathNotFound;
        workDir = dir.path;
    }

    Resolved target = resolve(name, workDir.empty() ? cwd : workDir);
    const bool relative =
        !name.starts_with("/") && !name.starts_with("\\") && !(name.size() >= 2 && name[1] == ':');
    if (target.error != 0 && relative && !workDir.empty())
        target = resolve(name, cwd);
    if (target.error != 0)
        return target.error;

    std::string program = target.path;
    if (program.front() != '/')
        program = cwd + "/" + program;

    std::vector<std::string> args;
    if (isDirectory(program)) {
        const std::string opener = findOnPath("xdg-open");
        if (opener.empty())
            return kNoAssociation;
        args = {opener, program};
    } else {
        const int fd = ::open(program.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return codeOfErrno(errno);
        char head[4] = {};
        const ssize_t n = ::read(fd, head, sizeof head);
        ::close(fd);
        const bool native = (n >= 4 && std::memcmp(head,
                                                   "\x7f"
                                                   "ELF",
                                                   4) == 0) ||
                            (n >= 2 && head[0] == '#' && head[1] == '!');
        if (native) {
            if (::access(program.c_str(), X_OK) != 0)
                return kAccessDenied;
            args = {program};
            for (std::string& a : SplitCommandLine(codepage::ansiToUtf8(parameters ? parameters : "")))
                args.push_back(std::move(a));
        } else if (hasWindowsProgramExtension(program)) {
            const std::string wine = findOnPath("wine");
            if (wine.empty())
                return kNoAssociation;
            args = {wine, program};
            for (std::string& a : SplitCommandLine(codepage::ansiToUtf8(parameters ? parameters : "")))
                args.push_back(std::move(a));
        } else {
            const std::string opener = findOnPath("xdg-open");
            if (opener.empty())
                return kNoAssociation;
            args = {opener, program};
        }
    }
    return spawnDetached(args, workDir);
}

} // namespace platform
