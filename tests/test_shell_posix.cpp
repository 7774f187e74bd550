#include "launch/launcher.h"
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ShellOpen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ventiro-shell-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_record = m_root / "record.txt";
        ::setenv("VENTIRO_RECORD", m_record.c_str(), 1);
        fs::create_directories(m_root / "Tools");
        fs::copy_file(RECORD_HELPER, m_root / "Tools" / "Helper");
        m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    }
    void TearDown() override
    {
        ::setenv("PATH", m_oldPath.c_str(), 1);
        fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_root);
    }

    // Waits for the started helper to write its record (it runs detached from us).
    std::vector<std::string> record()
    {
        for (int i = 0; i < 1000 && !fs::exists(m_record); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(m_record);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::intptr_t open(const std::string& file, const std::string& params, const std::string& dir)
    {
        return platform::ShellExecuteA(nullptr, "open", file.c_str(), params.c_str(), dir.c_str(), 1);
    }

    fs::path m_root;
    fs::path m_record;
    std::string m_oldPath;
};

} // namespace

TEST_F(ShellOpen, LaunchThroughTheTableStartsTheProgramInItsFolder)
{
    TValueListStrings table({"Tool=" + m_root.string() + "/tools/helper  [a \"b c\" ; | $(x) `y` d\\\"e]"});
    std::vector<std::string> messages;
    LaunchServices services;
    services.showMessage = [&](const std::string& m) { messages.push_back(m); };
    LaunchProgram(table, "TOOL", 9, services);
    ASSERT_TRUE(messages.empty()) << messages[0];
    const auto lines = record();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(fs::path(lines[0]), fs::canonical(m_root / "Tools"));
    EXPECT_EQ(lines[1], "stdin-tty=0 sid-leader=1");
    const std::vector<std::string> args(lines.begin() + 2, lines.end());
    const std::vector<std::string> expected = {"A", "B C", ";", "|", "$(X)", "`Y`", "D\"E"};
    EXPECT_EQ(args, expected);
}

TEST_F(ShellOpen, CommandLineSplitFollowsTheCRuntime)
{
    using platform::SplitCommandLine;
    EXPECT_EQ(SplitCommandLine("a  b\tc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("\"a b\" \"\""), (std::vector<std::string>{"a b", ""}));
    EXPECT_EQ(SplitCommandLine("\"a\"\"b\""), (std::vector<std::string>{"a\"b"}));
    EXPECT_EQ(SplitCommandLine("a\\\\\"b c\""), (std::vector<std::string>{"a\\b c"}));
    EXPECT_EQ(SplitCommandLine("a\\\\\\\"b"), (std::vector<std::string>{"a\\\"b"}));
    EXPECT_EQ(SplitCommandLine("c:\\x\\y"), (std::vector<std::string>{"c:\\x\\y"}));
    EXPECT_EQ(SplitCommandLine("-"), (std::vector<std::string>{"-"}));
    EXPECT_TRUE(SplitCommandLine("  ").empty());
}

TEST_F(ShellOpen, RelativeNameTrailingBlankAndNoZombie)
{
    const std::string dir = m_root.string() + "\\TOOLS\\";
    EXPECT_GT(open("HELPER  ", "-", dir), 32);
    const auto lines = record();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "-");
    // Nothing of ours is left to reap: the start was detached.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(ShellOpen, FailuresMapToTheShellCodes)
{
    std::ofstream(m_root / "Tools" / "doc.txt") << "plain text";
    std::ofstream(m_root / "Tools" / "script.sh") << "#!/bin/sh\necho hi\n";
    ::setenv("PATH", (m_root / "nothing").c_str(), 1); // no xdg-open, no wine
    const std::string tools = (m_root / "Tools").string() + "/";

    EXPECT_EQ(open("missing.exe", "-", tools), 2);
    EXPECT_EQ(open("", "-", tools), 2);
    EXPECT_EQ(open(" HELPER", "-", tools), 2);
    EXPECT_EQ(open("HELPER", "-", m_root.string() + "/gone/"), 3);
    EXPECT_EQ(open(m_root.string() + "/gone/x.exe", "-", ""), 3);
    EXPECT_EQ(open("Q:\\X.EXE", "-", ""), 3); // no drive mapping for Q:
    EXPECT_EQ(open("doc.txt", "-", tools), 31);
    EXPECT_EQ(open("prog.exe", "-", tools), 2);
    EXPECT_EQ(open("script.sh", "-", tools), 5); // a program without execute permission
}

TEST_F(ShellOpen, UnreadableFileIsAccessDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    std::ofstream(m_root / "Tools" / "locked") << "#!/bin/sh\n";
    fs::permissions(m_root / "Tools" / "locked", fs::perms::none);
    EXPECT_EQ(open("locked", "-", m_root.string() + "/Tools/"), 5);
}
