#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The file name (without directory) of the module that contains `address`, and the address's offset
// from the start of that module. False when no module contains it.
bool ModuleOfAddress(const void* address, std::string& fileName, std::uintptr_t& offset);

} // namespace platform
