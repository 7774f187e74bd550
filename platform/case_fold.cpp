#include "case_fold.h"

#include "codepage.h"

#include <array>

namespace platform {
namespace {

constexpr std::array<unsigned char, 256> makeTable()
{
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7)
            table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
    }
    table[0x8A] = 0x9A; // S caron
    table[0x8C] = 0x9C; // OE ligature
    table[0x8E] = 0x9E; // Z caron
    table[0x9F] = 0xFF; // Y diaeresis
    return table;
}

constexpr std::array<unsigned char, 256> kFold = makeTable();

// The length of the well-formed UTF-8 sequence at position i (2 or 3 bytes: Windows-1252 has no
// character beyond U+FFFF), or 0 when there is none.
std::size_t sequenceLength(const std::string& text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const auto trail = [&](std::size_t k) { return k < text.size() && (at(k) & 0xC0) == 0x80; };
    const unsigned char lead = at(i);
    if (lead >= 0xC2 && lead <= 0xDF && trail(i + 1))
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF && trail(i + 1) && trail(i + 2) && (lead != 0xE0 || at(i + 1) >= 0xA0))
        return 3;
    return 0;
}

} // namespace

unsigned char FoldCase(unsigned char c)
{
    return kFold[c];
}

std::string FoldUtf8(const std::string& name)
{
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            folded += static_cast<char>(kFold[c]);
            ++i;
            continue;
        }
        const std::size_t length = sequenceLength(name, i);
        if (length == 0) {
            folded += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::string character = name.substr(i, length);
        const std::string ansi = codepage::utf8ToAnsi(character);
        const unsigned char byte = ansi.size() == 1 ? static_cast<unsigned char>(ansi[0]) : '?';
        if (byte != '?' && kFold[byte] != byte)
            folded += codepage::ansiToUtf8(std::string(1, static_cast<char>(kFold[byte])));
        else
            folded += character;
        i += length;
    }
    return folded;
}

} // namespace platform
