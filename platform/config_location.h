#pragma once

#include <string>

namespace platform {

// The INI file `name` of the program whose executable lies in `programFolder` (ending in a
// separator). Both are file names as the profile functions take them.
//
// Beside the executable when that folder is writable or already holds a writable file of that name:
// the portable copy, and always the rule on Windows. Otherwise (an installed copy: a folder the user
// cannot write, one below /usr, or the bin/ of an installation prefix whose ../share/ holds the
// panel's desktop entry or data, such as ~/.local/bin) the file lives in the user's configuration
// folder, $XDG_CONFIG_HOME/ventiro/ (default ~/.config/ventiro/), and is created there on first use
// as a copy of the read-only file beside the executable, or else of the first ventiro/<name> in
// $XDG_CONFIG_DIRS (default /etc/xdg), so that an administrator can hand every user the same start.
// A file that already exists there is never replaced. Where nothing can be created the path is
// returned all the same: the first save then reports that it cannot write there.
std::string ConfigFileLocation(const std::string& programFolder, const std::string& name);

} // namespace platform
