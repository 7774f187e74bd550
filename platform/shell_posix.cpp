#include "shell.h"

#include "codepage.h"
#include "session_bus.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::intptr_t kStarted = 42;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kOutOfMemory = 8;
constexpr int kBadFormat = 11;
constexpr int kSharingViolation = 26;
constexpr int kNoAssociation = 31;

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool hasDrivePrefix(const std::string& path)
{
    return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':';
}

bool isDirectory(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Folds a UTF-8 name for a comparison without regard to case: the ASCII letters and the letters
// that have a case partner in Windows-1252 (the Latin-1 letters, S/Z caron, OE, Y diaeresis).
std::string foldName(const std::string& name)
{
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 'A' && c <= 'Z') {
            folded += static_cast<char>(c + 32);
            continue;
        }
        if (i + 1 < name.size() && (c == 0xC3 || c == 0xC5)) {
            const unsigned char d = static_cast<unsigned char>(name[i + 1]);
            unsigned char lead = c;
            unsigned char trail = d;
            if (c == 0xC3 && d >= 0x80 && d <= 0x9E && d != 0x97) {
                trail = static_cast<unsigned char>(d + 0x20);
            } else if (c == 0xC5 && (d == 0xA0 || d == 0x92 || d == 0xBD)) {
                trail = static_cast<unsigned char>(d + 1);
            } else if (c == 0xC5 && d == 0xB8) {
                lead = 0xC3;
                trail = 0xBF;
            }
            folded += static_cast<char>(lead);
            folded += static_cast<char>(trail);
            ++i;
            continue;
        }
        folded += static_cast<char>(c);
    }
    return folded;
}

// Finds a name in a folder: the exact name if it exists, otherwise the entry that matches without
// regard to case, the first in byte order when several do.
bool findEntry(const std::string& folder, const std::string& name, std::string& found)
{
    struct stat st
    {};
    if (::lstat(joinPath(folder, name).c_str(), &st) == 0) {
        found = name;
        return true;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    const std::string wanted = foldName(name);
    bool any = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..")
            continue;
        if (foldName(candidate) == wanted && (!any || candidate < found)) {
            found = candidate;
            any = true;
        }
    }
    ::closedir(dir);
    return any;
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "/";
}

// The folder a drive letter is mapped to by the Windows compatibility prefix, or "" when there is none.
std::string driveFolder(char letter)
{
    const char* prefix = std::getenv("WINEPREFIX");
    const std::string root =
        prefix != nullptr && *prefix != '\0' ? std::string(prefix) : homeFolder() + "/.wine";
    const char lower = static_cast<char>(letter >= 'A' && letter <= 'Z' ? letter + 32 : letter);
    const std::string folder = root + "/dosdevices/" + lower + ":";
    return isDirectory(folder) ? folder : std::string();
}

// Resolves a path in the reference OS's form against a base folder. Returns 0 with the real path,
// 2 when only the last component is missing, 3 when a folder on the way (or the drive) is missing.
int resolvePath(const std::string& path, const std::string& base, std::string& resolved)
{
    std::string current;
    std::size_t start = 0;
    if (hasDrivePrefix(path)) {
        current = driveFolder(path[0]);
        if (current.empty())
            return kPathNotFound;
        start = 2;
    } else if (!path.empty() && isSeparator(path[0])) {
        current.assign(1, '/');
    } else {
        current = base;
    }

    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = start; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i])) {
            if (!part.empty() && part != ".")
                parts.push_back(part);
            part.clear();
        } else {
            part += path[i];
        }
    }

    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (!isDirectory(current))
            return kPathNotFound;
        if (parts[k] == "..") {
            current = parentOf(current);
            continue;
        }
        std::string found;
        if (!findEntry(current, parts[k], found))
            return k + 1 == parts.size() ? kFileNotFound : kPathNotFound;
        current = joinPath(current, found);
    }
    resolved = current;
    return 0;
}

std::string currentFolder()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The full path of a program found on PATH, or "" when there is none.
std::string findOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return {};
    const std::string list = path;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string folder = end > start ? list.substr(start, end - start) : std::string(".");
        const std::string candidate = joinPath(folder, program);
        struct stat st
        {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

int codeForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ELOOP:
    case ENAMETOOLONG:
        return kFileNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EACCES:
    case EPERM:
        return kAccessDenied;
    case ENOEXEC:
        return kBadFormat;
    case ENOMEM:
    case EAGAIN:
    case E2BIG:
        return kOutOfMemory;
    case ETXTBSY:
        return kSharingViolation;
    default:
        return 0;
    }
}

// What the child reports through the pipe when it cannot start the program.
struct StartFailure
{
    int stage; // 0 session or fork, 1 working folder, 2 exec
    int error;
};

[[noreturn]] void reportAndExit(int fd, int stage, int error)
{
    const StartFailure failure{stage, error};
    [[maybe_unused]] const ssize_t written = ::write(fd, &failure, sizeof failure);
    ::_exit(127);
}

// Starts the program detached from the panel: a double fork leaves no zombie, the program gets its
// own session (it outlives the panel) and /dev/null as its standard input. A failure in the child
// comes back through a close-on-exec pipe that closes without data when exec succeeds.
std::intptr_t startDetached(const std::string& executable, const std::vector<std::string>& args,
                            const std::string& folder)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The environment the panel was started with (not the one it set up for itself).
    std::vector<std::string> environment = ChildEnvironment();
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return codeForErrno(errno);

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return codeForErrno(error);
    }
    if (child == 0) {
        ::close(fds[0]);
        if (::setsid() < 0)
            reportAndExit(fds[1], 0, errno);
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
            reportAndExit(fds[1], 0, errno);
        if (grandchild > 0)
            ::_exit(0);
        // The program starts with the signals as a fresh process has them, not with the panel's
        // handlers (which would otherwise run here until exec) or its ignored signals.
        struct sigaction standard = {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &standard, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(folder.c_str()) != 0)
            reportAndExit(fds[1], 1, errno);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0 && devNull != STDIN_FILENO) {
            ::dup2(devNull, STDIN_FILENO);
            ::close(devNull);
        }
        ::execve(executable.c_str(), argv.data(), envp.data());
        reportAndExit(fds[1], 2, errno);
    }

    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    StartFailure failure{};
    std::size_t got = 0;
    while (got < sizeof failure) {
        const ssize_t n = ::read(fds[0], reinterpret_cast<char*>(&failure) + got, sizeof failure - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fds[0]);
    if (got < sizeof failure)
        return kStarted;
    if (failure.stage == 1 && (failure.error == ENOENT || failure.error == ENOTDIR))
        return kPathNotFound;
    return codeForErrno(failure.error);
}

bool isWindowsProgram(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    const std::string extension = foldName(path.substr(dot));
    return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

bool isOpenVerb(const char* operation)
{
    if (operation == nullptr || *operation == '\0')
        return true;
    return foldName(operation) == "open";
}

} // namespace

std::intptr_t ShellExecuteA(void* /*hwnd*/, const char* operation, const char* file, const char* parameters,
                            const char* directory, int /*showCmd*/)
{
    if (!isOpenVerb(operation))
        return kNoAssociation;

    std::string name = file != nullptr ? file : "";
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.empty() || name.front() == ' ')
        return kFileNotFound;
    name = codepage::ansiToUtf8(name);
    const std::string folderText = codepage::ansiToUtf8(directory != nullptr ? directory : "");
    const std::string commandLine = codepage::ansiToUtf8(parameters != nullptr ? parameters : "");

    const std::string cwd = currentFolder();
    std::string folder = cwd;
    if (!folderText.empty()) {
        if (resolvePath(folderText, cwd, folder) != 0 || !isDirectory(folder))
            return kPathNotFound;
    }

    std::string target;
    int code = resolvePath(name, folder, target);
    const bool relative = !hasDrivePrefix(name) && !isSeparator(name.front());
    if (code != 0 && relative && folder != cwd) {
        std::string inCwd;
        if (resolvePath(name, cwd, inCwd) == 0) {
            code = 0;
            target = inCwd;
        }
    }
    if (code != 0)
        return code;

    std::vector<std::string> args;
    std::string executable;
    if (isDirectory(target)) {
        executable = findOnPath("xdg-open");
        if (executable.empty())
            return kNoAssociation;
        args = {executable, target};
        return startDetached(executable, args, folder);
    }

    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return kFileNotFound;
        return error == ENOTDIR ? kPathNotFound : kAccessDenied;
    }
    char head[4] = {};
    const ssize_t got = ::read(fd, head, sizeof head);
    const int readError = errno;
    ::close(fd);
    if (got < 0)
        return readError == EISDIR ? kNoAssociation : kAccessDenied;

    const bool elf = got >= 4 && std::memcmp(head,
                                             "\x7F"
                                             "ELF",
                                             4) == 0;
    const bool script = got >= 2 && head[0] == '#' && head[1] == '!';
    if (elf || script) {
        if (::access(target.c_str(), X_OK) != 0)
            return kAccessDenied;
        executable = target;
        args.push_back(target);
        for (std::string& arg : SplitCommandLine(commandLine))
            args.push_back(std::move(arg));
        return startDetached(executable, args, folder);
    }
    if (isWindowsProgram(target)) {
        executable = findOnPath("wine");
        if (executable.empty())
            return kNoAssociation;
        args = {executable, target};
        for (std::string& arg : SplitCommandLine(commandLine))
            args.push_back(std::move(arg));
        return startDetached(executable, args, folder);
    }
    executable = findOnPath("xdg-open");
    if (executable.empty())
        return kNoAssociation;
    args = {executable, target};
    return startDetached(executable, args, folder);
}

} // namespace platform
