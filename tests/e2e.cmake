# What the end-to-end tests of both systems share: the panel's buttons, measured in this process.
add_library(ventiro_panel_test_support STATIC support/panel_buttons.cpp support/panel_buttons.h)
target_link_libraries(ventiro_panel_test_support PUBLIC ventiro_app GTest::gtest)

# The real program in a private X server (Xvfb), driven with xdotool and xclip.
if(NOT WIN32)
    find_path(XCB_INCLUDE_DIR xcb/xcb.h REQUIRED)
    find_library(XCB_LIBRARY xcb REQUIRED)
    # What every test of the real program shares: processes, the X server, the INI file read back.
    add_library(ventiro_e2e_support STATIC e2e_support.cpp)
    target_include_directories(ventiro_e2e_support PRIVATE ${XCB_INCLUDE_DIR})
    target_link_libraries(ventiro_e2e_support PUBLIC ventiro_test_support Qt6::Core GTest::gtest ${XCB_LIBRARY})

    ventiro_add_test(NAME test_end_to_end SOURCES test_end_to_end.cpp
                     LIBS ventiro_panel_test_support ventiro_e2e_support TIMEOUT 240)
    target_compile_definitions(test_end_to_end PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>"
                               VENTIRO_VERSION="${PROJECT_VERSION}"
                               VENTIRO_FAILING_BINARY="$<TARGET_FILE:ventiro_failing_start>")
    add_dependencies(test_end_to_end ventiro ventiro_failing_start)

    # ventiro --check and --ini: the real binary, without a display.
    ventiro_add_test(NAME test_check SOURCES test_check.cpp LIBS ventiro_launch ventiro_e2e_support)
    target_compile_definitions(test_check PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>")
    add_dependencies(test_check ventiro)
endif()
# The real ventiro.exe, from the folder that the zip holds, under Wine on the X server of
# scripts/test-windows: it needs the windows platform, not the offscreen one.
if(WIN32)
    ventiro_add_test(NAME test_end_to_end_win32 SOURCES test_end_to_end_win32.cpp
                     LIBS ventiro_panel_test_support ventiro_test_support TIMEOUT 300)
    ventiro_test_path(panel_folder ${PROJECT_BINARY_DIR}/ventiro-${PROJECT_VERSION}-win64)
    target_compile_definitions(test_end_to_end_win32 PRIVATE VENTIRO_PANEL_FOLDER="${panel_folder}"
                               VENTIRO_RECORD_HELPER="${record_helper}")
    add_dependencies(test_end_to_end_win32 ventiro_windows_folder launch_record_helper)
endif()
