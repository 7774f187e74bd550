#include "platform/config_location.h"

#include "platform/native_path.h"
#include "platform/path_list.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool isFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool writable(const std::string& path, int mode)
{
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// The distribution's own folders: root can write them, but a program installed there is never a
// portable copy that keeps its settings beside itself.
bool systemFolder(const std::string& folder)
{
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/"}) {
        if (folder.rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}

// A program folder of an installation prefix (/usr/local/bin, ~/.local/bin, /opt/x/bin): the prefix's
// share/ holds the panel's desktop entry, documentation or data. Such a copy is installed, however
// writable its folder is, and keeps its settings where an installed copy does; uninstalling the
// prefix leaves nothing of the user's behind in it.
bool installPrefixFolder(const std::string& folder)
{
    const std::string share = folder + "../share/";
    return isFile(share + "applications/org.ventiro.Ventiro.desktop") || isFolder(share + "doc/ventiro") ||
           isFolder(share + "ventiro");
}

// An absolute folder from the environment; relative ones are ignored, as the base directory rules say.
std::string absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

bool makeFolders(const std::string& folder)
{
    std::size_t at = 1;
    while (at <= folder.size()) {
        std::size_t slash = folder.find('/', at);
        if (slash == std::string::npos)
            slash = folder.size();
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && !isFolder(part) && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        at = slash + 1;
    }
    return isFolder(folder);
}

bool readAll(const std::string& path, std::string& content)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        else
            content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

// Copies `source` to `target` unless `target` exists: written to a temporary file first and linked
// into place, so that two programs starting at once neither see half a file nor replace each other's.
void seed(const std::string& source, const std::string& target)
{
    std::string content;
    if (!readAll(source, content))
        return;
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return;
    bool ok = ::fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::link(temp.c_str(), target.c_str()) != 0) {
        // Fails harmlessly when the file appeared meanwhile: that one is kept.
    }
    ::unlink(temp.c_str());
}

// The location, with every name in the file system's spelling.
std::string nativeLocation(const std::string& programFolder, const std::string& name)
{
    const std::string folder = withSlash(programFolder);
    const std::string beside = folder + name;
    const bool besideExists = isFile(beside);
    if (!systemFolder(folder) && !installPrefixFolder(folder)) {
        if (besideExists && writable(beside, W_OK))
            return beside;
        if (isFolder(folder) && writable(folder, W_OK | X_OK))
            return beside;
    }

    std::string configHome = absoluteVariable("XDG_CONFIG_HOME");
    if (configHome.empty()) {
        const std::string home = absoluteVariable("HOME");
        configHome = (home.empty() ? std::string("/") : withSlash(home)) + ".config";
    }
    const std::string userFolder = withSlash(configHome) + "ventiro";
    const std::string userFile = userFolder + "/" + name;
    if (isFile(userFile) || !makeFolders(userFolder))
        return userFile;

    std::string source = besideExists ? beside : std::string();
    if (source.empty()) {
        const char* dirs = std::getenv("XDG_CONFIG_DIRS");
        for (const std::string& dir : SplitPathList(dirs != nullptr && *dirs != '\0' ? dirs : "/etc/xdg")) {
            if (source.empty() && !dir.empty() && dir[0] == '/' && isFile(withSlash(dir) + "ventiro/" + name))
                source = withSlash(dir) + "ventiro/" + name;
        }
    }
    if (!source.empty())
        seed(source, userFile);
    return userFile;
}

} // namespace

std::string ConfigFileLocation(const std::string& programFolder, const std::string& name)
{
    return AnsiFileName(nativeLocation(NativeFileName(programFolder), NativeFileName(name)));
}

std::string CommandLineIniFile(const std::string& argument, bool create)
{
    if (argument.empty())
        return {};
    std::string path = argument;
    if (path.front() != '/') {
        std::vector<char> buffer(4096);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE)
                return {};
            buffer.resize(buffer.size() * 2);
        }
        path = withSlash(buffer.data()) + path;
    }
    // Opened without blocking: a FIFO in its place must not stop the start.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create)
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {};
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular ? AnsiFileName(path) : std::string();
}

} // namespace platform
