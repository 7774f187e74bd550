#include "platform/module.h"

#include <windows.h>

namespace platform {

bool ModuleOfAddress(const void* address, std::string& fileName, std::uintptr_t& offset)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return false;
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    offset = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module);
    fileName = path;
    const auto slash = fileName.find_last_of("\\/");
    if (slash != std::string::npos)
        fileName.erase(0, slash + 1);
    return true;
}

} // namespace platform
