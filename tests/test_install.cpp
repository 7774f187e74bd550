// The program as a user meets it after an installation: `cmake --install` into a temporary prefix
// that is then made read-only, the installed program run in a private X server by an ordinary user,
// with home and configuration folders of its own; and the Debian package with its checks.

#include "e2e_support.h"
#include "launch/default_launch_table.h"

#include <QRect>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr uid_t kNobody = 65534;
// Packing (which first checks that the build is up to date) and lintian take their time on a busy
// machine.
constexpr auto kSlowTool = 240s;
const char* const kAppId = VENTIRO_APP_ID;

bool haveTool(const std::string& name)
{
    return runTool({"sh", "-c", "command -v " + name}).code == 0;
}

// The program installed once for all cases, in a prefix nobody can write to.
class Installed : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = std::make_unique<TempDir>("ventiro-install");
        s_root = s_folder->path();
        fs::permissions(s_root, fs::perms(0755));
        s_prefix = s_root / "prefix";
        s_installOutput =
            runTool({VENTIRO_CMAKE, "--install", VENTIRO_BUILD_DIR, "--prefix", s_prefix.string()}).out;
        runTool({"chmod", "-R", "a-w", s_prefix.string()});
    }

    static void TearDownTestSuite() { s_folder.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(s_prefix / "bin/ventiro")) << s_installOutput;
        fs::permissions(m_case, fs::perms(0777));
        for (const char* folder : {"home", "config", "admin", "cwd"}) {
            fs::create_directories(m_case / folder);
            fs::permissions(m_case / folder, fs::perms(0777));
        }
    }

    void TearDown() override { m_panel.reset(); }

    fs::path userIni() const { return m_case / "config/ventiro/Ventiro.ini"; }
    std::string log() const { return readBytes(m_case / "panel.log"); }

    // Starts the installed program as an ordinary user (root becomes "nobody") and waits for its
    // main window.
    std::uint32_t start()
    {
        const std::string home = (m_case / "home").string();
        const std::string config = (m_case / "config").string();
        const std::string dirs = (m_case / "empty").string() + ":" + (m_case / "admin").string();
        m_panel = std::make_unique<Process>(std::vector<std::string>{(s_prefix / "bin/ventiro").string()},
                                            m_case / "cwd", m_case / "panel.log", [&] {
                                                ::setenv("HOME", home.c_str(), 1);
                                                ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
                                                ::setenv("XDG_CONFIG_DIRS", dirs.c_str(), 1);
                                                // A sanitized build's leak check would need the suppression
                                                // file, which the other user may not read; leaks are the
                                                // other tests' business.
                                                ::unsetenv("LSAN_OPTIONS");
                                                ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
                                                if (::geteuid() != 0)
                                                    return true;
                                                return ::setgroups(0, nullptr) == 0 &&
                                                       ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
                                            });
        const std::uint32_t window = waitForWindow(m_panel->Pid(), "^Ventiro");
        EXPECT_NE(window, 0u) << "no main window; output:\n" << log();
        return window;
    }

    void closeAndExpectACleanEnd(std::uint32_t window)
    {
        closeFromOutside(window);
        EXPECT_EQ(m_panel->WaitForExit(), 0) << log();
        EXPECT_EQ(log().find("Unable to write"), std::string::npos) << log();
        EXPECT_EQ(log().find("Error"), std::string::npos) << log();
    }

    static std::unique_ptr<TempDir> s_folder;
    static fs::path s_root;
    static fs::path s_prefix;
    static std::string s_installOutput;
    const TempDir m_caseFolder{"ventiro-user"};
    const fs::path& m_case = m_caseFolder.path();
    std::unique_ptr<Process> m_panel;
};

std::unique_ptr<TempDir> Installed::s_folder;
fs::path Installed::s_root;
fs::path Installed::s_prefix;
std::string Installed::s_installOutput;

TEST_F(Installed, ReadOnlyCopyKeepsTableAndPlacementInTheUsersConfigurationFolder)
{
    std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    ASSERT_EQ(runTool({"xdotool", "windowmove", "--sync", std::to_string(window), "211", "143"}).code, 0);
    closeAndExpectACleanEnd(window);

    const IniContent stored = readIni(userIni());
    ASSERT_TRUE(stored.count(kMainSection)) << "nothing in " << userIni();
    EXPECT_EQ(stored.at(kMainSection).at("NormPos"), "211,143,819,473");
    EXPECT_TRUE(stored.count(kSettingsSection));
    EXPECT_EQ(storedTable(stored).size(), DefaultLaunchTable().size());
    EXPECT_FALSE(fs::exists(s_prefix / "bin/Ventiro.ini"));

    window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(geometryOf(window).topLeft(), QPoint(211, 143));
    closeAndExpectACleanEnd(window);
    EXPECT_EQ(readIni(userIni()).at(kMainSection).at("NormPos"), "211,143,819,473");
}

TEST_F(Installed, AdministratorsFileSeedsTheFirstStart)
{
    std::vector<std::string> table(26, "");
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = "Key" + std::to_string(i) + "=/opt/cad/tool" + std::to_string(i);
    const std::string admin = iniFileOf(table) + "[Pultaro]\r\nNormPos=150,100,758,430\r\n";
    fs::create_directories(m_case / "admin/ventiro");
    writeFile(m_case / "admin/ventiro/Ventiro.ini", admin);

    const std::uint32_t window = start();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(geometryOf(window).topLeft(), QPoint(150, 100));
    closeAndExpectACleanEnd(window);
    EXPECT_EQ(storedTable(readIni(userIni())), table);
    EXPECT_EQ(readBytes(m_case / "admin/ventiro/Ventiro.ini"), admin);
}

// The installed files, under one application id, and the checks of the desktop's own tools.
TEST_F(Installed, DesktopEntryIconsMetadataAndManualPage)
{
    const std::string id = kAppId;
    for (const std::string& file : std::vector<std::string>{
             "share/applications/" + id + ".desktop", "share/metainfo/" + id + ".metainfo.xml",
             "share/icons/hicolor/scalable/apps/" + id + ".svg", "share/man/man1/ventiro.1.gz",
             "share/doc/ventiro/README.md", "share/doc/ventiro/copyright", "share/doc/ventiro/changelog.gz"})
        EXPECT_TRUE(fs::is_regular_file(s_prefix / file)) << file;
    for (const char* size : {"16", "32", "48", "64", "128", "256"})
        EXPECT_TRUE(fs::is_regular_file(s_prefix / "share/icons/hicolor" / (std::string(size) + "x" + size) /
                                        "apps" / (id + ".png")))
            << size;

    const std::string desktop = readBytes(s_prefix / "share/applications" / (id + ".desktop"));
    EXPECT_NE(desktop.find("\nIcon=" + id + "\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nExec=ventiro\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nStartupNotify=true\n"), std::string::npos) << desktop;
    const std::string metainfo = readBytes(s_prefix / "share/metainfo" / (id + ".metainfo.xml"));
    EXPECT_NE(metainfo.find("<id>" + id + "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find(">" + id + ".desktop</launchable>"), std::string::npos);
    EXPECT_NE(metainfo.find("<screenshot type=\"default\">"), std::string::npos);
    EXPECT_NE(readBytes(s_prefix / "share/doc/ventiro/copyright").find("Permission is hereby granted"),
              std::string::npos);

    const ToolResult entry =
        runTool({"desktop-file-validate", (s_prefix / "share/applications" / (id + ".desktop")).string()});
    EXPECT_EQ(entry.code, 0) << entry.out;
    EXPECT_EQ(entry.out, "");
    const ToolResult appstream = runTool({"appstreamcli", "validate", "--no-net",
                                          (s_prefix / "share/metainfo" / (id + ".metainfo.xml")).string()});
    EXPECT_EQ(appstream.code, 0) << appstream.out;
    const ToolResult man =
        runTool({"sh", "-c",
                 "MANWIDTH=80 man --warnings -l " + (s_prefix / "share/man/man1/ventiro.1.gz").string() +
                     " 2>&1 >/dev/null"});
    EXPECT_EQ(man.out, "") << "the manual page has groff warnings";
}

TEST(Package, DebianPackageBuildsWithItsDependenciesAndPassesLintian)
{
#ifdef VENTIRO_SANITIZED
    GTEST_SKIP() << "the package is checked in the plain build";
#endif
    const TempDir folder("ventiro-package");
    const fs::path& out = folder.path();
    const ToolResult made =
        runTool({VENTIRO_CPACK, "-G", "DEB", "--config",
                 std::string(VENTIRO_BUILD_DIR) + "/CPackConfig.cmake", "-B", out.string()},
                kSlowTool);
    ASSERT_EQ(made.code, 0) << made.out;
    const std::string arch = runTool({"dpkg", "--print-architecture"}).out;
    const fs::path deb = out / ("ventiro_" VENTIRO_VERSION "_" + arch.substr(0, arch.find('\n')) + ".deb");
    ASSERT_TRUE(fs::exists(deb)) << made.out;

    const std::string depends = runTool({"dpkg-deb", "--field", deb.string(), "Depends"}).out;
    EXPECT_NE(depends.find("qt6-qpa-plugins"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libqt6widgets6"), std::string::npos) << depends;
    const std::string recommends = runTool({"dpkg-deb", "--field", deb.string(), "Recommends"}).out;
    EXPECT_NE(recommends.find("qt6-translations-l10n"), std::string::npos) << recommends;
    const std::string files = runTool({"dpkg-deb", "--contents", deb.string()}).out;
    for (const std::string& file :
         {std::string("./usr/bin/ventiro"), "./usr/share/applications/" + std::string(kAppId) + ".desktop",
          std::string("./usr/share/doc/ventiro/copyright")})
        EXPECT_NE(files.find(file), std::string::npos) << file << " missing in\n" << files;

    if (haveTool("lintian")) {
        const ToolResult lint =
            runTool({"lintian", "--display-info", "--tag-display-limit", "0", deb.string()}, kSlowTool);
        EXPECT_FALSE(std::regex_search(lint.out, std::regex("(^|\n)E: "))) << lint.out;
        EXPECT_EQ(lint.out.find("hardening-no-"), std::string::npos) << lint.out;
    }
}

testing::Environment* const xServer = testing::AddGlobalTestEnvironment(new XServer);

} // namespace
