#include "platform/module.h"

#include "platform/native_path.h"

#include <cstdlib>
#include <cxxabi.h>
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

std::string ReadableTypeName(const char* name)
{
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && readable != nullptr ? std::string(readable.get()) : std::string(name);
}

} // namespace platform
