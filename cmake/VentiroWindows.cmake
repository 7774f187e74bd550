# The Windows program as it is handed out: a folder that runs wherever it is unpacked, with the Qt
# libraries, the platform and style plug-ins and the compiler's runtime beside ventiro.exe, and the
# zip of that folder, ventiro-<version>-win64.zip (target ventiro_windows_zip, `make windows-zip`).
# The build's own programs (the panel and its tests) all land in bin/ (CMakeLists.txt), which gets the
# same libraries and plug-ins, so that they run there as they are, under Wine too.

set(VENTIRO_WINDOWS_NAME ventiro-${PROJECT_VERSION}-win64)
set(VENTIRO_WINDOWS_FOLDER ${PROJECT_BINARY_DIR}/${VENTIRO_WINDOWS_NAME})

# The runtime of the compiler that built Qt and the panel: the C++ library, the unwinder, the threads.
set(runtime)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${dll} of the compiler was not found")
    endif()
    file(REAL_PATH "${path}" path)
    list(APPEND runtime "${path}")
endforeach()

set(qt_targets Qt6::Core Qt6::Gui Qt6::Widgets)
set(platform_targets Qt6::QWindowsIntegrationPlugin)
set(style_targets)
if(TARGET Qt6::QWindowsVistaStylePlugin)
    list(APPEND style_targets Qt6::QWindowsVistaStylePlugin)
endif()
list(TRANSFORM qt_targets REPLACE "(.+)" "$<TARGET_FILE:\\1>" OUTPUT_VARIABLE qt_libraries)
list(TRANSFORM platform_targets REPLACE "(.+)" "$<TARGET_FILE:\\1>" OUTPUT_VARIABLE platform_plugins)
list(TRANSFORM style_targets REPLACE "(.+)" "$<TARGET_FILE:\\1>" OUTPUT_VARIABLE style_plugins)

# ventiro_windows_copy(<folder> <extra libraries> <extra platform plug-ins>): the commands that fill a
# folder with what the programs in it need.
function(ventiro_windows_copy out folder libraries platforms)
    set(commands
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/platforms ${folder}/styles
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${runtime} ${qt_libraries} ${libraries} ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${platform_plugins} ${platforms} ${folder}/platforms)
    if(style_plugins)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${style_plugins} ${folder}/styles)
    endif()
    set(${out} ${commands} PARENT_SCOPE)
endfunction()

# bin/: the programs of the build, the tests among them (Qt's test library; offscreen platform).
set(test_libraries)
set(test_platforms)
if(VENTIRO_TESTS)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    set(test_libraries $<TARGET_FILE:Qt6::Test>)
    if(TARGET Qt6::QOffscreenIntegrationPlugin)
        set(test_platforms $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>)
    endif()
endif()
ventiro_windows_copy(bin_commands ${PROJECT_BINARY_DIR}/bin "${test_libraries}" "${test_platforms}")
add_custom_target(ventiro_windows_runtime ALL ${bin_commands} VERBATIM)

# The folder to hand out, and its zip. The zip holds the folder itself, so that it unpacks into one.
# What it holds is stripped of symbols: the compiler's C++ library alone carries 20 MB of them.
set(stripped ${VENTIRO_WINDOWS_FOLDER}/$<TARGET_FILE_NAME:ventiro>)
foreach(file ${runtime})
    get_filename_component(name "${file}" NAME)
    list(APPEND stripped ${VENTIRO_WINDOWS_FOLDER}/${name})
endforeach()
foreach(pair "${qt_targets}|" "${platform_targets}|platforms/" "${style_targets}|styles/")
    string(REPLACE "|" ";" pair "${pair}")
    list(POP_BACK pair folder)
    foreach(target ${pair})
        list(APPEND stripped ${VENTIRO_WINDOWS_FOLDER}/${folder}$<TARGET_FILE_NAME:${target}>)
    endforeach()
endforeach()
ventiro_windows_copy(folder_commands ${VENTIRO_WINDOWS_FOLDER} "" "")
add_custom_target(ventiro_windows_folder
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${VENTIRO_WINDOWS_FOLDER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VENTIRO_WINDOWS_FOLDER}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:ventiro> ${VENTIRO_WINDOWS_FOLDER}
    ${folder_commands}
    COMMAND ${CMAKE_STRIP} --strip-unneeded ${stripped}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${VENTIRO_WINDOWS_FOLDER}/README.md
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${VENTIRO_WINDOWS_FOLDER}/LICENSE.txt
    DEPENDS ventiro VERBATIM)
add_custom_target(ventiro_windows_zip
    COMMAND ${CMAKE_COMMAND} -E rm -f ${VENTIRO_WINDOWS_NAME}.zip
    COMMAND ${CMAKE_COMMAND} -E tar cf ${VENTIRO_WINDOWS_NAME}.zip --format=zip ${VENTIRO_WINDOWS_NAME}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    DEPENDS ventiro_windows_folder VERBATIM)
