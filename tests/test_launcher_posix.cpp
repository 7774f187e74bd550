// The launcher against the POSIX shell open and real child processes.
#include "launch/launcher.h"
#include "launch_test_support_posix.h"
#include "platform/codepage.h"
#include "platform/shell.h"

#include <gtest/gtest.h>

namespace {

using namespace launchtest;

// Drive letters must never reach the user's own Windows compatibility prefix.
class IsolatedPrefix : public testing::Environment
{
public:
    void SetUp() override { ::setenv("WINEPREFIX", "/nonexistent/ventiro-test-prefix", 1); }
};
const auto* const isolatedPrefix = testing::AddGlobalTestEnvironment(new IsolatedPrefix);

// The launcher against the real shell and real child processes.
class RealLaunch : public testing::Test
{
protected:
    TempDir folder;
    std::vector<std::string> messages;
    int shellCalls = 0;

    LaunchServices services()
    {
        LaunchServices s;
        s.showMessage = [this](const std::string& m) { messages.push_back(m); };
        s.shellOpen = [this](void* o, const char* op, const char* f, const char* p, const char* d, int show) {
            ++shellCalls;
            return platform::ShellExecuteA(o, op, f, p, d, show);
        };
        return s;
    }

    void launch(const std::string& entry)
    {
        const TValueListStrings table({"Tool=" + entry});
        LaunchFromTable(table, "TOOL", 9, services());
    }
};

TEST_F(RealLaunch, StartsTheProgramInItsFolderWithTheSplitArguments)
{
    installHelper(folder.path(), "rec-helper");
    const fs::path record = folder.path() / "record";
    RecordTo to(record);

    launch(folder.str() + "/rec-helper [a \"b c\" d\\\"e ; | $(echo x) `id` \"\"]");
    EXPECT_EQ(shellCalls, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(noChildLeft());

    const auto rec = waitForRecord(record);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->cwd, folder.str());
    EXPECT_NE(rec->session, std::to_string(::getsid(0)));
    EXPECT_EQ(rec->stdinKind, "null");
    const std::vector<std::string> expected = {
        (folder.path() / "rec-helper").string(), "A", "B C", "D\"E", ";", "|", "$(ECHO", "X)", "`ID`", ""};
    EXPECT_EQ(rec->argv, expected);
}

TEST_F(RealLaunch, WithoutBracketsTheProgramGetsOneMinus)
{
    installHelper(folder.path(), "rec-helper");
    const fs::path record = folder.path() / "record";
    RecordTo to(record);
    launch(folder.str() + "/REC-HELPER");
    const auto rec = waitForRecord(record);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->argv, (std::vector<std::string>{(folder.path() / "rec-helper").string(), "-"}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(RealLaunch, MissingFileGivesTheFiveLineMessage)
{
    launch(folder.str() + "/nope.exe");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Verzeichnis: " + UpperCaseAscii(folder.str()) +
                               "/\rProgramm: NOPE.EXE\rParameter: -\r\rDatei wurde nicht gefunden.");
}

TEST_F(RealLaunch, DocumentWithoutOpenerEndsInAnEmptyLine)
{
    writeFile(folder.path() / "readme.txt", "just text\n", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(folder.path() / "bin");
    PathSetTo path((folder.path() / "bin").string());
    launch(folder.str() + "/readme.txt [x]");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Verzeichnis: " + UpperCaseAscii(folder.str()) + "/\rProgramm: README.TXT \rParameter: X\r\r");
}

TEST_F(RealLaunch, HighBytesReachTheProgramAsUtf8)
{
    installHelper(folder.path(), "\xC3\xA4-helper"); // "ä-helper" on disk
    const fs::path record = folder.path() / "record";
    RecordTo to(record);
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high += static_cast<char>(c);
    launch(folder.str() + "/\xE4-helper [" + high + "]");
    EXPECT_TRUE(messages.empty());
    const auto rec = waitForRecord(record);
    ASSERT_TRUE(rec);
    ASSERT_EQ(rec->argv.size(), 2u);
    EXPECT_EQ(rec->argv[1], codepage::ansiToUtf8(high));
}

TEST_F(RealLaunch, BadEntriesEndInOneShellCallOrOneMessage)
{
    std::string nested = "/";
    while (nested.size() < (1u << 20))
        nested += "deep\\";
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high += static_cast<char>(c);
    const std::string entries[] = {
        std::string(1u << 20, 'a'),
        nested + "x.exe [" + std::string(1000, '[') + "]",
        folder.str() + "/x [a [b",
        folder.str() + "/x ]a[ [b]",
        "]" + folder.str() + "/[x",
        high,
        "C:\\" + high + "\\[" + high,
        "[]",
        "[",
        "]",
    };
    for (const std::string& entry : entries) {
        SCOPED_TRACE(entry.substr(0, 60));
        shellCalls = 0;
        messages.clear();
        launch(entry);
        EXPECT_EQ(shellCalls, 1);
        EXPECT_EQ(messages.size(), 1u);
    }
}

} // namespace
