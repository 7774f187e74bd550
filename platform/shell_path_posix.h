#pragma once

#include <cstddef>
#include <string>

// Path resolution of the POSIX shell open: paths in Windows' form ("\" or "/" as separator,
// an optional drive letter, any letter case) become real paths of this system.
namespace platform::shellpath {

// A real path and the length of its root, the part that ".." never climbs out of: "/" for a path of
// this system, the mapped folder for a path on a drive.
struct Location
{
    std::string path;
    std::size_t rootLength = 1;
};

// The shell's code for why a file or folder could not be opened, read or started (an errno value):
// a missing file is 2, a missing folder (`folder`, or one on the way) 3, no permission 5.
int CodeForErrno(int error, bool folder = false);

bool IsSeparator(char c);
bool HasDrivePrefix(const std::string& path);
bool IsDirectory(const std::string& path);

// The process's working folder, "/" when it cannot be read.
std::string CurrentFolder();

// Resolves a path against a base folder. Each component is matched exactly first, then without regard
// to case; where a folder holds several names that match (/TMP beside /tmp), each is tried, the exact
// one first and the others in byte order, and the first that leads to the file wins. A drive letter goes
// through the Windows compatibility prefix, and the result keeps that drive's root. Returns 0 with the real
// path, 2 when only the last component is missing, 3 when a folder on the way (or the drive) is missing, 5
// when a folder on the way may not be searched.
int ResolvePath(const std::string& path, const Location& base, Location& resolved);

// The full path of a program found on PATH, or "" when there is none.
std::string FindOnPath(const std::string& program);

} // namespace platform::shellpath
