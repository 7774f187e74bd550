// Our names for the flags come first: the system header defines the same names as macros.
#include "locale.h"

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

int CompareStringA(unsigned locale, unsigned flags, const char* a, int lenA, const char* b, int lenB)
{
    return ::CompareStringA(locale, flags, a, lenA, b, lenB);
}

} // namespace platform
