#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "platform/module.h"

#include <windows.h>

#if !defined(_MSC_VER)
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#endif

#include <vector>

namespace platform {
namespace {

// The ANSI spelling of a wide name; false when the code page cannot spell every character.
bool toAnsi(const std::wstring& wide, std::string& ansi)
{
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0)
        return false;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, buffer.data(), size, nullptr, &lossy);
    ansi = buffer.data();
    return !lossy;
}

} // namespace

std::string ExecutableFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::wstring folder = buffer.data();
    folder.erase(folder.find_last_of(L"\\/") + 1);
    std::string ansi;
    if (toAnsi(folder, ansi))
        return ansi;
    // The ANSI calls reach a folder that the code page cannot spell by its short (8.3) name, where
    // the volume keeps short names.
    const DWORD size = GetShortPathNameW(folder.c_str(), nullptr, 0);
    std::vector<wchar_t> shortName(size + 1);
    std::string shortAnsi;
    if (size > 0 && GetShortPathNameW(folder.c_str(), shortName.data(), size + 1) > 0 &&
        toAnsi(shortName.data(), shortAnsi))
        return shortAnsi;
    // Neither spelling: a lossy one would name another folder.
    return {};
}

#if defined(_MSC_VER)
std::string ReadableTypeName(const char* name)
{
    // The compiler's type names are readable already ("class Exception").
    return name;
}
#else
std::string ReadableTypeName(const char* name)
{
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && readable != nullptr ? std::string(readable.get()) : std::string(name);
}
#endif

} // namespace platform
