// The case-insensitive compare, run against the POSIX backend on Linux and against the Windows call
// itself in the Windows build (under Wine in CI): one table, both answers must agree on equality.
#include "platform/locale.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::CompareStringA;
using platform::CSTR_EQUAL;
const unsigned kLocale = platform::LOCALE_USER_DEFAULT;
const unsigned kIgnoreCase = platform::NORM_IGNORECASE;

struct EqualityCase
{
    const char* a;
    const char* b;
    bool equal;
};

// Names as an operator types them, in Windows-1252. The equal pairs beyond plain case follow the
// Windows sorting weights: a letter that stands for two compares as those two, the soft hyphen has
// no weight. Wine takes its weights from the same tables and agrees on every pair here.
const EqualityCase kCorpus[] = {
    // ASCII
    {"Salut", "SaLuT", true},
    {"Salut", "Salute", false},
    {"CIMATRONE_LAUNCHER.EXE", "cimatrone_launcher.exe", true},
    {"", "", true},
    {"a", "", false},
    {"Item10", "item1", false},
    // accents count, their case does not
    {"\xC9t\xE9", "\xE9T\xC9", true},
    {"\xE9", "e", false},
    {"\xC4rger", "\xE4RGER", true},
    {"\xC4rger", "Aerger", false},
    {"M\xFC"
     "ller",
     "MUELLER", false},
    {"\xC0\xC1\xC2\xC3\xC4\xC5\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1",
     "\xE0\xE1\xE2\xE3\xE4\xE5\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1", true},
    {"\xD2\xD3\xD4\xD5\xD6\xD8\xD9\xDA\xDB\xDC\xDD", "\xF2\xF3\xF4\xF5\xF6\xF8\xF9\xFA\xFB\xFC\xFD", true},
    {"\xD7", "\xF7", false}, // multiplication and division sign are no case pair
    {"\xC5", "\xE4", false},
    // the case pairs of the 0x80 block
    {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},
    {"\x8A", "S", false},
    {"\x9F", "Y", false},
    {"\x83", "f", false}, // the florin sign has no capital
    // letters that stand for two
    {"Stra\xDF"
     "e",
     "STRASSE", true},
    {"\xDF", "Ss", true},
    {"\xDF", "s", false},
    {"\xC6", "ae", true},
    {"\xE6", "AE", true},
    {"\x8C"
     "uvre",
     "OEUVRE", true},
    {"\x9C", "oe", true},
    {"\xDE", "th", true},
    {"\xE6", "a", false},
    // the soft hyphen counts for nothing, a hyphen does
    {"Ein\xAD"
     "stellungen",
     "Einstellungen", true},
    {"\xAD", "", true},
    {"co\xAD"
     "op",
     "CO-OP", false},
    // punctuation counts
    {"co-op", "coop", false},
    {"it's", "its", false},
    {"a.b", "ab", false},
    {"a b", "ab", false},
    {"C:\\X", "c:/x", false},
    {"[x]", "(x)", false},
    {"\x88", "^", true}, // the modifier circumflex weighs as the circumflex
};

TEST(CompareStringA, CorpusEquality)
{
    for (const EqualityCase& c : kCorpus) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(CompareStringA(kLocale, kIgnoreCase, c.a, -1, c.b, -1) == CSTR_EQUAL, c.equal);
        EXPECT_EQ(CompareStringA(kLocale, kIgnoreCase, c.b, -1, c.a, -1) == CSTR_EQUAL, c.equal);
    }
}

TEST(CompareStringA, LengthsAndCase)
{
    EXPECT_NE(CompareStringA(kLocale, 0, "a", -1, "A", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(kLocale, 0, "\xDF", -1, "ss", -1), CSTR_EQUAL);
    EXPECT_NE(CompareStringA(kLocale, 0, "\xC6", -1, "ae", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(kLocale, kIgnoreCase, "ab", 1, "A", -1), CSTR_EQUAL);
    // Any negative length means the text ends at its first NUL.
    for (int length : {-1, -2, -100})
        EXPECT_EQ(CompareStringA(kLocale, kIgnoreCase, "abc", length, "ABC", 3), CSTR_EQUAL) << length;
    EXPECT_EQ(CompareStringA(kLocale, kIgnoreCase, nullptr, -1, "A", -1), 0);
}

} // namespace
