#include "platform/codepage.h"
#include "platform/native_path.h"

#include <gtest/gtest.h>

TEST(Codepage, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(codepage::utf8ToAnsi(codepage::ansiToUtf8(all)), all);
}

TEST(Codepage, GermanTextAndTheEuroSign)
{
    EXPECT_EQ(codepage::ansiToUtf8("Hauptmen\xFC"), "Hauptmen\xC3\xBC");
    EXPECT_EQ(codepage::ansiToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(codepage::utf8ToAnsi("\xE2\x82\xAC \xC3\x9F"), "\x80 \xDF");
}

TEST(Codepage, UnmappableAndInvalidInputLosesNoByte)
{
    EXPECT_EQ(codepage::utf8ToAnsi("\xE4\xB8\xAD"), "?"); // a CJK character
    EXPECT_EQ(codepage::utf8ToAnsi("a\xFF"
                                   "b"),
              "a\xFF"
              "b");                                  // a stray byte is kept as Latin-1
    EXPECT_EQ(codepage::utf8ToAnsi("\xC3"), "\xC3"); // a cut sequence
}

// File names: a name that Windows-1252 spells converts both ways; one that it cannot spell gets a
// stand-in that leads back to the native name, and nothing else does.
TEST(NativeFileName, SpelledNamesConvertStandInsLeadBack)
{
    const std::string proekt = "/srv/\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB5\xD0\xBA\xD1\x82/"; // Проект
    const std::string obekt = "/srv/\xD0\x9E\xD0\xB1\xD1\x8A\xD0\xB5\xD0\xBA\xD1\x82/";  // Объект
    const std::string latin1 = "/srv/B\xFCro/"; // not UTF-8: a folder named in Latin-1
    EXPECT_EQ(platform::AnsiFileName("/srv/B\xC3\xBCro/"), "/srv/B\xFCro/");
    EXPECT_EQ(platform::AnsiFileName(proekt), "/srv/??????~1/");
    EXPECT_EQ(platform::AnsiFileName(proekt), "/srv/??????~1/"); // asked again: the same stand-in
    EXPECT_EQ(platform::AnsiFileName(obekt), "/srv/??????~2/");
    EXPECT_EQ(platform::AnsiFileName(latin1), "/srv/B\xFCro~1/");

    struct Case
    {
        const char* ansi;
        std::string native;
    };
    const Case cases[] = {
        {"/srv/B\xFCro/Ventiro.ini", "/srv/B\xC3\xBCro/Ventiro.ini"},
        {"/srv/??????~1/Ventiro.ini", proekt + "Ventiro.ini"},
        {"/srv/??????~2/B\xFCro", obekt + "B\xC3\xBCro"},
        {"/srv/??????~1", proekt.substr(0, proekt.size() - 1)},
        {"/SRV/??????~1/TOOLS/A.SH", proekt + "TOOLS/A.SH"}, // as the launcher upper-cases it
        {"/srv/B\xFCro~1/x", latin1 + "x"},
        {"/srv/?????"
         "?/x",
         "/srv/?????"
         "?/x"},                                  // text that lost its letters elsewhere
        {"/srv/??????~10/x", "/srv/??????~10/x"}, // no stand-in
        {"/srv/??????~1x", "/srv/??????~1x"},     // not at a component boundary
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::NativeFileName(c.ansi), c.native) << c.ansi;
}
