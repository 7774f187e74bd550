#include "platform/module.h"

#include <dlfcn.h>

namespace platform {

bool ModuleOfAddress(const void* address, std::string& fileName, std::uintptr_t& offset)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return false;
    offset = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    fileName = info.dli_fname;
    const auto slash = fileName.find_last_of('/');
    if (slash != std::string::npos)
        fileName.erase(0, slash + 1);
    return true;
}

} // namespace platform
