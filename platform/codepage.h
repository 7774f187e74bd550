#pragma once

#include <string>

// The program keeps all of its text (the launch table, messages, the INI file) as 8-bit Windows-1252
// in std::string. These two functions are the only way that text crosses to UTF-8, which is what the
// file system and Qt speak.
namespace codepage {

// Every byte maps to a code point; the five bytes that Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same value, so no byte is ever lost.
std::string ansiToUtf8(const std::string& ansi);

// Characters outside Windows-1252 become "?"; invalid UTF-8 bytes are taken as Latin-1.
std::string utf8ToAnsi(const std::string& utf8);

} // namespace codepage
