// Our names for the flags come first: the system header defines the same names as macros.
#include "locale.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

int CompareStringA(unsigned locale, unsigned flags, const char* a, int lenA, const char* b, int lenB)
{
    return ::CompareStringA(locale, flags, a, lenA, b, lenB);
}

std::string CompareKeyA(unsigned locale, const std::string& text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size = ::LCMapStringA(locale, LCMAP_SORTKEY | NORM_IGNORECASE, text.data(), length, nullptr, 0);
    std::string key(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 || ::LCMapStringA(locale, LCMAP_SORTKEY | NORM_IGNORECASE, text.data(), length,
                                    reinterpret_cast<LPSTR>(key.data()), size) != size)
        return text;
    return key;
}

} // namespace platform
