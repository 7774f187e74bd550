#include "platform/codepage.h"

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
