#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "platform/profile.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string GetPrivateProfileStringA(const char* section, const char* key, const char* def, const char* file)
{
    // The Windows call cuts the value to the buffer; grow the buffer until the value fits.
    std::vector<char> buffer(2048);
    for (;;) {
        const DWORD got = ::GetPrivateProfileStringA(section, key, def, buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), file);
        if (got + 1 < buffer.size())
            return std::string(buffer.data(), got);
        buffer.resize(buffer.size() * 2);
    }
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file)
{
    // Windows returns 0 for the flush call whether or not it flushed (each write has already reached
    // the file), so that result means nothing and the flush is no failure here.
    if (section == nullptr && key == nullptr && value == nullptr)
        return true;
    return ::WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

} // namespace platform
