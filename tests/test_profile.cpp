#include "host.h"
#include "platform/profile.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

namespace {

struct ReadCase
{
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    const char* expected;
    bool wineDiffers = false; // Wine reads this unlike Windows
};

// Each file is read with the default "def  ", which comes back as "def".
const ReadCase kReadCases[] = {
    {"blanks around key and value", "[s]\r\n  key  =  v  \r\n", "s", "key", "v"},
    {"semicolon inside a value", "[s]\r\nk=v ;x\r\n", "s", "k", "v ;x"},
    {"comment line", "[s]\r\n;k=v\r\n", "s", "k", "def"},
    {"hash is no comment", "[s]\r\n#k=v\r\n", "s", "#k", "v"},
    {"double quotes", "[s]\r\nk=\"  v  \"\r\n", "s", "k", "  v  "},
    {"nested quotes", "[s]\r\nk=\"'v'\"\r\n", "s", "k", "'v'"},
    {"mixed quotes stay", "[s]\r\nk=\"v'\r\n", "s", "k", "\"v'"},
    {"single quote alone", "[s]\r\nk='\r\n", "s", "k", "'"},
    {"case of names", "[SeC]\r\nKeY=v\r\n", "sec", "key", "v"},
    {"first duplicate section", "[s]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n", "s", "j", "def"},
    {"first duplicate key", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "1"},
    // Wine finds lines before the first header as the section named "".
    {"before the first header", "k=v\r\n[s]\r\n", "", "k", "def", true},
    {"header with text after it", "[ s ] tail\r\nk=v\r\n", "s", "k", "v"},
    // Wine opens no section for a header without "]".
    {"header without bracket", "[ s \r\nk=v\r\n", "s", "k", "v", true},
    {"indented header", "   [s]\r\nk=v\r\n", "s", "k", "v"},
    {"arguments trimmed", "[s]\r\nk=v\r\n", "  s ", " k\t", "v"},
    {"LF only", "[s]\nk=v\nj=w\n", "s", "j", "w"},
    {"CR only", "[s]\rk=v\rj=w", "s", "j", "w"},
    {"line without equals", "[s]\r\nk\r\n", "s", "k", "def"},
    {"equals inside value", "[s]\r\nItem0=CimE=c:\\x.exe\r\n", "s", "Item0", "CimE=c:\\x.exe"},
    {"missing section", "[t]\r\nk=v\r\n", "s", "k", "def"},
    // Wine takes the mark as a sign of UTF-8 and drops it.
    {"UTF-8 mark belongs to line one", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "def", true},
};

TEST(ProfileReading, RulesTable)
{
    TempDir dir;
    int n = 0;
    for (const ReadCase& c : kReadCases) {
        if (c.wineDiffers && RunningUnderWine())
            continue;
        const std::string path = dir.file("case" + std::to_string(n++) + ".ini");
        writeBytes(path, c.file);
        EXPECT_EQ(platform::GetPrivateProfileStringA(c.section, c.key, "def  ", path.c_str()), c.expected)
            << c.name;
    }
    EXPECT_EQ(platform::GetPrivateProfileStringA("s", "k", "def  ", dir.file("missing.ini").c_str()), "def");
}

TEST(ProfileWriting, KeepsForeignLinesAndPlacesNewKeys)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine rewrites the file: it drops blank lines, puts a new key after the section's "
                        "trailing comment and trims the blanks of a written value; Windows does none of that";
    TempDir dir;
    const std::string path = dir.file("w.ini");
    writeBytes(path, "; top\r\n[a]\r\nX = 1\r\n\r\n; tail of a\r\n[b]\r\ny=2\r\n");
    ASSERT_TRUE(platform::WritePrivateProfileStringA("a", "x", "9", path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA("a", "new", "n", path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA(" c ", "k", " v ", path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA("b", nullptr, nullptr, path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()));
    EXPECT_EQ(readBytes(path), "; top\r\n[a]\r\nX=9\r\nnew=n\r\n\r\n; tail of a\r\n[c]\r\nk= v \r\n");
}

TEST(ProfileWriting, NewFileAndValueRemoval)
{
    TempDir dir;
    const std::string path = dir.file("n.ini");
    ASSERT_TRUE(platform::WritePrivateProfileStringA("sec", "key", "value", path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()));
    EXPECT_EQ(readBytes(path), "[sec]\r\nkey=value\r\n");
    ASSERT_TRUE(platform::WritePrivateProfileStringA("sec", "key", nullptr, path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA("none", nullptr, nullptr, path.c_str()));
    ASSERT_TRUE(platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()));
    EXPECT_EQ(readBytes(path), "[sec]\r\n");
    EXPECT_FALSE(platform::WritePrivateProfileStringA("s", "k", "v", ""));
    EXPECT_FALSE(platform::WritePrivateProfileStringA("s", "k", "v", dir.file("no/such/folder.ini").c_str()));
}

} // namespace
