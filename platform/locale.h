#pragma once

// Locale-aware comparison of 8-bit Windows-1252 text, with the semantics of the Windows call of the
// same name: the result is CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN, or 0 on bad arguments.
#include <string>

namespace platform {

constexpr unsigned LOCALE_USER_DEFAULT = 0x0400;
constexpr unsigned NORM_IGNORECASE = 0x00000001;
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;

// Equal means equal to a reader: with NORM_IGNORECASE the case of letters is ignored (A-Z and the
// Windows-1252 case pairs); accents and punctuation count ("co-op" is not "coop"); the letters that
// stand for two count as those two (sharp s is "ss", the ligatures are "ae" and "oe", thorn is "th");
// the soft hyphen 0xAD counts for nothing. Any negative length means the text ends at its first NUL.
int CompareStringA(unsigned locale, unsigned flags, const char* a, int lenA, const char* b, int lenB);

// The key of `text` for CompareStringA with NORM_IGNORECASE: two texts compare equal exactly when
// their keys are the same bytes, so a key can index a table of names.
std::string CompareKeyA(unsigned locale, const std::string& text);

} // namespace platform
