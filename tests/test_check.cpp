// ventiro --check and --ini, through the real binary without a display: a Wine-style drive in a
// temporary folder, stand-ins for wine and xdg-open on a PATH of the test's own.

#include "e2e_support.h"

#include "launch/panel_buttons.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace e2e;

namespace {

class Check : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "prefix" / "dosdevices");
        fs::create_directories(m_dir / "drive_c" / "Cim" / "Bin");
        fs::create_directory_symlink(m_dir / "drive_c", m_dir / "prefix" / "dosdevices" / "c:");
        writeFile(m_dir / "drive_c" / "Cim" / "Bin" / "cime.exe", "MZ");
        writeFile(m_dir / "drive_c" / "Cim" / "readme.txt", "text");
        writeFile(m_dir / "drive_c" / "Cim" / "tool.sh", "#!/bin/sh\n");
        fs::permissions(m_dir / "drive_c" / "Cim" / "tool.sh", fs::perms::owner_all);
        for (const char* folder : {"with-wine", "bare", "central"})
            fs::create_directory(m_dir / folder);
        writeFile(m_dir / "with-wine" / "wine", "#!/bin/sh\n");
        fs::permissions(m_dir / "with-wine" / "wine", fs::perms::owner_all);
    }

    // The report of `ventiro --check --ini <ini>` by launch key, and its exit code.
    std::map<std::string, std::string> check(const std::string& path, int& code, std::string& output)
    {
        const ToolResult result = runTool(
            {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "WINEPREFIX=" + (m_dir / "prefix").string(),
             "PATH=" + (m_dir / path).string(), VENTIRO_BINARY, "--check", "--ini", ini().string()},
            kPatience, true);
        code = result.code;
        output = result.out;
        std::map<std::string, std::string> lines;
        std::istringstream text(result.out);
        for (std::string line; std::getline(text, line);)
            lines[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
        return lines;
    }

    fs::path ini() const { return m_dir / "central" / "Ventiro.ini"; }
    // A file of drive C: as the check names it, through the prefix's drive link.
    std::string drive(const std::string& path) const
    {
        return (m_dir / "prefix" / "dosdevices" / "c:" / path).string();
    }

    const TempDir m_folder{"ventiro-check"};
    const fs::path& m_dir = m_folder.path();
};

TEST_F(Check, EachLineGetsWhatAPressWouldStartOrTheReasonOfItsMessage)
{
    writeFile(ini(),
              iniFileOf({"CimE=C:\\CIM\\BIN\\CIME.EXE", "Hotline=C:\\NOPE\\HOTLINE.EXE",
                         "Browser=C:\\CIM\\BIN\\MISSING.EXE", "CimZip=C:\\CIM\\README.TXT",
                         "Simula=C:\\CIM\\TOOL.SH [-x]", "Extra=D:\\TOOL.SH", "simula=unused", "no line"}));
    const std::string wine = (m_dir / "with-wine" / "wine").string();
    const char* const noOpener = "Keine Anwendung zum \xC3\x96"
                                 "ffnen dieser Datei (wine, xdg-open).";
    const struct
    {
        const char* path; // the PATH the check runs with
        const char* key;
        std::string line; // what follows the key
    } cases[] = {
        {"with-wine", "CimE", wine + " " + drive("Cim/Bin/cime.exe") + "\tOK"},
        {"bare", "CimE", "C:\\CIM\\BIN\\CIME.EXE\t" + std::string(noOpener)},
        {"with-wine", "Hotline", "C:\\NOPE\\HOTLINE.EXE\tVerzeichnis wurde nicht gefunden."},
        {"with-wine", "Browser", "C:\\CIM\\BIN\\MISSING.EXE\tDatei wurde nicht gefunden."},
        {"with-wine", "CimZip", "C:\\CIM\\README.TXT\t" + std::string(noOpener)},
        {"with-wine", "Simula", drive("Cim/tool.sh") + "\tOK"},
        {"with-wine", "Extra", "D:\\TOOL.SH\tVerzeichnis wurde nicht gefunden."},
        {"with-wine", "Farben", "\tKein Eintrag in der Tabelle."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.key);
        int code = -1;
        std::string output;
        const auto report = check(c.path, code, output);
        EXPECT_EQ(code, 1);
        ASSERT_TRUE(report.count(c.key)) << output;
        EXPECT_EQ(report.at(c.key), c.line);
        // One line per button, one per other line a press reaches; a shadowed line and one
        // without a name are no keys.
        std::size_t buttons = 0;
        for (const PanelButton& button : PanelButtons())
            buttons += button.launchKey != nullptr ? 1 : 0;
        EXPECT_EQ(report.size(), buttons + 1) << output;
    }
}

TEST_F(Check, EveryButtonFoundIsExitCodeZero)
{
    std::vector<std::string> table;
    for (const PanelButton& button : PanelButtons()) {
        if (button.launchKey != nullptr)
            table.push_back(std::string(button.launchKey) + "=C:\\CIM\\TOOL.SH");
    }
    writeFile(ini(), iniFileOf(table));
    int code = -1;
    std::string output;
    check("bare", code, output);
    EXPECT_EQ(code, 0) << output;
}

TEST_F(Check, AnIniFileThatCannotBeUsedIsOneLineAndExitCodeTwo)
{
    const std::string missing = (m_dir / "nowhere" / "Ventiro.ini").string();
    const std::string absent = (m_dir / "absent.ini").string();
    const struct
    {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"--ini", missing},
         "ventiro: die INI-Datei \xC2\xBB" + missing + "\xC2\xAB l\xC3\xA4sst sich weder lesen noch anlegen"},
        {{"--check", "--ini", absent},
         "ventiro: die INI-Datei \xC2\xBB" + absent + "\xC2\xAB l\xC3\xA4sst sich nicht lesen"},
        {{"--ini", m_dir.string()},
         "ventiro: die INI-Datei \xC2\xBB" + m_dir.string() +
             "\xC2\xAB l\xC3\xA4sst sich weder lesen noch anlegen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> args = {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", VENTIRO_BINARY};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult result = runTool(args, kPatience, true);
        EXPECT_EQ(result.code, 2);
        EXPECT_EQ(result.out, c.line + "\n");
    }
    EXPECT_FALSE(fs::exists(absent)) << "a check creates nothing";
}

} // namespace
