# Collects the sources of one folder: every *.cpp, with the OS backends chosen by file name
# (*_posix.cpp on POSIX, *_win32.cpp on Windows).
function(ventiro_folder_sources out dir)
    file(GLOB files CONFIGURE_DEPENDS "${dir}/*.cpp")
    if(WIN32)
        list(FILTER files EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER files EXCLUDE REGEX "_win32\\.cpp$")
    endif()
    if(NOT files)
        set(files ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    set(${out} ${files} PARENT_SCOPE)
endfunction()
