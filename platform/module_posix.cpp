#include "platform/module.h"

#include "platform/codepage.h"
#include "platform/native_path.h"

#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace platform {

std::string ExecutableFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            path.erase(path.find_last_of('/') + 1);
            return AnsiFileName(path);
        }
        buffer.resize(buffer.size() * 2);
    }
}

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
    fileName = codepage::utf8ToAnsi(fileName); // shown in a message, never opened
    return true;
}

[[gnu::noinline]] const void* ReturnAddress()
{
    return __builtin_extract_return_addr(__builtin_return_address(0));
}

std::string ReadableTypeName(const char* name)
{
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && readable != nullptr ? std::string(readable.get()) : std::string(name);
}

} // namespace platform
