#pragma once

#include <string>

// The profile (INI) file functions. The names, arguments and results are those of the Windows calls;
// values are returned whole, without any length limit.
//
// On POSIX each file is served from one parsed copy in memory between flushes: writes change that
// copy and are written out, atomically and merged with what other processes wrote meanwhile, by the
// flush call WritePrivateProfileStringA(nullptr, nullptr, nullptr, file).
namespace platform {

// The value of `key` in `section` of `file`, or `def` (without its trailing blanks) when the file,
// the section or the key is missing.
std::string GetPrivateProfileStringA(const char* section, const char* key, const char* def, const char* file);

// Sets `key` in `section` to `value`; a null `value` removes the key, a null `key` removes the
// section. False when the file cannot be written.
//
// All three null flushes the file: true unless a write-out failed. On POSIX the flush writes the
// file out and reports a failure there (a full disk); on Windows every write has already reached the
// file and the flush returns true (the Windows call's own result for a flush is always 0).
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file);

// What identifies the version of `file` now on disk, its links followed: it changes with every write
// of the file, by this process or another. Empty when there is no such file. One status query, so a
// caller can tell cheaply whether the file must be read again.
std::string ProfileFileStamp(const char* file);

} // namespace platform
