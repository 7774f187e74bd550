#pragma once

#include <string>

// The profile (INI) file functions. The names, arguments and results are those of the Windows calls;
// values are returned whole, without any length limit.
//
// The program keeps its windows' state through the storage's transaction (storage/ini_file.h); these
// serve tools and tests that set up or inspect a file key by key. On POSIX each read reads the file
// and each write is one transaction of its own; the flush call is accepted and has nothing to do.
namespace platform {

// The value of `key` in `section` of `file`, or `def` (without its trailing blanks) when the file,
// the section or the key is missing.
std::string GetPrivateProfileStringA(const char* section, const char* key, const char* def, const char* file);

// Sets `key` in `section` to `value`; a null `value` removes the key, a null `key` removes the
// section. False when the file cannot be written.
//
// All three null is the flush call of Windows: every write has already reached the file, and it
// returns true.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file);

} // namespace platform
