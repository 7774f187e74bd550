// The shell open on POSIX: resolves the file (shell_path_posix.cpp), decides by its type and content
// how it is opened, and starts the program or opener (shell_start_posix.cpp).
#include "shell.h"

#include "case_fold.h"
#include "codepage.h"
#include "native_path.h"
#include "shell_codes.h"
#include "shell_path_posix.h"
#include "shell_start_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using namespace shellcode;
using namespace shellpath;
using shellstart::StartProgram;

// An 8-bit path of the program becomes a file name of this system here, and nowhere else.
std::string nativePath(const char* ansi)
{
    return NativeFileName(ansi != nullptr ? ansi : "");
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

std::intptr_t openWith(const char* opener, const std::string& target, const std::string& folder,
                       ShellStart& start)
{
    const std::string executable = FindOnPath(opener);
    if (executable.empty())
        return kNoAssociation;
    start = {executable, target, {executable, target}, folder};
    return 0;
}

// What the first bytes of a file say it is.
enum class Content
{
    Program,
    Other,
    Unreadable
};

// Reads the first bytes of a regular file. The file is opened without blocking and checked again
// once open, so that a file replaced by a FIFO or a device in between is never waited on.
Content sniff(const std::string& target)
{
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Content::Unreadable;
    struct stat st
    {};
    char head[4] = {};
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        do {
            got = ::read(fd, head, sizeof head);
        } while (got < 0 && errno == EINTR);
    }
    ::close(fd);
    if (got < 0)
        return Content::Unreadable;
    const bool elf = got >= 4 && std::memcmp(head,
                                             "\x7F"
                                             "ELF",
                                             4) == 0;
    const bool script = got >= 2 && head[0] == '#' && head[1] == '!';
    return elf || script ? Content::Program : Content::Other;
}

// Opens a resolved file by its type: a folder with the desktop's opener; a native program (an ELF
// file or a script) directly; a Windows program through wine; any other regular file with the
// desktop's opener. Anything else (a FIFO, a socket, a device) is refused with 11, "not a valid
// program", at once: reading it could wait for ever, and it is neither a program nor a document.
std::intptr_t openResolved(const std::string& target, const std::string& commandLine,
                           const std::string& folder, ShellStart& start)
{
    struct stat st
    {};
    if (::stat(target.c_str(), &st) != 0)
        return CodeForErrno(errno);
    if (S_ISDIR(st.st_mode))
        return openWith("xdg-open", target, folder, start);
    if (!S_ISREG(st.st_mode))
        return kBadFormat;

    switch (sniff(target)) {
    case Content::Unreadable:
        return kAccessDenied;
    case Content::Program: {
        if (::access(target.c_str(), X_OK) != 0)
            return kAccessDenied;
        std::vector<std::string> args = {target};
        for (std::string& arg : SplitCommandLine(commandLine))
            args.push_back(std::move(arg));
        start = {target, target, std::move(args), folder};
        return 0;
    }
    case Content::Other:
        break;
    }
    if (!isWindowsProgram(target))
        return openWith("xdg-open", target, folder, start);
    const std::string wine = FindOnPath("wine");
    if (wine.empty())
        return kNoAssociation;
    std::vector<std::string> args = {wine, target};
    for (std::string& arg : SplitCommandLine(commandLine))
        args.push_back(std::move(arg));
    start = {wine, target, std::move(args), folder};
    return 0;
}

} // namespace

std::intptr_t PlanShellOpen(const char* operation, const char* file, const char* parameters,
                            const char* directory, ShellStart& start)
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

    const Location cwd{CurrentFolder()};
    Location folder = cwd;
    if (!folderText.empty()) {
        if (ResolvePath(folderText, cwd, folder) != 0 || !IsDirectory(folder.path))
            return kPathNotFound;
    }

    Location target;
    int code = ResolvePath(name, folder, target);
    const bool relative = !HasDrivePrefix(name) && !IsSeparator(name.front());
    if (code != 0 && relative && folder.path != cwd.path) {
        Location inCwd;
        if (ResolvePath(name, cwd, inCwd) == 0) {
            code = 0;
            target = inCwd;
        }
    }
    if (code != 0)
        return code;
    return openResolved(target.path, commandLine, folder.path, start);
}

std::intptr_t ShellExecuteA(void* /*hwnd*/, const char* operation, const char* file, const char* parameters,
                            const char* directory, int /*showCmd*/)
{
    ShellStart start;
    const std::intptr_t code = PlanShellOpen(operation, file, parameters, directory, start);
    if (code != 0)
        return code;
    return StartProgram(start.program, start.arguments, start.folder);
}

} // namespace platform
