#include "shell_path_posix.h"

#include "case_fold.h"
#include "shell_codes.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::shellpath {
namespace {

using namespace shellcode;

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
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
    const std::string wanted = FoldUtf8(name);
    bool any = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..")
            continue;
        if (FoldUtf8(candidate) == wanted && (!any || candidate < found)) {
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
    return IsDirectory(folder) ? folder : std::string();
}

} // namespace

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool HasDrivePrefix(const std::string& path)
{
    return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':';
}

bool IsDirectory(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentFolder()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

int ResolvePath(const std::string& path, const std::string& base, std::string& resolved)
{
    std::string current;
    std::size_t start = 0;
    if (HasDrivePrefix(path)) {
        current = driveFolder(path[0]);
        if (current.empty())
            return kPathNotFound;
        start = 2;
    } else if (!path.empty() && IsSeparator(path[0])) {
        current.assign(1, '/');
    } else {
        current = base;
    }

    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = start; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (!part.empty() && part != ".")
                parts.push_back(part);
            part.clear();
        } else {
            part += path[i];
        }
    }

    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (!IsDirectory(current))
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

std::string FindOnPath(const std::string& program)
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

} // namespace platform::shellpath
