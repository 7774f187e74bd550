#pragma once

#include <string>

namespace platform {

// The INI file `name` of the program whose executable lies in `programFolder` (ending in a
// separator). Both are file names as the profile functions take them.
//
// Beside the executable when that folder is writable or already holds a writable file of that name:
// the portable copy. Otherwise (an installed copy: a folder the user cannot write, one below /usr, or
// the bin/ of an installation prefix whose ../share/ holds the panel's desktop entry or data, such as
// ~/.local/bin) the file lives in the user's configuration folder and is created there on first use
// as a copy of the read-only file beside the executable, so that an administrator can hand every
// user the same start; a file that already exists there is never replaced:
// - POSIX: $XDG_CONFIG_HOME/ventiro/ (default ~/.config/ventiro/); where no file is beside the
//   executable, the first ventiro/<name> in $XDG_CONFIG_DIRS (default /etc/xdg) is the start.
// - Windows: %APPDATA%\Ventiro\ (a copy under Program Files, for one). An empty `programFolder` (one
//   that the code page cannot spell) goes there too.
// Where nothing can be created the path is returned all the same: the first save then reports that
// it cannot write there. Empty only when there is no file name to give at all (Windows: neither the
// executable's folder nor the user's folder can be spelled).
std::string ConfigFileLocation(const std::string& programFolder, const std::string& name);

// The INI file named on the command line (`argument`, as the system passed it), as a file name the
// profile functions take, made absolute against the working folder. It must be a file that can be
// read; where it does not exist yet and `create` is set, it is created empty. Empty when neither
// works.
std::string CommandLineIniFile(const std::string& argument, bool create);

} // namespace platform
