#include "launch_test_support_posix.h"
#include "platform/path_list.h"
#include "platform/shell.h"
#include "platform/shell_codes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

using namespace launchtest;
using platform::ShellExecuteA;
using namespace platform::shellcode;

std::intptr_t open(const std::string& file, const std::string& params, const std::string& dir)
{
    return ShellExecuteA(nullptr, "open", file.c_str(), params.c_str(), dir.c_str(), 1);
}

const fs::perms rw = fs::perms::owner_read | fs::perms::owner_write;

// Runs the shell open in a child process, as an unprivileged user when asked (and when this test runs
// as root: permissions mean nothing to root), and gives it ten seconds to answer; nullopt when it
// did not answer in time, that is, when it hangs.
std::optional<int> openInChild(const std::string& file, const std::string& dir, bool unprivileged)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (unprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(255);
        ::_exit(static_cast<int>(open(file, "-", dir) & 0xFF));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

class Shell : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directory(folder.path() / "prefix");
        ::setenv("WINEPREFIX", (folder.path() / "prefix").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("WINEPREFIX"); }

    TempDir folder;
    fs::path record() const { return folder.path() / "record"; }
};

TEST(SplitCommandLine, FollowsTheCRuntimeRules)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"  a   b  ", {"a", "b"}},
        {"\"a b\" c", {"a b", "c"}},
        {"\"\"", {""}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"a\\b", {"a\\b"}},
        {"a\\\\b", {"a\\\\b"}},
        {"a\\\"b", {"a\"b"}},
        {"a\\\\\"b c\"", {"a\\b c"}},
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"\"unterminated x", {"unterminated x"}},
        {"trailing\\", {"trailing\\"}},
        {"; | $(x) `y`", {";", "|", "$(x)", "`y`"}},
    };
    for (const auto& [line, args] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(platform::SplitCommandLine(line), args);
    }
}

TEST_F(Shell, StartsANativeProgramFoundWithoutRegardToCase)
{
    fs::create_directories(folder.path() / "Tools" / "Bin");
    installHelper(folder.path() / "Tools" / "Bin", "Rec");
    RecordTo to(record());
    const std::string dir = folder.str() + "\\TOOLS\\bin\\";
    EXPECT_GT(open("REC  ", "x \"y z\"", dir), kLastError);
    EXPECT_TRUE(noChildLeft());
    const auto rec = waitForRecord(record());
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->cwd, (folder.path() / "Tools" / "Bin").string());
    EXPECT_EQ(rec->argv, (std::vector<std::string>{(folder.path() / "Tools/Bin/Rec").string(), "x", "y z"}));
}

TEST_F(Shell, ProgramStartsWithNoSignalIgnoredOrBlocked)
{
    // The panel ignores and handles signals of its own; the program it starts must not inherit that.
    installHelper(folder.path(), "rec");
    RecordTo to(record());
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction oldPipe = {};
    struct sigaction oldHup = {};
    ::sigaction(SIGPIPE, &ignore, &oldPipe);
    ::sigaction(SIGHUP, &ignore, &oldHup);
    sigset_t blocked;
    sigset_t oldMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ::sigprocmask(SIG_BLOCK, &blocked, &oldMask);
    const std::intptr_t result = open("rec", "", folder.str() + "/");
    ::sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    ::sigaction(SIGPIPE, &oldPipe, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    EXPECT_GT(result, kLastError);
    const auto rec = waitForRecord(record());
    ASSERT_TRUE(rec);
    // The standard signals 1 to 31; the real-time ones above belong to the C library and whatever
    // started the test.
    ASSERT_EQ(rec->signals.size(), 44u) << rec->signals;
    const auto standard = [](const std::string& mask) {
        return std::stoull(mask, nullptr, 16) & 0x7FFFFFFFull;
    };
    EXPECT_EQ(standard(rec->signals.substr(6, 16)), 0u) << rec->signals;  // blocked
    EXPECT_EQ(standard(rec->signals.substr(28, 16)), 0u) << rec->signals; // ignored
}

TEST_F(Shell, ExactNameWinsThenFirstInByteOrder)
{
    fs::create_directory(folder.path() / "bin");
    installHelper(folder.path() / "bin", "xdg-open");
    PathSetTo path((folder.path() / "bin").string());
    // On disk in UTF-8: the Windows-1252 capitals (asked for as the program passes them, in 8 bits)
    // find their small letters, those of the 0x80 block too.
    for (const char* name :
         {"ab", "aB", "Ab", "\xC3\xA4rger", "\xC5\x93uvre", "\xC5\xA1uma", "\xC3\xBFo", "caf\xC3\xA9"})
        writeFile(folder.path() / name, "doc", rw);
    const std::pair<const char*, const char*> cases[] = {
        {"aB", "aB"},
        {"AB", "Ab"},
        {"ab", "ab"},
        {"\xC4RGER", "\xC3\xA4rger"},
        {"\x8CUVRE", "\xC5\x93uvre"},
        {"\x8AUMA", "\xC5\xA1uma"},
        {"\x9FO", "\xC3\xBFo"},
    };
    for (const auto& [asked, found] : cases) {
        SCOPED_TRACE(asked);
        fs::remove(record());
        RecordTo to(record());
        EXPECT_GT(open(asked, "-", folder.str()), kLastError);
        const auto rec = waitForRecord(record());
        ASSERT_TRUE(rec);
        ASSERT_EQ(rec->argv.size(), 2u);
        EXPECT_EQ(rec->argv[1], (folder.path() / found).string());
    }
    EXPECT_EQ(open("CAFE", "-", folder.str()), 2); // accents count
}

TEST_F(Shell, EverySpellingOfAFolderIsTriedUntilOneLeadsToTheFile)
{
    // Two spellings side by side, the program under the one that is not tried first.
    fs::create_directories(folder.path() / "TMP" / "X");
    fs::create_directories(folder.path() / "tmp" / "x");
    installHelper(folder.path() / "tmp" / "x", "rec");
    fs::create_directories(folder.path() / "drive_c" / "CIMATRON" / "BIN");
    fs::create_directories(folder.path() / "drive_c" / "Cimatron" / "Bin");
    installHelper(folder.path() / "drive_c" / "Cimatron" / "Bin", "rec");
    fs::create_directory(folder.path() / "prefix" / "dosdevices");
    fs::create_directory_symlink(folder.path() / "drive_c", folder.path() / "prefix" / "dosdevices" / "c:");
    const std::string tmp = folder.str() + "/TMP/X/";
    const struct
    {
        std::string file;
        std::intptr_t code; // 0: started from `found`
        fs::path found;
    } cases[] = {
        {tmp + "REC", 0, folder.path() / "tmp/x/rec"},
        {"C:\\CIMATRON\\BIN\\REC", 0, folder.path() / "prefix/dosdevices/c:/Cimatron/Bin/rec"},
        {tmp + "NOPE", 2, {}},
        {tmp + "NOPE\\REC", 3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        fs::remove(record());
        RecordTo to(record());
        const std::intptr_t result = open(c.file, "-", "");
        if (c.code != 0) {
            EXPECT_EQ(result, c.code);
            continue;
        }
        EXPECT_GT(result, 32);
        const auto rec = waitForRecord(record());
        ASSERT_TRUE(rec);
        EXPECT_EQ(rec->argv.front(), c.found.string());
    }
}

TEST_F(Shell, RelativeNameIsLookedForInTheDirectoryThenTheCurrentFolder)
{
    fs::create_directory(folder.path() / "work");
    fs::create_directory(folder.path() / "here");
    installHelper(folder.path() / "here", "rec");
    RecordTo to(record());
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path() / "here");
    const auto result = open("REC", "", folder.str() + "/work");
    fs::current_path(previous);
    EXPECT_GT(result, kLastError);
    const auto rec = waitForRecord(record());
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->cwd, (folder.path() / "work").string());
    EXPECT_EQ(rec->argv, (std::vector<std::string>{(folder.path() / "here/rec").string()}));
}

TEST_F(Shell, DriveLettersGoThroughTheCompatibilityPrefix)
{
    fs::create_directories(folder.path() / "drive_c" / "Cim4");
    fs::create_directory(folder.path() / "prefix" / "dosdevices");
    fs::create_directory_symlink(folder.path() / "drive_c", folder.path() / "prefix" / "dosdevices" / "c:");
    installHelper(folder.path() / "drive_c" / "Cim4", "run.sh");
    RecordTo to(record());
    EXPECT_GT(open("RUN.SH", "-", "C:\\CIM4\\"), kLastError);
    const auto rec = waitForRecord(record());
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->cwd, (folder.path() / "drive_c/Cim4").string());
    EXPECT_EQ(open("RUN.SH", "-", "D:\\CIM4\\"), kPathNotFound);
    EXPECT_EQ(open("D:\\RUN.SH", "-", ""), kPathNotFound);
    EXPECT_EQ(open("C:\\CIM4\\NOPE.EXE", "-", ""), kFileNotFound);
}

TEST_F(Shell, WindowsProgramsGoThroughWineAndDocumentsThroughXdgOpen)
{
    fs::create_directory(folder.path() / "bin");
    writeFile(folder.path() / "tool.exe", "MZ", rw);
    writeFile(folder.path() / "notes.txt", "text", rw);
    fs::create_directory(folder.path() / "sub");
    {
        PathSetTo path((folder.path() / "bin").string());
        EXPECT_EQ(open("TOOL.EXE", "-", folder.str()), kNoAssociation);
        EXPECT_EQ(open("NOTES.TXT", "-", folder.str()), kNoAssociation);
        EXPECT_EQ(open("SUB", "-", folder.str()), kNoAssociation);
    }
    installHelper(folder.path() / "bin", "wine");
    installHelper(folder.path() / "bin", "xdg-open");
    PathSetTo path((folder.path() / "bin").string());
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"TOOL.EXE",
         {(folder.path() / "bin/wine").string(), (folder.path() / "tool.exe").string(), "a", "b"}},
        {"NOTES.TXT", {(folder.path() / "bin/xdg-open").string(), (folder.path() / "notes.txt").string()}},
        {"SUB", {(folder.path() / "bin/xdg-open").string(), (folder.path() / "sub").string()}},
    };
    for (const auto& [file, argv] : cases) {
        SCOPED_TRACE(file);
        fs::remove(record());
        RecordTo to(record());
        EXPECT_GT(open(file, "a b", folder.str()), kLastError);
        const auto rec = waitForRecord(record());
        ASSERT_TRUE(rec);
        EXPECT_EQ(rec->argv, argv);
        EXPECT_EQ(rec->cwd, folder.str());
    }
}

TEST_F(Shell, FailuresGiveTheirCodes)
{
    fs::create_directory(folder.path() / "bin");
    PathSetTo path((folder.path() / "bin").string());
    writeFile(folder.path() / "script.sh", "#!/bin/sh\nexit 0\n", rw);
    fs::copy_file(VENTIRO_RECORD_HELPER, folder.path() / "native");
    fs::permissions(folder.path() / "native", rw);
    writeFile(folder.path() / "doc", "x", rw);
    writeFile(folder.path() / "badinterp", "#!/nonexistent/interpreter\n", fs::perms::owner_all);

    struct
    {
        const char* what;
        std::string file;
        std::string dir;
        std::intptr_t code;
    } cases[] = {
        {"missing file", "NOPE", folder.str(), kFileNotFound},
        {"empty name", "", folder.str(), kFileNotFound},
        {"only blanks", "   ", folder.str(), kFileNotFound},
        {"leading blank", " DOC", folder.str(), kFileNotFound},
        {"missing folder", "DOC", folder.str() + "/nowhere", kPathNotFound},
        {"missing folder on the way", folder.str() + "/nowhere/doc", "", kPathNotFound},
        {"file as folder", "X", folder.str() + "/doc", kPathNotFound},
        {"script without x", "SCRIPT.SH", folder.str(), kAccessDenied},
        {"ELF without x", "NATIVE", folder.str(), kAccessDenied},
        {"document without opener", "DOC", folder.str(), kNoAssociation},
        {"missing interpreter", "BADINTERP", folder.str(), kFileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(open(c.file, "-", c.dir), c.code);
    }
    EXPECT_EQ(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, 1), kFileNotFound);
    EXPECT_EQ(ShellExecuteA(nullptr, "print", "DOC", "", folder.str().c_str(), 1), kNoAssociation);
    if (::geteuid() != 0) {
        writeFile(folder.path() / "secret", "#!/bin/sh\n", fs::perms::none);
        EXPECT_EQ(open("SECRET", "-", folder.str()), kAccessDenied);
    }
    EXPECT_TRUE(noChildLeft());
}

TEST_F(Shell, WhatCannotBeReadWithoutWaitingIsRefusedAtOnce)
{
    // Reading a FIFO waits for a writer, a device may never end: none of them is opened to be
    // looked at. They are refused as "not a valid program" (11).
    ASSERT_EQ(::mkfifo((folder.path() / "pipe").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((folder.path() / "pipe.exe").c_str(), 0700), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (folder.path() / "sock").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    // A folder on the way that may not be searched is a matter of rights (5); the test folder itself
    // must be open to the unprivileged user for that.
    fs::create_directory(folder.path() / "locked");
    installHelper(folder.path() / "locked", "prog");
    fs::permissions(folder.path() / "locked", fs::perms::none);
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);

    struct
    {
        const char* file;
        std::string dir;
        bool unprivileged;
        int code;
    } cases[] = {
        {"PIPE", folder.str(), false, kBadFormat},           {"PIPE.EXE", folder.str(), false, kBadFormat},
        {"SOCK", folder.str(), false, kBadFormat},           {"/DEV/ZERO", "", false, kBadFormat},
        {"LOCKED\\PROG", folder.str(), true, kAccessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(openInChild(c.file, c.dir, c.unprivileged), c.code);
    }
    ::close(listener);
}

TEST_F(Shell, ProgramGetsOnlyTheStandardDescriptors)
{
    installHelper(folder.path(), "rec");
    RecordTo to(record());
    // Descriptors that the panel inherited without close-on-exec, low and high.
    const int low = ::open("/dev/null", O_RDONLY);
    const int high = ::fcntl(low, F_DUPFD, 200);
    ASSERT_GE(low, 3);
    ASSERT_GE(high, 200);
    const std::intptr_t result = open("REC", "", folder.str());
    ::close(low);
    ::close(high);
    EXPECT_GT(result, kLastError);
    const auto rec = waitForRecord(record());
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->descriptors, "0,1,2");
    EXPECT_EQ(rec->stdinKind, "null");
}

TEST_F(Shell, DotDotStopsAtTheDrivesRoot)
{
    // The drive's folder, and a copy of the program two levels above the drive mapping that a
    // ".." climbing out of the drive would reach.
    fs::create_directories(folder.path() / "drive_c" / "bin");
    fs::create_directory(folder.path() / "prefix" / "dosdevices");
    fs::create_directory(folder.path() / "prefix" / "bin");
    fs::create_directory_symlink(folder.path() / "drive_c", folder.path() / "prefix" / "dosdevices" / "c:");
    installHelper(folder.path() / "drive_c" / "bin", "x");
    installHelper(folder.path() / "prefix" / "bin", "x");
    const std::string inDrive = (folder.path() / "prefix" / "dosdevices" / "c:" / "bin" / "x").string();
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\..\\..\\BIN\\X", ""},
        {"X", "C:\\..\\..\\BIN\\"},
        {"..\\..\\..\\BIN\\X", "C:\\BIN\\"},
    };
    for (const auto& [file, dir] : cases) {
        SCOPED_TRACE(file);
        fs::remove(record());
        RecordTo to(record());
        EXPECT_GT(open(file, "", dir), kLastError);
        const auto rec = waitForRecord(record());
        ASSERT_TRUE(rec);
        EXPECT_EQ(rec->argv, std::vector<std::string>{inDrive});
    }
}

TEST_F(Shell, NoZombieAfterAThousandLaunches)
{
    fs::copy_file("/bin/true", folder.path() / "true");
    for (int i = 0; i < 1000; ++i)
        ASSERT_GT(open("TRUE", "-", folder.str()), kLastError) << "launch " << i;
    EXPECT_TRUE(noChildLeft());
}

TEST_F(Shell, ReapsWhatItStartedAndNoOtherChild)
{
    // A child the shell did not start (as QProcess starts them) is left for its own parent.
    const pid_t other = ::fork();
    if (other == 0)
        ::_exit(0);
    installHelper(folder.path(), "rec");
    RecordTo to(record());
    ASSERT_GT(open("rec", "", folder.str()), kLastError);
    const auto rec = waitForRecord(record());
    ASSERT_TRUE(rec);
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(other), &info, WEXITED | WNOWAIT), 0);
    EXPECT_TRUE(noChildLeft(std::stoi(rec->session))); // the program leads a session of its own
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), other);
}

TEST(SplitPathList, KeepsEveryEntryInOrderEmptyOnesToo)
{
    using List = std::vector<std::string>;
    EXPECT_EQ(platform::SplitPathList("/usr/bin:/bin"), (List{"/usr/bin", "/bin"}));
    EXPECT_EQ(platform::SplitPathList("::/bin:"), (List{"", "", "/bin", ""}));
    EXPECT_EQ(platform::SplitPathList(""), List{""});
    EXPECT_EQ(platform::SplitPathList("xcb:1;wayland", ';'), (List{"xcb:1", "wayland"}));
}

} // namespace
