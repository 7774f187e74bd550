#include "shell_path_posix.h"

#include "case_fold.h"
#include "path_list.h"
#include "shell_codes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
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

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A folder's names by their folded spelling, each folded spelling with every name that has it, in
// byte order. A listing is kept while the folder's change stamps are as they were when it was read:
// any entry created, removed or renamed changes them.
struct Listing
{
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified = {};
    timespec changed = {};
    std::unordered_map<std::string, std::vector<std::string>> byFold;
};

// A stamp only tells changes apart that lie further apart than the file system's clock step (up to
// two seconds on some file systems), so a listing of a folder changed more recently than that is
// read again next time.
constexpr std::time_t kSettledSeconds = 3;
constexpr std::size_t kMaxListings = 64;

std::mutex g_listingsMutex;
std::unordered_map<std::string, Listing> g_listings;

bool readListing(const std::string& folder, const struct stat& st, Listing& listing)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    listing.device = st.st_dev;
    listing.inode = st.st_ino;
    listing.modified = st.st_mtim;
    listing.changed = st.st_ctim;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        listing.byFold[FoldUtf8(name)].push_back(name);
    }
    ::closedir(dir);
    for (auto& [fold, names] : listing.byFold)
        std::sort(names.begin(), names.end());
    return true;
}

// The names in the folder that match the wanted folded spelling, in byte order.
std::vector<std::string> findFolded(const std::string& folder, const struct stat& st,
                                    const std::string& wanted)
{
    const std::lock_guard<std::mutex> lock(g_listingsMutex);
    const auto cached = g_listings.find(folder);
    const Listing* listing = nullptr;
    if (cached != g_listings.end() && cached->second.device == st.st_dev &&
        cached->second.inode == st.st_ino && sameTime(cached->second.modified, st.st_mtim) &&
        sameTime(cached->second.changed, st.st_ctim)) {
        listing = &cached->second;
    }
    Listing fresh;
    if (listing == nullptr) {
        timespec now = {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (!readListing(folder, st, fresh))
            return {};
        if (st.st_ctim.tv_sec + kSettledSeconds < now.tv_sec &&
            st.st_mtim.tv_sec + kSettledSeconds < now.tv_sec) {
            if (g_listings.size() >= kMaxListings)
                g_listings.clear();
            listing = &(g_listings[folder] = std::move(fresh));
        } else {
            listing = &fresh;
        }
    }
    const auto match = listing->byFold.find(wanted);
    return match == listing->byFold.end() ? std::vector<std::string>() : match->second;
}

// Resolves parts[k...] from the folder `current`. A component may have several spellings in a folder
// (/TMP beside /tmp): the exact one is tried first, then the others in byte order, and the first that
// leads to the last component wins. The folder is listed only when the exact spelling does not lead
// there. `reached` is the number of components that could be matched; of the failed spellings the
// one that got furthest gives the code.
int resolveFrom(const std::vector<std::string>& parts, std::size_t k, Location current, Location& resolved,
                std::size_t& reached)
{
    for (; k < parts.size(); ++k) {
        reached = k;
        struct stat st
        {};
        if (::stat(current.path.c_str(), &st) != 0)
            return CodeForErrno(errno, true);
        if (!S_ISDIR(st.st_mode))
            return kPathNotFound;
        if (parts[k] == "..") {
            // As on Windows, ".." at the root (of a drive, or of the file system) stays there.
            if (current.path.size() > current.rootLength)
                current.path = parentOf(current.path);
            continue;
        }
        int code = k + 1 == parts.size() ? kFileNotFound : kPathNotFound;
        std::size_t furthest = k;
        const auto tryName = [&](const std::string& name) {
            Location next = current;
            next.path = joinPath(current.path, name);
            std::size_t depth = k + 1;
            const int result = resolveFrom(parts, k + 1, next, resolved, depth);
            if (result != 0 && depth > furthest) {
                code = result;
                furthest = depth;
            }
            return result == 0;
        };
        struct stat entry
        {};
        if (::lstat(joinPath(current.path, parts[k]).c_str(), &entry) == 0) {
            if (tryName(parts[k]))
                return 0;
        } else if (errno == EACCES) {
            return kAccessDenied;
        }
        for (const std::string& name : findFolded(current.path, st, FoldUtf8(parts[k]))) {
            if (name != parts[k] && tryName(name))
                return 0;
        }
        reached = furthest;
        return code;
    }
    resolved = current;
    return 0;
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

int CodeForErrno(int error, bool folder)
{
    switch (error) {
    case ENOENT:
    case ELOOP:
    case ENAMETOOLONG:
        return folder ? kPathNotFound : kFileNotFound;
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
        return kOutOfResources;
    }
}

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

int ResolvePath(const std::string& path, const Location& base, Location& resolved)
{
    Location current;
    std::size_t start = 0;
    if (HasDrivePrefix(path)) {
        current.path = driveFolder(path[0]);
        if (current.path.empty())
            return kPathNotFound;
        current.rootLength = current.path.size();
        start = 2;
    } else if (!path.empty() && IsSeparator(path[0])) {
        current.path.assign(1, '/');
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

    std::size_t reached = 0;
    return resolveFrom(parts, 0, current, resolved, reached);
}

std::string FindOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return {};
    for (const std::string& folder : SplitPathList(path)) {
        const std::string candidate = joinPath(folder.empty() ? "." : folder, program);
        struct stat st
        {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace platform::shellpath
