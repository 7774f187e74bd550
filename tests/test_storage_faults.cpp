#include "core/exceptions.h"
#include "core/value_list_strings.h"
#include "platform/profile.h"
#include "storage/form_storage.h"
#include "storage/ini_file.h"
#include "tests/support/recording_window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

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
            window.destroy(); // the destroy hook tries once more and reports the same way
            return window.errors.size() == 2 ? 0 : 6;
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

} // namespace
