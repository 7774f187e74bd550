#include "locale.h"

#include "case_fold.h"

#include <cstddef>
#include <cstring>

namespace platform {
namespace {

// Reads a Windows-1252 text as the sequence the comparison looks at. With the case ignored every
// letter is taken in its lower-case form (FoldCase). As in the Windows sorting
// weights, the letters that stand for two (sharp s, the ligatures ae and oe, thorn) count as those
// two, the modifier circumflex 0x88 counts as '^', and the soft hyphen 0xAD and NUL count for
// nothing.
class Folded
{
public:
    Folded(const char* text, std::size_t length, bool ignoreCase)
        : m_text(reinterpret_cast<const unsigned char*>(text)), m_length(length), m_ignoreCase(ignoreCase)
    {}

    // The next character of the sequence, or -1 at its end.
    int next()
    {
        if (m_pending != 0) {
            const int c = m_pending;
            m_pending = 0;
            return c;
        }
        while (m_pos < m_length) {
            const unsigned char c = m_text[m_pos++];
            if (c == 0x00 || c == 0xAD)
                continue;
            return m_ignoreCase ? fold(c) : expand(c);
        }
        return -1;
    }

private:
    int expand(unsigned char c)
    {
        switch (c) {
        case 0xDF: // sharp s
            return pair('s', 's');
        case 0xC6:
            return pair('A', 'E');
        case 0xE6:
            return pair('a', 'e');
        case 0x8C:
            return pair('O', 'E');
        case 0x9C:
            return pair('o', 'e');
        case 0xDE:
            return pair('T', 'H');
        case 0xFE:
            return pair('t', 'h');
        case 0x88:
            return '^';
        default:
            return c;
        }
    }

    int fold(unsigned char c)
    {
        const int e = expand(c);
        if (m_pending != 0)
            m_pending = FoldCase(static_cast<unsigned char>(m_pending));
        return FoldCase(static_cast<unsigned char>(e));
    }

    int pair(char first, char second)
    {
        m_pending = static_cast<unsigned char>(second);
        return static_cast<unsigned char>(first);
    }

    const unsigned char* m_text;
    std::size_t m_length;
    bool m_ignoreCase;
    std::size_t m_pos = 0;
    int m_pending = 0;
};

} // namespace

int CompareStringA(unsigned /*locale*/, unsigned flags, const char* a, int lenA, const char* b, int lenB)
{
    if (a == nullptr || b == nullptr)
        return 0;
    const std::size_t na = lenA < 0 ? std::strlen(a) : static_cast<std::size_t>(lenA);
    const std::size_t nb = lenB < 0 ? std::strlen(b) : static_cast<std::size_t>(lenB);
    const bool ignoreCase = (flags & NORM_IGNORECASE) != 0;
    Folded x(a, na, ignoreCase);
    Folded y(b, nb, ignoreCase);
    for (;;) {
        const int ca = x.next();
        const int cb = y.next();
        if (ca != cb)
            return ca < cb ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
        if (ca < 0)
            return CSTR_EQUAL;
    }
}

std::string CompareKeyA(unsigned /*locale*/, const std::string& text)
{
    Folded folded(text.data(), text.size(), true);
    std::string key;
    key.reserve(text.size());
    for (int c = folded.next(); c >= 0; c = folded.next())
        key.push_back(static_cast<char>(c));
    return key;
}

} // namespace platform
