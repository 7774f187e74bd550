// Stations that share one Ventiro.ini through network shares whose locks do not pass between their
// clients: a server on 127.0.0.1, started here with a configuration of its own, and two FUSE mounts of
// its export folder, one per station; OpenSSH with sshfs, and Samba with smbnetfs. Needs root and
// /dev/fuse; a share whose programs are missing is skipped.
#include "core/exceptions.h"
#include "core/value_list_strings.h"
#include "storage/form_storage.h"
#include "storage/ini_file.h"
#include "tests/support/recording_window.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

int run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// A port on 127.0.0.1 that nothing listens on now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A server on 127.0.0.1, started here with a configuration of its own, and the two stations' FUSE
// mounts of its export folder, for the life of the object.
class Share
{
public:
    ~Share()
    {
        for (const std::string& point : m_mounted)
            run("fusermount3 -u " + point + " || umount -l " + point);
        if (m_server > 0) {
            ::kill(m_server, SIGTERM);
            ::waitpid(m_server, nullptr, 0);
        }
    }
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;

    const std::string& why() const { return m_why; }
    // The export folder on the server, and as each station sees it.
    std::string exportDir, stationA, stationB;

protected:
    Share()
    {
        exportDir = m_dir.str() + "/export";
        ::mkdir(exportDir.c_str(), 0775);
    }

    // Starts `argv` as the server and waits until it takes connections on `port`.
    void startServer(const std::vector<std::string>& argv, int port)
    {
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        m_server = ::fork();
        if (m_server == 0) {
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!accepts(port) && std::chrono::steady_clock::now() < deadline)
            ::usleep(20000);
    }

    // Mounts with `command` on `point`, a new folder; false when the mount fails.
    bool mount(const std::string& command, const std::string& point)
    {
        ::mkdir(point.c_str(), 0775);
        if (run(command) != 0)
            return false;
        m_mounted.push_back(point);
        return true;
    }

    TempDir m_dir;
    std::string m_why;

private:
    pid_t m_server = -1;
    std::vector<std::string> m_mounted;
};

// OpenSSH and two sshfs mounts.
class SshShare : public Share
{
public:
    SshShare()
    {
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0 ||
            ::access("/usr/sbin/sshd", X_OK) != 0 || run("command -v sshfs") != 0) {
            m_why = "needs root, /dev/fuse, sshd and sshfs";
            return;
        }
        const std::string d = m_dir.str();
        stationA = d + "/a";
        stationB = d + "/b";
        ::mkdir("/run/sshd", 0755);
        const int port = freePort();
        if (run("ssh-keygen -q -t ed25519 -N '' -f " + d + "/host") != 0 ||
            run("ssh-keygen -q -t ed25519 -N '' -f " + d + "/client") != 0 ||
            run("cp " + d + "/client.pub " + d + "/authorized") != 0) {
            m_why = "ssh-keygen failed";
            return;
        }
        writeBytes(d + "/sshd_config", "ListenAddress 127.0.0.1\nPort " + std::to_string(port) +
                                           "\nHostKey " + d + "/host\nAuthorizedKeysFile " + d +
                                           "/authorized\nPermitRootLogin prohibit-password\n"
                                           "PasswordAuthentication no\nUsePAM no\nStrictModes no\n"
                                           "Subsystem sftp internal-sftp\nPidFile " +
                                           d + "/sshd.pid\n");
        startServer({"/usr/sbin/sshd", "-D", "-e", "-f", d + "/sshd_config"}, port);
        // Mounted as the README says a shared table is: without sshfs's directory cache, which would
        // answer sizes and names from a cache for 20 seconds, past any program's reach.
        for (const std::string& station : {stationA, stationB}) {
            if (!mount("sshfs root@127.0.0.1:" + exportDir + " " + station + " -p " + std::to_string(port) +
                           " -o IdentityFile=" + d +
                           "/client,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,"
                           "BatchMode=yes,LogLevel=ERROR,dir_cache=no",
                       station)) {
                m_why = "sshfs cannot mount here";
                return;
            }
        }
    }
};

// Samba and two smbnetfs mounts. smbnetfs reaches a server on a port other than 445 through the host
// name "127.0.0.1:<port>", so the server takes a free port of its own.
class SmbShare : public Share
{
public:
    SmbShare()
    {
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0 ||
            ::access("/usr/sbin/smbd", X_OK) != 0 || run("command -v smbpasswd") != 0 ||
            run("command -v smbnetfs") != 0) {
            m_why = "needs root, /dev/fuse, smbd, smbpasswd and smbnetfs";
            return;
        }
        const std::string d = m_dir.str();
        const std::string port = std::to_string(freePort());
        for (const char* folder :
             {"/private", "/lock", "/state", "/cache", "/pid", "/rpc", "/home", "/home/.smb"})
            ::mkdir((d + folder).c_str(), 0700);
        // Every folder of the server's own in this one; 127.0.0.1 only ("lo" would add ::1); named
        // pipes without their helper processes, which files on a share do not need.
        writeBytes(d + "/smb.conf",
                   "[global]\ninterfaces = 127.0.0.1\nbind interfaces only = yes\nsmb ports = " + port +
                       "\ndisable netbios = yes\nserver role = standalone server\nprivate dir = " + d +
                       "/private\nbinddns dir = " + d + "/private\nlock directory = " + d +
                       "/lock\nstate directory = " + d + "/state\ncache directory = " + d +
                       "/cache\npid directory = " + d + "/pid\nncalrpc dir = " + d +
                       "/rpc\npassdb backend = tdbsam:" + d +
                       "/private/passdb.tdb\nload printers = no\nprintcap name = /dev/null\n"
                       "disable spoolss = yes\nrpc start on demand helpers = no\n"
                       "[export]\npath = " +
                       exportDir + "\nread only = no\n");
        if (run("printf 'ventiro\\nventiro\\n' | smbpasswd -c " + d + "/smb.conf -s -a root") != 0) {
            m_why = "smbpasswd failed";
            return;
        }
        // In a session of its own, as smbd makes it unless told otherwise: when it stops, it signals
        // its whole process group.
        startServer({"/usr/sbin/smbd", "--foreground", "-l", d, "-s", d + "/smb.conf"}, std::stoi(port));
        // The stations' smbnetfs reads its configuration and the client's smb.conf from a home of its
        // own; it takes a password only from a file that nobody else may read.
        writeBytes(d + "/home/.smb/smb.conf", "[global]\n");
        writeBytes(d + "/home/.smb/smbnetfs.conf", "smb_query_browsers \"false\"\n"
                                                   "use_libsecret \"false\"\n"
                                                   "auth \"root\" \"ventiro\"\n");
        ::chmod((d + "/home/.smb/smbnetfs.conf").c_str(), 0600);
        for (const std::string& station : {d + "/a", d + "/b"}) {
            if (!mount("HOME=" + d + "/home smbnetfs " + station, station)) {
                m_why = "smbnetfs cannot mount here";
                return;
            }
        }
        stationA = d + "/a/127.0.0.1:" + port + "/export";
        stationB = d + "/b/127.0.0.1:" + port + "/export";
        struct stat st = {};
        if (::stat(stationA.c_str(), &st) != 0 || ::stat(stationB.c_str(), &st) != 0)
            m_why = "smbnetfs cannot reach the server";
    }
};

std::vector<std::string> designedTable()
{
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i)
        lines.push_back("Tool" + std::to_string(i) + "=C:\\CAD\\tool" + std::to_string(i) + ".exe");
    return lines;
}

// A settings window of a panel on `ini`, shown once so that it holds the file's table.
struct Station
{
    explicit Station(const std::string& ini) : window(1, 2, 300, 200, false), storage(window)
    {
        window.table = &table;
        storage.SetStoredProps({"Verknuepfungseditor.Strings"});
        storage.IniFileName = ini;
        storage.IniSection = "Einstellungenmaske";
        window.show();
        window.visible = false;
    }
    RecordingWindow window;
    TValueListStrings table;
    TFormStorage storage;
};

std::vector<std::string> storedTable(const std::string& ini)
{
    const TIniFile file(ini);
    std::vector<std::string> lines;
    const std::string section = "Einstellungenmaske.Verknuepfungseditor_Strings";
    for (int i = 0; i < file.ReadInteger(section, "Count", 0); ++i)
        lines.push_back(file.ReadString(section, "Item" + std::to_string(i), ""));
    return lines;
}

// What a save left in the export folder beside the file: temporary files, its lock.
std::vector<std::string> strayFiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename() != "Ventiro.ini")
            names.push_back(entry.path().filename().string());
    return names;
}

// Two stations close their settings windows at the same moment, each having changed another entry:
// both edits are kept, and everything else of the file (the other sections, the whole table, the
// mode, the access control list and the extended attributes).
void closeTwoStationsAtOnce(const Share& share)
{
    const std::string file = share.exportDir + "/Ventiro.ini";
    for (int round = 0; round < 10; ++round) {
        std::string content =
            "[Pultaro]\r\nFormVersion=0\r\nNormPos=326,279,934,609\r\n[Einstellungenmaske]\r\n"
            "FormVersion=0\r\n[Einstellungenmaske.Verknuepfungseditor_Strings]\r\nCount=40\r\n";
        const std::vector<std::string> designed = designedTable();
        for (std::size_t i = 0; i < designed.size(); ++i)
            content += "Item" + std::to_string(i) + "=" + designed[i] + "\r\n";
        writeBytes(file, content);
        ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
        ASSERT_EQ(::setxattr(file.c_str(), "user.ventiro", "kept", 4, 0), 0);
        ASSERT_EQ(run("setfacl -m u:nobody:rw " + file), 0);

        int ready[2];
        int go[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(go), 0);
        std::vector<pid_t> stations;
        for (int s = 0; s < 2; ++s) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::alarm(60);
                ::close(go[1]);
                Station station((s == 0 ? share.stationA : share.stationB) + "/Ventiro.ini");
                if (station.table.Lines() != designed)
                    ::_exit(3);
                station.table.Put(s == 0 ? 3 : 30, s == 0 ? "Tool3=C:\\A.exe" : "Tool30=C:\\B.exe");
                char byte = 0;
                if (::write(ready[1], "r", 1) != 1 || ::read(go[0], &byte, 1) != 0)
                    ::_exit(4);
                station.window.closeQuery();
                ::_exit(station.window.errors.empty() ? 0 : 5);
            }
            stations.push_back(pid);
        }
        ::close(go[0]);
        ::close(ready[1]); // a station that ends before it is ready ends the wait too
        for (int s = 0; s < 2; ++s) {
            char byte = 0;
            ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "round " << round;
        }
        ::close(go[1]); // both stations have read the file: they close at once
        ::close(ready[0]);
        for (const pid_t pid : stations) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        // The lock keeps the two saves apart on the share: both edits are kept, and every other entry.
        std::vector<std::string> expected = designed;
        expected[3] = "Tool3=C:\\A.exe";
        expected[30] = "Tool30=C:\\B.exe";
        EXPECT_EQ(storedTable(file), expected) << "round " << round;
        EXPECT_EQ(TIniFile(file).ReadString("Pultaro", "NormPos", ""), "326,279,934,609");
        struct stat st = {};
        ::stat(file.c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, 0664u);
        char value[16] = {};
        EXPECT_EQ(::getxattr(file.c_str(), "user.ventiro", value, sizeof value), 4);
        EXPECT_GT(::getxattr(file.c_str(), "system.posix_acl_access", nullptr, 0), 0);
        EXPECT_EQ(strayFiles(share.exportDir), std::vector<std::string>{}) << "round " << round;
    }
}

// An edit through the other station in the same second as this station's read, of the same size:
// neither the time nor the size nor the inode number tells, and the next click still finds it.
void followSameSecondSameSizeEdit(const Share& share)
{
    const std::string table = "[Einstellungenmaske.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=CimE=";
    writeBytes(share.exportDir + "/Ventiro.ini", table + "old.exe\r\n");
    Station station(share.stationA + "/Ventiro.ini");
    ASSERT_EQ(station.table.Lines(), std::vector<std::string>{"CimE=old.exe"});
    writeBytes(share.stationB + "/Ventiro.ini", table + "new.exe\r\n");
    // The mount keeps a file's status for a moment: until then a click still sees the old table.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (station.table.Get(0) != "CimE=new.exe" && std::chrono::steady_clock::now() < deadline) {
        station.storage.FollowFile();
        ::usleep(100000);
    }
    EXPECT_EQ(station.table.Lines(), std::vector<std::string>{"CimE=new.exe"});
}

TEST(NetworkShare, TwoStationsClosingAtOnceLoseNoOtherEntry)
{
    SshShare share;
    if (!share.why().empty())
        GTEST_SKIP() << share.why();
    closeTwoStationsAtOnce(share);
}

TEST(NetworkShare, SameSecondSameSizeEditIsFollowed)
{
    SshShare share;
    if (!share.why().empty())
        GTEST_SKIP() << share.why();
    followSameSecondSameSizeEdit(share);
}

// smbnetfs does not pass an exclusive create on to the server, but a folder is made once: the lock
// keeps the stations apart there too.
TEST(SmbShare, TwoStationsClosingAtOnceLoseNoOtherEntry)
{
    SmbShare share;
    if (!share.why().empty())
        GTEST_SKIP() << share.why();
    closeTwoStationsAtOnce(share);
}

// smbnetfs shows neither extended attributes nor access control lists (ENOTSUP), and a list of them
// fails (EIO): a new file could not be checked to carry the server's, so the save writes through the
// file, which keeps its inode and mode, and leaves nothing beside it.
TEST(SmbShare, SaveWhereAttributesCannotBeListedWritesThrough)
{
    SmbShare share;
    if (!share.why().empty())
        GTEST_SKIP() << share.why();
    const std::string file = share.exportDir + "/Ventiro.ini";
    writeBytes(file, "[Pultaro]\r\nNormPos=326,279,934,609\r\n"
                     "[Einstellungenmaske.Verknuepfungseditor_Strings]\r\nCount=1\r\nItem0=CimE=old.exe\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
    struct stat before = {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    Station station(share.stationA + "/Ventiro.ini");
    ASSERT_EQ(station.table.Lines(), std::vector<std::string>{"CimE=old.exe"});
    station.table.Put(0, "CimE=new.exe");
    station.window.closeQuery();
    EXPECT_EQ(station.window.errors, std::vector<std::string>{});
    EXPECT_EQ(storedTable(file), std::vector<std::string>{"CimE=new.exe"});
    EXPECT_EQ(TIniFile(file).ReadString("Pultaro", "NormPos", ""), "326,279,934,609");
    struct stat after = {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0664u);
    EXPECT_EQ(strayFiles(share.exportDir), std::vector<std::string>{});
}

// The first save makes the file: smbnetfs makes no hard link (EPERM) and renames or removes no file
// that is open (EBUSY), also for a moment after its close; the new file is renamed into place all the
// same, and nothing is left beside it.
TEST(SmbShare, FirstSaveMakesTheFile)
{
    SmbShare share;
    if (!share.why().empty())
        GTEST_SKIP() << share.why();
    Station station(share.stationA + "/Ventiro.ini");
    station.table.Add("CimE=new.exe");
    station.window.closeQuery();
    EXPECT_EQ(station.window.errors, std::vector<std::string>{});
    EXPECT_EQ(storedTable(share.exportDir + "/Ventiro.ini"), std::vector<std::string>{"CimE=new.exe"});
    EXPECT_EQ(strayFiles(share.exportDir), std::vector<std::string>{});
}

TEST(SmbShare, SameSecondSameSizeEditIsFollowed)
{
    SmbShare share;
    if (!share.why().empty())
        GTEST_SKIP() << share.why();
    followSameSecondSameSizeEdit(share);
}

} // namespace
