// Where the INI file is kept: real folders with real permissions. Run as root, each lookup is made
// with the effective user "nobody", for whom the read-only folders are read-only.

#include "platform/config_location.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

void writeFile(const fs::path& path, const std::string& content, fs::perms perms = fs::perms(0644))
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, perms);
}

struct Case
{
    const char* name;
    bool programFolderWritable;
    const char* besideIni; // content of Ventiro.ini beside the program, nullptr for none
    bool besideIniWritable;
    const char* configHome;          // XDG_CONFIG_HOME below the test folder ("" unset, "rel" relative)
    const char* configDirs;          // XDG_CONFIG_DIRS, "@" standing for the test folder
    const char* userIni;             // an existing file in the user's configuration folder
    const char* expected;            // the result below the test folder
    const char* content;             // what the result holds afterwards, nullptr for no file
    const char* installed = nullptr; // a file of an installation below the program's ../share/
};

const Case kCases[] = {
    {"portable copy in a writable folder", true, nullptr, false, "config", "", nullptr, "prog/Ventiro.ini",
     nullptr},
    {"portable copy with its file", true, "mine", true, "config", "", nullptr, "prog/Ventiro.ini", "mine"},
    {"writable file in a read-only folder", false, "mine", true, "config", "", nullptr, "prog/Ventiro.ini",
     "mine"},
    {"read-only folder: the user's folder, made", false, nullptr, false, "config", "@/none", nullptr,
     "config/ventiro/Ventiro.ini", nullptr},
    {"without XDG_CONFIG_HOME: ~/.config", false, nullptr, false, "", "@/none", nullptr,
     "home/.config/ventiro/Ventiro.ini", nullptr},
    {"relative XDG_CONFIG_HOME is ignored", false, nullptr, false, "rel", "@/none", nullptr,
     "home/.config/ventiro/Ventiro.ini", nullptr},
    {"seeded from the read-only file beside", false, "beside", false, "config", "@/admin1", nullptr,
     "config/ventiro/Ventiro.ini", "beside"},
    {"seeded from the first file in XDG_CONFIG_DIRS", false, nullptr, false, "config",
     "relative:@/none:@/admin1:@/admin2", nullptr, "config/ventiro/Ventiro.ini", "admin1"},
    {"the user's own file is never replaced", false, "beside", false, "config", "@/admin1", "own",
     "config/ventiro/Ventiro.ini", "own"},
    {"installed into a writable prefix", true, nullptr, false, "config", "@/none", nullptr,
     "config/ventiro/Ventiro.ini", nullptr, "applications/org.ventiro.Ventiro.desktop"},
    {"installed prefix: an older file beside is the seed", true, "old", true, "config", "@/none", nullptr,
     "config/ventiro/Ventiro.ini", "old", "doc/ventiro/README.md"},
};

class ConfigLocation : public testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        fs::permissions(m_root, fs::perms(0755));
        for (const char* folder : {"home", "config", "admin1/ventiro", "admin2/ventiro"}) {
            fs::create_directories(m_root / folder);
            fs::permissions(m_root / folder, fs::perms(0777));
        }
        writeFile(m_root / "admin1/ventiro/Ventiro.ini", "admin1");
        writeFile(m_root / "admin2/ventiro/Ventiro.ini", "admin2");
        m_saved = {variable("HOME"), variable("XDG_CONFIG_HOME"), variable("XDG_CONFIG_DIRS")};
    }

    void TearDown() override
    {
        restore("HOME", m_saved[0]);
        restore("XDG_CONFIG_HOME", m_saved[1]);
        restore("XDG_CONFIG_DIRS", m_saved[2]);
    }

    static std::optional<std::string> variable(const char* name)
    {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }

    static void restore(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

    // The lookup as an ordinary user would make it.
    std::string locate(const std::string& folder)
    {
        const bool root = ::geteuid() == 0;
        if (root && ::seteuid(kNobody) != 0)
            return "<no seteuid>";
        std::string result = platform::ConfigFileLocation(folder, "Ventiro.ini");
        if (root && ::seteuid(0) != 0)
            std::abort();
        return result;
    }

    // Under /tmp, which the ordinary user of locate() can reach whatever TMPDIR says.
    const TempDir m_folder{"ventiro-location", "/tmp"};
    const fs::path& m_root = m_folder.path();
    std::array<std::optional<std::string>, 3> m_saved;
};

TEST_P(ConfigLocation, ChoosesAndSeeds)
{
    const Case& c = GetParam();
    const fs::path prog = m_root / "prog";
    fs::create_directories(prog);
    if (c.besideIni != nullptr)
        writeFile(prog / "Ventiro.ini", c.besideIni, c.besideIniWritable ? fs::perms(0666) : fs::perms(0444));
    if (c.userIni != nullptr)
        writeFile(m_root / "config/ventiro/Ventiro.ini", c.userIni);
    if (c.installed != nullptr)
        writeFile(m_root / "share" / c.installed, "");
    fs::permissions(prog, c.programFolderWritable ? fs::perms(0777) : fs::perms(0555));

    ::setenv("HOME", (m_root / "home").c_str(), 1);
    if (*c.configHome == '\0')
        ::unsetenv("XDG_CONFIG_HOME");
    else if (std::string(c.configHome) == "rel")
        ::setenv("XDG_CONFIG_HOME", "config", 1);
    else
        ::setenv("XDG_CONFIG_HOME", (m_root / c.configHome).c_str(), 1);
    std::string dirs = c.configDirs;
    for (std::size_t at; (at = dirs.find('@')) != std::string::npos;)
        dirs.replace(at, 1, m_root.string());
    ::setenv("XDG_CONFIG_DIRS", dirs.c_str(), 1);

    const std::string result = locate(prog.string() + "/");
    EXPECT_EQ(result, (m_root / c.expected).string());
    EXPECT_TRUE(fs::is_directory(fs::path(result).parent_path())) << "the folder is there to write into";
    if (c.content == nullptr) {
        EXPECT_FALSE(fs::exists(result));
    } else {
        EXPECT_EQ(readBytes(result), c.content);
    }
    EXPECT_EQ(readBytes(m_root / "admin1/ventiro/Ventiro.ini"), "admin1") << "the seed stays as it was";
    // A second lookup finds the same file and leaves it alone.
    EXPECT_EQ(locate(prog.string() + "/"), result);
    if (c.content != nullptr) {
        EXPECT_EQ(readBytes(result), c.content);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigLocation, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// A program installed in the system's folders never keeps its settings there, not even when root
// runs it and could write there.
TEST(ConfigLocationSystem, ProgramBelowUsrUsesTheConfigurationFolder)
{
    const TempDir root("ventiro-location");
    const char* home = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = home ? std::optional<std::string>(home) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", root.str().c_str(), 1);
    EXPECT_EQ(platform::ConfigFileLocation("/usr/bin/", "Ventiro.ini"), root.file("ventiro/Ventiro.ini"));
    EXPECT_FALSE(fs::exists("/usr/bin/Ventiro.ini"));
    if (saved)
        ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
