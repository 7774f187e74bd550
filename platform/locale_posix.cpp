#include "locale.h"

#include "case_fold.h"

#include <cstring>

namespace platform {
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
            ca = FoldCase(ca);
            cb = FoldCase(cb);
        }
        if (ca != cb)
            return ca < cb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (na == nb)
        return CSTR_EQUAL;
    return na < nb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

} // namespace platform
