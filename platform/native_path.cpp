#include "platform/native_path.h"

#include "platform/codepage.h"

#include <mutex>
#include <vector>

namespace platform {
namespace {

// A stand-in and the native name behind it, both without trailing separators.
struct StandIn
{
    std::string ansi;
    std::string native;
};

std::mutex g_mutex;
std::vector<StandIn> g_standIns;

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::string withoutTrailingSeparators(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 0 && isSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `path` begins with `prefix` (ASCII case ignored) followed by a separator or its end.
bool beginsWith(const std::string& path, const std::string& prefix)
{
    if (path.size() < prefix.size() || (path.size() > prefix.size() && !isSeparator(path[prefix.size()])))
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lowerAscii(path[i]) != lowerAscii(prefix[i]))
            return false;
    }
    return true;
}

// The stand-in that begins `path`, the longest when several do.
const StandIn* standInOf(const std::string& path)
{
    const StandIn* best = nullptr;
    for (const StandIn& s : g_standIns) {
        if (beginsWith(path, s.ansi) && (best == nullptr || s.ansi.size() > best->ansi.size()))
            best = &s;
    }
    return best;
}

// The stand-in of a native name from its lossy spelling (both without trailing separators): "~N"
// after it, N the first number that no other native name's stand-in has.
std::string standInFor(const std::string& lossy, const std::string& native)
{
    for (int n = 1;; ++n) {
        const std::string candidate = lossy + "~" + std::to_string(n);
        const StandIn* taken = nullptr;
        for (const StandIn& s : g_standIns) {
            if (s.ansi.size() == candidate.size() && beginsWith(candidate, s.ansi))
                taken = &s;
        }
        if (taken == nullptr)
            g_standIns.push_back({candidate, native});
        if (taken == nullptr || taken->native == native)
            return candidate;
    }
}

} // namespace

std::string AnsiFileName(const std::string& native)
{
    const std::string ansi = codepage::utf8ToAnsi(native);
    if (codepage::ansiToUtf8(ansi) == native)
        return ansi;
    const std::string lossy = withoutTrailingSeparators(ansi);
    const std::lock_guard<std::mutex> guard(g_mutex);
    return standInFor(lossy, withoutTrailingSeparators(native)) + ansi.substr(lossy.size());
}

std::string NativeFileName(const std::string& ansi)
{
    const std::lock_guard<std::mutex> guard(g_mutex);
    if (const StandIn* s = standInOf(ansi))
        return s->native + codepage::ansiToUtf8(ansi.substr(s->ansi.size()));
    return codepage::ansiToUtf8(ansi);
}

} // namespace platform
