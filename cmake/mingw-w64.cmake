# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Programs are linked statically, so they run without the compiler's DLLs beside them. Where Wine
# is installed, ctest runs the test programs through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VENTIRO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VENTIRO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VENTIRO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VENTIRO_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VENTIRO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(VENTIRO_WINE NAMES wine wine64)
if(VENTIRO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VENTIRO_WINE})
endif()
# GCC 12 warns of overlapping copies inside std::string that cannot happen (GCC bug 105329, with
# the optimizer's inlining of operator+); warnings-as-errors would turn that into a failed build.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
