#pragma once

#include <string>

// Letter case in Windows-1252: the one table behind every comparison without regard to case, the
// locale compare of launch keys and the matching of file names alike.
namespace platform {

// The lower-case partner of a Windows-1252 byte: A-Z, the Latin-1 capitals 0xC0-0xDE except the
// multiplication sign 0xD7, and S caron, OE, Z caron and Y diaeresis of the 0x80 block. Every other
// byte is its own partner.
unsigned char FoldCase(unsigned char c);

// A UTF-8 name folded with the same table: every character that Windows-1252 can write is replaced by
// its lower-case partner; other characters and malformed bytes stay as they are.
std::string FoldUtf8(const std::string& name);

} // namespace platform
