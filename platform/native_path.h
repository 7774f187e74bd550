#pragma once

#include <string>

// The one crossing between the program's 8-bit file names and the file names of the OS.
//
// The program keeps every file name as 8-bit Windows-1252 text, like the rest of its text (the INI
// file's name is the executable's folder plus "Ventiro.ini", commands of the launch table name
// programs and folders). A POSIX file system names files in UTF-8, so every POSIX backend hands each
// path it gives to the OS through NativeFileName, and every name that comes from the OS into the
// program's text goes through AnsiFileName. The Win32 backends need neither: the ANSI calls of
// Windows take the 8-bit names as they are (platform/module_win32.cpp hands out the executable's
// folder by its short name where the code page cannot spell it).
//
// A name that Windows-1252 cannot spell (a folder "Проект"; bytes that are no valid UTF-8) has no
// 8-bit form that converts back to it. AnsiFileName then hands out a stand-in, much as Windows hands
// out a short name: each such character as "?" and "~N" after the last component ("/srv/Проект/"
// becomes "/srv/??????~1/", a second name of the same spelling "~2"), and remembers the native
// spelling behind it for the life of the process. NativeFileName puts the native spelling back for a
// path that begins with a stand-in, so such a path reaches the file system unchanged; the rest of the
// path converts as usual. The "~N" keeps text that merely lost the same characters on its way into
// the program (a path typed into the launch table) from matching a stand-in. The prefix matches
// without regard to ASCII case, as the reference file system ignores case and the launcher
// upper-cases its paths. Only names handed out by AnsiFileName are remembered; a real folder spelled
// like a stand-in is shadowed by it.
namespace platform {

// The 8-bit name of a native file name: the Windows-1252 spelling, or a remembered stand-in.
std::string AnsiFileName(const std::string& native);

// The native file name of an 8-bit one: the UTF-8 spelling, with a stand-in at its start replaced by
// the native name it stands for.
std::string NativeFileName(const std::string& ansi);

} // namespace platform
