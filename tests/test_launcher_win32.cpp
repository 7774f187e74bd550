// The launcher against the real ShellExecuteA: a table entry starts a small Windows program, which
// records the command line it was given and the folder it was started in.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "launch/launcher.h"
#include "launch_test_support.h"
#include "platform/shell.h"
#include "platform/shell_codes.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using namespace launchtest;

// Points the helper at a record file for the lifetime of the object; started programs inherit it.
class RecordTo
{
public:
    explicit RecordTo(const fs::path& file)
    {
        SetEnvironmentVariableA("VENTIRO_RECORD_FILE", file.string().c_str());
    }
    ~RecordTo() { SetEnvironmentVariableA("VENTIRO_RECORD_FILE", nullptr); }
};

class RealLaunch : public testing::Test
{
protected:
    TempDir folder;
    std::vector<std::string> messages;

    void launch(const std::string& entry)
    {
        LaunchServices services;
        services.showMessage = [this](const std::string& m) { messages.push_back(m); };
        services.shellOpen = platform::ShellExecuteA;
        LaunchFromTable(TValueListStrings({"Tool=" + entry}), "TOOL", 9, services);
    }
};

TEST_F(RealLaunch, StartsTheProgramInItsFolderWithTheUpperCasedParameters)
{
    fs::create_directory(folder.path() / "Tools");
    installHelper(folder.path() / "Tools", "rec-helper.exe");
    const fs::path record = folder.path() / "record";
    RecordTo to(record);

    launch((folder.path() / "tools" / "Rec-Helper.exe").string() + " [a \"b c\" d\\\"e]");
    EXPECT_TRUE(messages.empty());
    const auto fields = waitForFields(record);
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->size(), 2u);
    // The folder as the entry names it, upper-cased: the file system ignores case.
    EXPECT_EQ((*fields)[0], UpperCaseAscii((folder.path() / "tools").string()));
    // The command line is the program's path followed by the parameters exactly as the entry
    // gives them, upper-cased; the program's C runtime splits them.
    const std::string commandLine = (*fields)[1];
    const std::string parameters = "A \"B C\" D\\\"E";
    ASSERT_GE(commandLine.size(), parameters.size());
    EXPECT_EQ(commandLine.substr(commandLine.size() - parameters.size()), parameters) << commandLine;
    EXPECT_NE(commandLine.find("REC-HELPER.EXE"), std::string::npos) << commandLine;
    EXPECT_EQ(platform::SplitCommandLine(parameters), (std::vector<std::string>{"A", "B C", "D\"E"}));
}

TEST_F(RealLaunch, MissingFileAndFolderGiveTheSameMessagesAsOnPosix)
{
    const std::string dir = UpperCaseAscii(folder.str()) + "\\";
    launch(folder.str() + "\\nope.exe");
    launch(folder.str() + "\\no such folder\\tool.exe [x]");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Verzeichnis: " + dir + "\rProgramm: NOPE.EXE\rParameter: -\r\r" +
                               ErrorText(platform::shellcode::kFileNotFound));
    EXPECT_EQ(messages[1], "Verzeichnis: " + dir + "NO SUCH FOLDER\\\rProgramm: TOOL.EXE \rParameter: X\r\r" +
                               ErrorText(3));
}

} // namespace
