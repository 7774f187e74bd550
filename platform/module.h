#pragma once

#include <string>

// What the program knows about its own code: where its executable lives and the readable names of
// its types.
namespace platform {

// The folder of the running executable with a trailing separator, as an 8-bit file name (see
// platform/native_path.h for a folder that Windows-1252 cannot spell; on Windows its short name).
// Empty when the system cannot tell, or on Windows when the folder has no spelling in the ANSI code
// page at all (no short names on its volume).
std::string ExecutableFolder();

// The readable spelling of a type name as typeid(...).name() gives it (demangled where the compiler
// mangles it), or the name as it is when it cannot be read.
std::string ReadableTypeName(const char* name);

} // namespace platform
