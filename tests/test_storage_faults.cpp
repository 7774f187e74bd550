#include "core/exceptions.h"
#include "core/value_list_strings.h"
#include "platform/profile.h"
#include "platform/profile_file.h"
#include "storage/form_storage.h"
#include "storage/ini_file.h"
#include "tests/support/recording_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using platform::ProfileStampOf;
using platform::Stamp;

// Runs `body` in a child process and returns its exit status (or 128 + signal).
template <typename Body>
int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Root writes to read-only files anyway; the checks run as a child without privileges.
bool dropPrivileges()
{
    if (::geteuid() != 0)
        return true;
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

std::vector<std::string> bigTable(int lines, char fill)
{
    std::vector<std::string> out;
    for (int i = 0; i < lines; ++i)
        out.push_back("Name" + std::to_string(i) + "=" + std::string(40, fill));
    return out;
}

// Saves `lines` as the table of section `section` in `ini`; 0 on success, 1 on an error.
int saveTable(const std::string& ini, const std::string& section, const std::vector<std::string>& lines,
              std::string* error = nullptr)
{
    RecordingWindow window(1, 2, 300, 200, false);
    TValueListStrings table(lines);
    window.table = &table;
    TFormStorage storage(window);
    storage.SetStoredProps({"Verknuepfungseditor.Strings"});
    storage.IniFileName = ini;
    storage.IniSection = section;
    storage.LoadFromIni();
    table.Assign(lines);
    try {
        storage.SaveToIni();
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        return 1;
    }
    return 0;
}

TEST(StorageFaults, ReadOnlyFileAndFolderStopTheSave)
{
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const std::string ini = dir.file("ro.ini");
    writeBytes(ini, "[S]\r\nFormVersion=0\r\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    const std::string folder = (dir.path() / "rofolder").string();
    ASSERT_EQ(::mkdir(folder.c_str(), 0555), 0);
    const std::string inFolder = folder + "/Ventiro.ini";

    for (const std::string& path : {ini, inFolder}) {
        const int status = inChild([&] {
            if (!dropPrivileges())
                return 3;
            RecordingWindow window(326, 279, 608, 330, true);
            TFormStorage storage(window);
            storage.IniFileName = path;
            storage.IniSection = "Pultaro";
            window.show();
            window.closeQuery();
            if (window.errors != std::vector<std::string>{"Unable to write to " + path})
                return 4;
            if (storage.Saved())
                return 5;
            // The destroy hook tries once more; the same failure at once is not shown a second time.
            window.destroy();
            return window.errors.size() == 1 && !storage.Saved() ? 0 : 6;
        });
        EXPECT_EQ(status, 0) << path;
    }
    EXPECT_EQ(readBytes(ini), "[S]\r\nFormVersion=0\r\n");
    EXPECT_FALSE(std::filesystem::exists(inFolder));
}

TEST(StorageFaults, ListsNotWrittenOutAreNotReplacedByTheOlderFile)
{
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    ASSERT_EQ(saveTable(ini, "Einstellungenmaske", {"CimE=C:\\old.exe"}), 0);
    const int status = inChild([&] {
        RecordingWindow window(1, 2, 300, 200, false);
        TValueListStrings table;
        window.table = &table;
        TFormStorage storage(window);
        storage.SetStoredProps({"Verknuepfungseditor.Strings"});
        storage.IniFileName = ini;
        storage.IniSection = "Einstellungenmaske";
        window.show();
        if (table.Count() != 1 || table.Get(0) != "CimE=C:\\old.exe")
            return 4;
        table.Assign({"CimE=C:\\new.exe"});
        // The disk is full for a while: no file can grow.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit full{0, limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        window.closeQuery(); // fails and is reported
        if (window.errors.size() != 1 || !storage.Unwritten())
            return 5;
        window.show(); // the file's older table stays out
        if (table.Count() != 1 || table.Get(0) != "CimE=C:\\new.exe")
            return 6;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        window.closeQuery(); // now it reaches the file
        if (window.errors.size() != 1 || storage.Unwritten())
            return 7;
        table.Assign({"CimE=other"});
        window.show(); // and the file is read as usual again
        return table.Count() == 1 && table.Get(0) == "CimE=C:\\new.exe" ? 0 : 8;
    });
    EXPECT_EQ(status, 0);
}

TEST(StorageFaults, FullDiskIsReported)
{
    TempDir dir;
    const std::string ini = dir.file("full.ini");
    writeBytes(ini, "[Old]\r\nk=v\r\n");
    const int status = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        if (saveTable(ini, "S", bigTable(1000, 'x'), &error) != 1)
            return 2;
        return error == "Unable to write to " + ini ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(ini), "[Old]\r\nk=v\r\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "full.ini"); // no temporary file is left behind
}

TEST(StorageFaults, KilledSaveLeavesOldOrNewFile)
{
    TempDir dir;
    const std::string ini = dir.file("kill.ini");
    ASSERT_EQ(saveTable(ini, "S", bigTable(20000, 'a')), 0);
    const std::string oldBytes = readBytes(ini);
    const std::string next = dir.file("next.ini");
    ASSERT_EQ(saveTable(next, "S", bigTable(20000, 'b')), 0);
    const std::string newBytes = readBytes(next);

    std::mt19937 random(12345);
    for (int round = 0; round < 12; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(saveTable(ini, "S", bigTable(20000, (round % 2) ? 'a' : 'b')));
        // Not a wait for anything: the kill lands at a random moment of the save.
        ::usleep(std::uniform_int_distribution<int>(0, 60000)(random));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string bytes = readBytes(ini);
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << "round " << round;
    }
}

TEST(StorageFaults, ConcurrentSavesOfDifferentSectionsLoseNothing)
{
    TempDir dir;
    const std::string ini = dir.file("both.ini");
    for (int round = 0; round < 8; ++round) {
        std::filesystem::remove(ini);
        const char fills[2] = {static_cast<char>('a' + round % 3), static_cast<char>('k' + round % 3)};
        pid_t pids[2];
        for (int p = 0; p < 2; ++p) {
            pids[p] = ::fork();
            if (pids[p] == 0) {
                int rc = 0;
                for (int repeat = 0; repeat < 3 && rc == 0; ++repeat)
                    rc = saveTable(ini, p == 0 ? "First" : "Second", bigTable(2000, fills[p]));
                ::_exit(rc);
            }
        }
        for (pid_t pid : pids) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        for (int p = 0; p < 2; ++p) {
            const std::string section =
                std::string(p == 0 ? "First" : "Second") + ".Verknuepfungseditor_Strings";
            EXPECT_EQ(platform::GetPrivateProfileStringA(section.c_str(), "Count", "", ini.c_str()), "2000");
            EXPECT_EQ(platform::GetPrivateProfileStringA(section.c_str(), "Item1999", "", ini.c_str()),
                      "Name1999=" + std::string(40, fills[p]));
            EXPECT_EQ(platform::GetPrivateProfileStringA(p == 0 ? "First" : "Second", "FormVersion", "",
                                                         ini.c_str()),
                      "0");
        }
        platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    }
}

// Unprivileged users for the cases that need several users; the test runs them with setpriv.
constexpr uid_t kOwner = 61001;
constexpr uid_t kMember = 61002;
constexpr uid_t kStranger = 61003;
constexpr gid_t kGroup = 61000;

bool isRoot()
{
    return ::geteuid() == 0;
}

// Starts the save helper, as `uid` (with `groups` as its groups) when one is given.
pid_t startHelper(const std::vector<std::string>& args, uid_t uid = 0, const std::string& groups = "",
                  int outFd = -1)
{
    std::vector<std::string> argv;
    if (uid != 0) {
        argv = {"setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(uid),
                groups.empty() ? "--clear-groups" : "--groups=" + groups, "--"};
    }
    argv.push_back(VENTIRO_SAVE_HELPER);
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (outFd >= 0)
            ::dup2(outFd, 1);
        std::vector<char*> raw;
        for (std::string& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);
        ::alarm(60);
        ::execvp(raw[0], raw.data());
        ::_exit(127);
    }
    return pid;
}

int waitFor(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs the helper to its end; `out` receives what it printed.
int runHelper(const std::vector<std::string>& args, std::string* out = nullptr, uid_t uid = 0,
              const std::string& groups = "")
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = startHelper(args, uid, groups, fds[1]);
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    ::close(fds[0]);
    if (out)
        *out = text;
    return waitFor(pid);
}

// Reads one value as a fresh panel would: the profile layer's copy is dropped afterwards.
std::string valueIn(const std::string& ini, const std::string& section, const std::string& key)
{
    std::string value = platform::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", ini.c_str());
    platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    return value;
}

std::string lastItem(const std::string& ini, const std::string& section, int lines)
{
    return valueIn(ini, section + ".Verknuepfungseditor_Strings", "Item" + std::to_string(lines - 1));
}

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat statOf(const std::string& path, bool follow = true)
{
    struct stat st = {};
    if (follow)
        ::stat(path.c_str(), &st);
    else
        ::lstat(path.c_str(), &st);
    return st;
}

// A symbolic link stays a link to the file that receives the saves (replaced in its own folder); a
// hard-linked file is written through and every name sees the saves; the mode stays.
TEST(StorageFaults, SavesKeepLinksAndMode)
{
    enum Link
    {
        Symbolic,
        Hard
    };
    for (const Link link : {Symbolic, Hard}) {
        TempDir dir;
        std::filesystem::create_directory(dir.path() / "central");
        std::filesystem::create_directory(dir.path() / "panel");
        const std::string table = dir.file("central/table.ini");
        const std::string ini = dir.file("panel/Ventiro.ini");
        writeBytes(table, "[Other]\r\nk=v\r\n");
        ASSERT_EQ(::chmod(table.c_str(), 0640), 0);
        if (link == Symbolic) {
            ASSERT_EQ(::symlink("../central/table.ini", ini.c_str()), 0);
        } else {
            ASSERT_EQ(::link(table.c_str(), ini.c_str()), 0);
        }
        for (const char fill : {'a', 'b'}) {
            ASSERT_EQ(saveTable(ini, "S", bigTable(2000, fill)), 0) << link;
            EXPECT_EQ(lastItem(table, "S", 2000), "Name1999=" + std::string(40, fill)) << link;
            EXPECT_EQ(valueIn(table, "Other", "k"), "v") << link;
            EXPECT_EQ(statOf(table).st_mode & 07777, 0640u) << link;
            if (link == Symbolic) {
                EXPECT_TRUE(S_ISLNK(statOf(ini, false).st_mode));
                EXPECT_EQ(std::filesystem::read_symlink(ini), "../central/table.ini");
            } else {
                EXPECT_EQ(statOf(ini).st_ino, statOf(table).st_ino);
                EXPECT_EQ(statOf(table).st_nlink, 2u);
            }
        }
        EXPECT_EQ(namesIn(dir.path() / "central"), std::vector<std::string>{"table.ini"}) << link;
        EXPECT_EQ(namesIn(dir.path() / "panel"), std::vector<std::string>{"Ventiro.ini"}) << link;
    }
}

// A group member who does not own the file saves it: owner, group and mode stay (written through);
// root's save keeps them too (replaced, and given back to the owner); a stranger gets the error.
TEST(StorageFaults, SharedGroupFileKeepsOwnerGroupAndMode)
{
    if (!isRoot())
        GTEST_SKIP() << "needs root to make files of other users";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string shared = dir.file("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 0775), 0);
    ASSERT_EQ(::chown(shared.c_str(), 0, kGroup), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 02775), 0);
    const std::string ini = shared + "/Ventiro.ini";
    writeBytes(ini, "[Other]\r\nk=v\r\n");
    ASSERT_EQ(::chown(ini.c_str(), kOwner, kGroup), 0);
    ASSERT_EQ(::chmod(ini.c_str(), 0664), 0);
    const auto expectKept = [&](const char* who) {
        const struct stat st = statOf(ini);
        EXPECT_EQ(st.st_uid, kOwner) << who;
        EXPECT_EQ(st.st_gid, kGroup) << who;
        EXPECT_EQ(st.st_mode & 07777, 0664u) << who;
    };

    EXPECT_EQ(runHelper({"save", ini, "Member", "100", "m"}, nullptr, kMember, std::to_string(kGroup)), 0);
    expectKept("member");
    EXPECT_EQ(lastItem(ini, "Member", 100), "Name99=" + std::string(40, 'm'));
    ASSERT_EQ(saveTable(ini, "Root", bigTable(100, 'r')), 0);
    expectKept("root");
    EXPECT_EQ(runHelper({"save", ini, "Member", "100", "n"}, nullptr, kMember, std::to_string(kGroup)), 0);
    expectKept("member again");
    EXPECT_EQ(lastItem(ini, "Root", 100), "Name99=" + std::string(40, 'r'));
    EXPECT_EQ(lastItem(ini, "Member", 100), "Name99=" + std::string(40, 'n'));
    std::string out;
    EXPECT_EQ(runHelper({"save", ini, "Stranger", "10", "s"}, &out, kStranger), 1);
    EXPECT_EQ(out, "Unable to write to " + ini + "\n");
    expectKept("stranger");
    EXPECT_EQ(namesIn(shared), std::vector<std::string>{"Ventiro.ini"});
}

// In a sticky folder everyone may write to: an operator given write access by an access list keeps
// it after the owner's save, an extended attribute stays too, and a backup a stranger planted
// beside the file never changes the table.
TEST(StorageFaults, AccessListsStayAndPlantedBackupsAreIgnored)
{
    if (!isRoot())
        GTEST_SKIP() << "needs root to act as other users";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string shared = dir.file("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string ini = shared + "/Ventiro.ini";
    const std::string table = "[S.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=CimE=C:\\cim.exe\r\n";
    writeBytes(ini, table);
    ASSERT_EQ(::chown(ini.c_str(), kOwner, kOwner), 0);
    ASSERT_EQ(::chmod(ini.c_str(), 0644), 0);
    ASSERT_EQ(std::system(("setfacl -m u:" + std::to_string(kStranger) + ":rw " + ini).c_str()), 0);
    ASSERT_EQ(::setxattr(ini.c_str(), "user.station", "7", 1, 0), 0);

    EXPECT_EQ(runHelper({"save", ini, "Owner", "10", "o"}, nullptr, kOwner), 0);
    EXPECT_EQ(runHelper({"save", ini, "Stranger", "10", "s"}, nullptr, kStranger), 0);
    EXPECT_EQ(lastItem(ini, "Owner", 10), "Name9=" + std::string(40, 'o'));
    char value[8] = {};
    EXPECT_EQ(::getxattr(ini.c_str(), "user.station", value, sizeof value), 1);
    EXPECT_STREQ(value, "7");

    const std::string planted = shared + "/.Ventiro.ini.previous";
    writeBytes(planted, "[S.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=CimE=/tmp/planted.sh\r\n");
    ASSERT_EQ(::chown(planted.c_str(), kMember, kMember), 0);
    std::string seen;
    EXPECT_EQ(runHelper({"read", ini, "S.Verknuepfungseditor_Strings", "Item0"}, &seen, kOwner), 0);
    EXPECT_EQ(seen, "CimE=C:\\cim.exe\n");
    EXPECT_EQ(runHelper({"save", ini, "Owner", "10", "p"}, nullptr, kOwner), 0);
    EXPECT_EQ(readBytes(ini).find("planted"), std::string::npos);
}

// A network share's stand-in: a FUSE mount of the folder (bindfs), with the administrator's edit
// made beneath the mount, where no watch on the mount would see it. The next launch uses it.
TEST(StorageFaults, FollowSeesAnEditBeneathAMount)
{
    if (!isRoot() || ::access("/dev/fuse", R_OK | W_OK) != 0 ||
        std::system("command -v bindfs >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root, /dev/fuse and bindfs";
    TempDir dir;
    const std::string share = dir.file("share");
    const std::string mount = dir.file("mnt");
    ASSERT_EQ(::mkdir(share.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(mount.c_str(), 0755), 0);
    const auto tableFile = [](const char* command) {
        return std::string("[S.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=CimE=") + command + "\r\n";
    };
    writeBytes(share + "/Ventiro.ini", tableFile("old.exe"));
    if (std::system(("bindfs " + share + " " + mount).c_str()) != 0)
        GTEST_SKIP() << "bindfs cannot mount here";
    {
        RecordingWindow window(1, 2, 300, 200, false);
        TValueListStrings table;
        window.table = &table;
        TFormStorage storage(window);
        storage.SetStoredProps({"Verknuepfungseditor.Strings"});
        storage.IniFileName = mount + "/Ventiro.ini";
        storage.IniSection = "S";
        storage.LoadFromIni();
        EXPECT_EQ(table.Lines(), std::vector<std::string>{"CimE=old.exe"});
        writeBytes(share + "/Ventiro.ini", tableFile("new.exe"));
        // The mount may keep a file's status for a moment: a launch then still sees the old one.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (table.Get(0) != "CimE=new.exe" && std::chrono::steady_clock::now() < end) {
            storage.FollowFile();
            ::usleep(50000);
        }
        EXPECT_EQ(table.Lines(), std::vector<std::string>{"CimE=new.exe"});
    }
    EXPECT_EQ(std::system(("fusermount3 -u " + mount + " || umount " + mount).c_str()), 0);
}

TEST(StorageFaults, ReadOnlyFileIsNotReplacedByRoot)
{
    if (!isRoot())
        GTEST_SKIP() << "the unprivileged case is ReadOnlyFileAndFolderStopTheSave";
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    writeBytes(ini, "[S]\r\nFormVersion=0\r\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    std::string error;
    EXPECT_EQ(saveTable(ini, "S", bigTable(3, 'x'), &error), 1);
    EXPECT_EQ(error, "Unable to write to " + ini);
    EXPECT_EQ(readBytes(ini), "[S]\r\nFormVersion=0\r\n");
}

// Two panels save different sections of one file at the same time, many times: where the folder
// can be listed by one and not by the other, where neither can open it, and where each reaches the
// file through its own hard link in another folder (written through), every section arrives.
TEST(StorageFaults, ConcurrentSavesLoseNothingWithoutFolderLockOrRename)
{
    enum Setup
    {
        MixedRights,
        BlindFolder,
        HardLink
    };
    for (const Setup setup : {MixedRights, BlindFolder, HardLink}) {
        // Different rights on the folder need two users, and only root can be them.
        if (setup == MixedRights && !isRoot())
            continue;
        TempDir dir;
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        const std::string folder = dir.file("panel");
        const std::string station = dir.file("station");
        for (const std::string& f : {folder, station}) {
            ASSERT_EQ(::mkdir(f.c_str(), 0777), 0);
            ASSERT_EQ(::chmod(f.c_str(), 0777), 0);
        }
        const std::string ini = folder + "/both.ini";
        const std::string link = station + "/both.ini";
        // As root the folder's permissions would not count: the panels run as plain users then.
        const uid_t user = isRoot() ? kStranger : 0;
        const uid_t other = setup == MixedRights ? kStranger + 1 : user;
        for (int round = 0; round < 4; ++round) {
            ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
            std::filesystem::remove(ini);
            std::filesystem::remove(link);
            writeBytes(ini, "");
            ASSERT_EQ(::chmod(ini.c_str(), 0666), 0);
            if (user != 0) {
                ASSERT_EQ(::chown(ini.c_str(), user, user), 0);
                ASSERT_EQ(::chown(folder.c_str(), user, user), 0);
            }
            if (setup == HardLink)
                ASSERT_EQ(::link(ini.c_str(), link.c_str()), 0);
            else
                ASSERT_EQ(::chmod(folder.c_str(), setup == MixedRights ? 0733 : 0333), 0);
            const std::string fills[2] = {std::string(1, char('a' + round)),
                                          std::string(1, char('k' + round))};
            const pid_t first = startHelper({"save", ini, "First", "2000", fills[0], "3"}, user);
            const pid_t second =
                startHelper({"save", setup == HardLink ? link : ini, "Second", "2000", fills[1], "3"}, other);
            EXPECT_EQ(waitFor(first), 0) << setup;
            EXPECT_EQ(waitFor(second), 0) << setup;
            EXPECT_EQ(lastItem(ini, "First", 2000), "Name1999=" + std::string(40, fills[0][0])) << setup;
            EXPECT_EQ(lastItem(ini, "Second", 2000), "Name1999=" + std::string(40, fills[1][0])) << setup;
            if (setup == HardLink) {
                EXPECT_EQ(statOf(ini).st_ino, statOf(link).st_ino);
            }
        }
        ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    }
}

// A save killed while it writes its temporary file leaves it behind; the next save removes it,
// but not the temporary file of another panel that is still saving.
// A save killed while it wrote its temporary file leaves it behind; a later save removes it once it
// is old enough to belong to no living save. Names another user planted (the old fixed names, a link
// to elsewhere) neither block a save nor are touched.
TEST(StorageFaults, TemporaryFilesOfKilledSavesGoAndPlantedNamesBlockNothing)
{
    TempDir dir;
    const std::string ini = dir.file("kill.ini");
    const auto leftovers = [&] {
        std::vector<std::string> names;
        for (const std::string& name : namesIn(dir.path()))
            if (name.rfind(".kill.ini.tmp", 0) == 0)
                names.push_back(name);
        return names;
    };
    for (int round = 0; round < 5 && leftovers().empty(); ++round) {
        const pid_t pid = startHelper({"save", ini, "S", "200000", "x"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (leftovers().empty() && std::chrono::steady_clock::now() < deadline)
            ::sched_yield();
        ::kill(pid, SIGKILL);
        waitFor(pid);
    }
    ASSERT_EQ(leftovers().size(), 1u) << "no save was caught while it wrote";
    const std::string killed = dir.file(leftovers().front());
    for (int slot = 0; slot < 8; ++slot)
        ASSERT_EQ(::symlink("/nonexistent", dir.file(".kill.ini.save" + std::to_string(slot)).c_str()), 0);
    ASSERT_EQ(saveTable(ini, "S", bigTable(10, 'y')), 0);
    EXPECT_EQ(leftovers().size(), 1u) << "a fresh temporary file may belong to a save still running";
    const timespec old[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, killed.c_str(), old, 0), 0);
    ASSERT_EQ(saveTable(ini, "S", bigTable(10, 'z')), 0);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(S_ISLNK(statOf(dir.file(".kill.ini.save0"), false).st_mode));
    EXPECT_EQ(lastItem(ini, "S", 10), "Name9=" + std::string(40, 'z'));
}

// A hard-linked file is written through; a save killed at any moment leaves bytes that mean the
// old or the new table, read through either name, and the next read through the other name repairs
// the file; both names stay one file.
TEST(StorageFaults, KilledWriteThroughIsRepairedThroughAnyName)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "elsewhere");
    const std::string ini = dir.file("kill.ini");
    const std::string other = dir.file("elsewhere/other.ini");
    ASSERT_EQ(saveTable(ini, "S", bigTable(20000, 'a')), 0);
    const std::string oldBytes = readBytes(ini);
    const std::string next = dir.file("next.ini");
    ASSERT_EQ(saveTable(next, "S", bigTable(20000, 'b')), 0);
    const std::string newBytes = readBytes(next);
    std::filesystem::remove(next);
    ASSERT_EQ(::link(ini.c_str(), other.c_str()), 0);

    // The kills spread over the whole time a save takes.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(inChild([&] { return saveTable(ini, "S", bigTable(20000, 'a')); }), 0);
    const auto saveUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::mt19937 random(4321);
    int torn = 0;
    for (int round = 0; round < 16; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(saveTable(ini, "S", bigTable(20000, (round % 2) ? 'a' : 'b')));
        ::usleep(std::uniform_int_distribution<int>(0, static_cast<int>(saveUs.count()))(random));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string left = readBytes(ini);
        torn += left != oldBytes && left != newBytes ? 1 : 0;
        const std::string last = lastItem(other, "S", 20000);
        EXPECT_TRUE(last == "Name19999=" + std::string(40, 'a') ||
                    last == "Name19999=" + std::string(40, 'b'))
            << "round " << round;
        const std::string bytes = readBytes(ini);
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << "round " << round;
        EXPECT_EQ(statOf(ini).st_ino, statOf(other).st_ino);
    }
    std::printf("killed write-throughs that left the file torn and were repaired: %d of 16\n", torn);
}

// What is not a regular file is no profile: it reads as missing at once (the designed table stays)
// and a save reports the write error; none of them is touched. A regular file beyond any table's
// size counts as damaged the same way.
TEST(StorageFaults, OddFilesReadAsMissingAndAreNeverWritten)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo/Ventiro.ini");
    const std::string device = dir.file("device/Ventiro.ini");
    const std::string folder = dir.file("folder/Ventiro.ini");
    const std::string socket = dir.file("socket/Ventiro.ini");
    const std::string huge = dir.file("huge/Ventiro.ini");
    for (const char* sub : {"fifo", "device", "folder", "socket", "huge"})
        std::filesystem::create_directory(dir.path() / sub);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    ASSERT_EQ(::symlink("/dev/zero", device.c_str()), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    writeBytes(huge, "[Einstellungenmaske.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=X=y\r\n");
    ASSERT_EQ(::truncate(huge.c_str(), (off_t(1) << 30) + 1), 0);

    for (const std::string& path : {fifo, device, folder, socket, huge}) {
        const int status = inChild([&] {
            ::alarm(20); // a hang ends the child and fails the case
            RecordingWindow window(1, 2, 300, 200, false);
            TValueListStrings table(std::vector<std::string>{"CimE=designed"});
            window.table = &table;
            TFormStorage storage(window);
            storage.SetStoredProps({"Verknuepfungseditor.Strings"});
            storage.IniFileName = path;
            storage.IniSection = "Einstellungenmaske";
            window.show();
            if (table.Count() != 1 || table.Get(0) != "CimE=designed" || !window.errors.empty())
                return 4;
            window.closeQuery();
            return window.errors == std::vector<std::string>{"Unable to write to " + path} ? 0 : 5;
        });
        EXPECT_EQ(status, 0) << path;
    }
    ::close(sock);
    EXPECT_TRUE(S_ISFIFO(statOf(fifo).st_mode));
    EXPECT_TRUE(S_ISLNK(statOf(device, false).st_mode));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_TRUE(S_ISSOCK(statOf(socket).st_mode));
    EXPECT_EQ(statOf(huge).st_size, (off_t(1) << 30) + 1);
    for (const char* sub : {"fifo", "device", "folder", "socket", "huge"})
        EXPECT_EQ(namesIn(dir.path() / sub), std::vector<std::string>{"Ventiro.ini"}) << sub;
}

// Another process holds the lock and never lets go: a close of the panel (both windows saved, the
// main window twice) waits for it once, reports the failure once and gets back to its events; a
// click meanwhile follows the file without waiting for the lock, and once the lock is free the next
// save takes it at once.
TEST(StorageFaults, HeldLockCostsOneWaitAndOneMessagePerClose)
{
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    writeBytes(ini, "[S]\r\nFormVersion=0\r\n");
    const int held = ::open(ini.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const int status = inChild([&] {
        // Three saves that each waited the whole time would take 15 s.
        ::alarm(12);
        RecordingWindow main(1, 2, 300, 200, true);
        RecordingWindow settings(5, 6, 300, 200, false);
        TValueListStrings table(std::vector<std::string>{"CimE=C:\\cim.exe"});
        settings.table = &table;
        TFormStorage mainStorage(main);
        TFormStorage settingsStorage(settings);
        settingsStorage.Failures = mainStorage.Failures;
        settingsStorage.SetStoredProps({"Verknuepfungseditor.Strings"});
        for (TFormStorage* storage : {&mainStorage, &settingsStorage}) {
            storage->IniFileName = ini;
            storage->IniSection = storage == &mainStorage ? "Pultaro" : "Einstellungenmaske";
        }
        main.show();
        settingsStorage.LoadFromIni();
        table.Put(0, "CimE=C:\\new.exe");
        main.closeQuery();
        settings.destroy();
        main.destroy();
        std::vector<std::string> errors = main.errors;
        errors.insert(errors.end(), settings.errors.begin(), settings.errors.end());
        if (errors != std::vector<std::string>{"Unable to write to " + ini} || !mainStorage.Unwritten() ||
            !settingsStorage.Unwritten())
            return 3;
        // The administrator fixes the table while the lock is held: the next click sees it, and the
        // operator's edit that could not be saved stays.
        writeBytes(ini, "[S]\r\nFormVersion=0\r\n[Einstellungenmaske.Verknuepfungseditor_Strings]\r\n"
                        "Count=2\r\nItem0=CimE=C:\\cim.exe\r\nItem1=Fix=C:\\fixed.exe\r\n");
        settingsStorage.FollowFile();
        if (table.Lines() != std::vector<std::string>{"CimE=C:\\new.exe", "Fix=C:\\fixed.exe"})
            return 4;
        // The lock is free again (the holder's descriptor is shared with this child): a save right
        // after the failed ones takes it.
        if (::flock(held, LOCK_UN) != 0)
            return 5;
        settingsStorage.SaveToIni();
        return settingsStorage.Unwritten() ? 6 : 0;
    });
    EXPECT_EQ(status, 0);
    ::close(held);
    EXPECT_NE(readBytes(ini).find("Item0=CimE=C:\\new.exe\r\nItem1=Fix=C:\\fixed.exe"), std::string::npos);
}

// Six panels' settings windows close at the same moment, each having changed, added or deleted a
// different entry: every edit is in the file, and every other entry stays.
TEST(StorageFaults, SixPanelsClosingAtOnceKeepEveryEdit)
{
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    for (const int lines : {60, 100000}) {
        const int trials = lines > 1000 ? 2 : 12;
        for (int trial = 0; trial < trials; ++trial) {
            std::vector<std::string> designed;
            for (int i = 0; i < lines; ++i)
                designed.push_back("Name" + std::to_string(i) + "=cmd" + std::to_string(i));
            std::filesystem::remove(ini);
            ASSERT_EQ(saveTable(ini, "Einstellungenmaske", designed), 0);
            int ready[2];
            int go[2];
            ASSERT_EQ(::pipe(ready), 0);
            ASSERT_EQ(::pipe(go), 0);
            std::vector<pid_t> panels;
            for (int p = 0; p < 6; ++p) {
                const pid_t pid = ::fork();
                if (pid == 0) {
                    ::alarm(120);
                    ::close(go[1]);
                    RecordingWindow window(1, 2, 300, 200, false);
                    TValueListStrings table;
                    window.table = &table;
                    const auto storage = NewFormStorage(window, ini, "Einstellungenmaske", true);
                    window.show();
                    std::vector<std::string> edited = table.Lines();
                    const std::string name = "Name" + std::to_string(p * 7);
                    if (p % 3 == 0)
                        edited[static_cast<std::size_t>(p * 7)] = name + "=changed";
                    else if (p % 3 == 1)
                        edited.erase(edited.begin() + p * 7);
                    else
                        edited.push_back("Added" + std::to_string(p) + "=new");
                    table.Assign(edited);
                    char byte = 0;
                    if (::write(ready[1], "r", 1) != 1 || ::read(go[0], &byte, 1) != 0)
                        ::_exit(3);
                    window.closeQuery();
                    ::_exit(window.errors.empty() ? 0 : 4);
                }
                panels.push_back(pid);
            }
            ::close(go[0]);
            for (int p = 0; p < 6; ++p) {
                char byte = 0;
                ASSERT_EQ(::read(ready[0], &byte, 1), 1);
            }
            ::close(go[1]); // all close at once
            for (const pid_t pid : panels)
                EXPECT_EQ(waitFor(pid), 0);
            ::close(ready[0]);
            ::close(ready[1]);

            TIniFile file(ini);
            std::vector<std::string> stored;
            const int count = file.ReadInteger("Einstellungenmaske.Verknuepfungseditor_Strings", "Count", 0);
            for (int i = 0; i < count; ++i)
                stored.push_back(file.ReadString("Einstellungenmaske.Verknuepfungseditor_Strings",
                                                 "Item" + std::to_string(i), ""));
            std::vector<std::string> expected = designed;
            expected[0] = "Name0=changed";
            expected[21] = "Name21=changed";
            expected.push_back("Added2=new");
            expected.push_back("Added5=new");
            expected.erase(expected.begin() + 28);
            expected.erase(expected.begin() + 7);
            std::sort(stored.begin(), stored.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(stored, expected) << lines << " lines, trial " << trial;
        }
    }
}

// A panel whose operator changed nothing writes nothing when it closes, also after an earlier
// session opened the settings window, and puts back no table an administrator deleted meanwhile.
TEST(StorageFaults, UntouchedCloseWritesNothing)
{
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    const auto session = [&](bool openSettings, const std::function<void()>& meanwhile) {
        RecordingWindow main(1, 2, 300, 200, true);
        RecordingWindow settings(5, 6, 300, 200, false);
        TValueListStrings table(std::vector<std::string>{"CimE=C:\\cim.exe", "Delwa=C:\\del.bat"});
        settings.table = &table;
        TFormStorage mainStorage(main);
        TFormStorage settingsStorage(settings);
        settingsStorage.SetStoredProps({"Verknuepfungseditor.Strings"});
        for (TFormStorage* storage : {&mainStorage, &settingsStorage}) {
            storage->IniFileName = ini;
            storage->IniSection = storage == &mainStorage ? "Pultaro" : "Einstellungenmaske";
        }
        main.show();
        settingsStorage.LoadFromIni();
        if (openSettings) {
            settings.show();
            settings.closeQuery();
        }
        meanwhile();
        main.closeQuery();
        settings.destroy();
        main.destroy();
        EXPECT_TRUE(main.errors.empty() && settings.errors.empty());
    };
    session(false, [] {}); // the first run creates the file
    const std::string first = readBytes(ini);
    EXPECT_NE(first.find("[Einstellungenmaske.Verknuepfungseditor_Strings]"), std::string::npos);
    session(true, [] {});
    const std::string opened = readBytes(ini);
    const Stamp before = ProfileStampOf(ini);
    session(false, [] {});
    EXPECT_EQ(readBytes(ini), opened);
    EXPECT_EQ(ProfileStampOf(ini), before) << "the file was rewritten";

    const std::string withoutTable =
        opened.substr(0, opened.find("[Einstellungenmaske.Verknuepfungseditor_Strings]"));
    session(false, [&] { writeBytes(ini, withoutTable); });
    EXPECT_EQ(readBytes(ini), withoutTable);
}

// A change within the file system's time granularity of the panel's read that keeps the size, the
// time and the inode number (as on shares with whole-second times) is still followed, at the next
// click; and following goes on after a save that failed.
TEST(StorageFaults, SameSecondSameSizeEditAndFailedSavesAreFollowed)
{
    TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    const std::string table = "[S.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=CimE=";
    writeBytes(ini, table + "old.exe\r\n");
    const struct stat written = statOf(ini);
    RecordingWindow window(1, 2, 300, 200, false);
    TValueListStrings lines;
    window.table = &lines;
    const auto owned = NewFormStorage(window, ini, "S", true);
    TFormStorage& storage = *owned;
    storage.LoadFromIni();
    ASSERT_EQ(lines.Lines(), std::vector<std::string>{"CimE=old.exe"});
    {
        // Written in place, the times put back as they were.
        std::FILE* file = std::fopen(ini.c_str(), "r+");
        ASSERT_NE(file, nullptr);
        std::fputs((table + "new.exe\r\n").c_str(), file);
        std::fclose(file);
        const timespec times[2] = {written.st_atim, written.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, ini.c_str(), times, 0), 0);
    }
    storage.FollowFile();
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{"CimE=new.exe"});

    // Another program holds the lock: the operator's edit is not saved, and the file goes on being
    // followed without losing it.
    const int held = ::open(ini.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const int status = inChild([&] {
        lines.Assign({"CimE=new.exe", "Mine=C:\\mine.exe"});
        try {
            storage.SaveToIni();
            return 2;
        } catch (const EIniFileException&) {
        }
        writeBytes(ini, table + "fixed.exe\r\n");
        storage.FollowFile();
        return lines.Lines() == std::vector<std::string>{"CimE=fixed.exe", "Mine=C:\\mine.exe"} ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    ::close(held);
}

} // namespace
