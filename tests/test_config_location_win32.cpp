// Where a Windows copy keeps its INI file: beside itself where it may write, else under %APPDATA%.
// Real folders under a temporary folder; %APPDATA% points into it.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "platform/config_location.h"
#include "tests/support/files.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class ConfigLocation : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(appData);
        fs::create_directories(program);
        SetEnvironmentVariableA("APPDATA", appData.string().c_str());
    }
    void TearDown() override { SetEnvironmentVariableA("APPDATA", nullptr); }

    std::string locate(const fs::path& folder) const
    {
        return platform::ConfigFileLocation(folder.empty() ? std::string() : folder.string() + "\\",
                                            "Ventiro.ini");
    }

    TempDir temp;
    const fs::path appData = temp.path() / "Roaming";
    const fs::path program = temp.path() / "Portable";
    const std::string userFile = (temp.path() / "Roaming" / "Ventiro" / "Ventiro.ini").string();
};

TEST_F(ConfigLocation, PortableCopyKeepsItsFileBesideItselfEvenAReadOnlyOne)
{
    EXPECT_EQ(locate(program), (program / "Ventiro.ini").string());
    EXPECT_TRUE(fs::is_empty(program)) << "the trial file stayed behind";
    // A read-only file in a folder that can be written is the administrator's wish: the saves report it.
    writeBytes((program / "Ventiro.ini").string(), "[Pultaro]\r\n");
    SetFileAttributesA((program / "Ventiro.ini").string().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(locate(program), (program / "Ventiro.ini").string());
    EXPECT_FALSE(fs::exists(appData / "Ventiro"));
    SetFileAttributesA((program / "Ventiro.ini").string().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ConfigLocation, FolderThatCannotBeWrittenOrSpelledSendsItToTheUsersFolder)
{
    // A folder that cannot take a file (here: one that is not there), and the empty name that stands
    // for a folder the code page cannot spell.
    for (const fs::path& folder : {temp.path() / "Gone", fs::path()}) {
        SCOPED_TRACE(folder.string());
        EXPECT_EQ(locate(folder), userFile);
        EXPECT_TRUE(fs::is_directory(appData / "Ventiro"));
        EXPECT_FALSE(fs::exists(userFile)); // nothing to start from: the first save makes it
    }
    // The user's own file is never replaced.
    writeBytes(userFile, "[Pultaro]\r\nNormPos=1,2,3,4\r\n");
    EXPECT_EQ(locate(temp.path() / "Gone"), userFile);
    EXPECT_EQ(readBytes(userFile), "[Pultaro]\r\nNormPos=1,2,3,4\r\n");
}

} // namespace
