// The shell open on POSIX: resolves the file (shell_path_posix.cpp), decides by its type and content
// how it is opened, and starts the program or opener (shell_start_posix.cpp).
#include "shell.h"

#include "case_fold.h"
#include "codepage.h"
#include "shell_codes.h"
#include "shell_path_posix.h"
#include "shell_start_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

using namespace shellcode;
using namespace shellpath;
using shellstart::StartProgram;

// An 8-bit path of the program becomes a file name of this system here, and nowhere else.
std::string nativePath(const char* ansi)
{
    return codepage::ansiToUtf8(ansi != nullptr ? ansi : "");
}

bool isWindowsProgram(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    const std::string extension = FoldUtf8(path.substr(dot));
    return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

bool isOpenVerb(const char* operation)
{
    if (operation == nullptr || *operation == '\0')
        return true;
    return FoldUtf8(operation) == "open";
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
    name = nativePath(name.c_str());
    const std::string folderText = nativePath(directory);
    const std::string commandLine = codepage::ansiToUtf8(parameters != nullptr ? parameters : "");

    const std::string cwd = CurrentFolder();
    std::string folder = cwd;
    if (!folderText.empty()) {
        if (ResolvePath(folderText, cwd, folder) != 0 || !IsDirectory(folder))
            return kPathNotFound;
    }

    std::string target;
    int code = ResolvePath(name, folder, target);
    const bool relative = !HasDrivePrefix(name) && !IsSeparator(name.front());
    if (code != 0 && relative && folder != cwd) {
        std::string inCwd;
        if (ResolvePath(name, cwd, inCwd) == 0) {
            code = 0;
            target = inCwd;
        }
    }
    if (code != 0)
        return code;

    std::vector<std::string> args;
    std::string executable;
    if (IsDirectory(target)) {
        executable = FindOnPath("xdg-open");
        if (executable.empty())
            return kNoAssociation;
        args = {executable, target};
        return StartProgram(executable, args, folder);
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
        return StartProgram(executable, args, folder);
    }
    if (isWindowsProgram(target)) {
        executable = FindOnPath("wine");
        if (executable.empty())
            return kNoAssociation;
        args = {executable, target};
        for (std::string& arg : SplitCommandLine(commandLine))
            args.push_back(std::move(arg));
        return StartProgram(executable, args, folder);
    }
    executable = FindOnPath("xdg-open");
    if (executable.empty())
        return kNoAssociation;
    args = {executable, target};
    return StartProgram(executable, args, folder);
}

} // namespace platform
