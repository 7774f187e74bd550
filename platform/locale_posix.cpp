#include "locale.h"

#include <cstring>

namespace platform {
namespace {

// The lower-case partner of a Windows-1252 byte: A-Z, the Latin-1 capitals 0xC0-0xDE except the
// multiplication sign 0xD7, and the four capitals of the 0x80 block.
unsigned char foldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A:
        return 0x9A; // S caron
    case 0x8C:
        return 0x9C; // OE ligature
    case 0x8E:
        return 0x9E; // Z caron
    case 0x9F:
        return 0xFF; // Y diaeresis
    default:
        return c;
    }
}

} // namespace

int CompareStringA(unsigned /*locale*/, unsigned flags, const char* a, int lenA, const char* b, int lenB)
{
    if (a == nullptr || b == nullptr || lenA < -1 || lenB < -1)
        return 0;
    const std::size_t na = lenA == -1 ? std::strlen(a) : static_cast<std::size_t>(lenA);
    const std::size_t nb = lenB == -1 ? std::strlen(b) : static_cast<std::size_t>(lenB);
    const bool ignoreCase = (flags & NORM_IGNORECASE) != 0;
    const std::size_t n = na < nb ? na : nb;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ignoreCase) {
            ca = foldCase(ca);
            cb = foldCase(cb);
        }
        if (ca != cb)
            return ca < cb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (na == nb)
        return CSTR_EQUAL;
    return na < nb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

} // namespace platform
