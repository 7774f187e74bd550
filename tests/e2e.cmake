# The real program in a private X server (Xvfb), driven with xdotool and xclip.
if(NOT WIN32)
    find_path(XCB_INCLUDE_DIR xcb/xcb.h REQUIRED)
    find_library(XCB_LIBRARY xcb REQUIRED)
    ventiro_add_test(NAME test_end_to_end SOURCES test_end_to_end.cpp
                     LIBS ventiro_app ${XCB_LIBRARY} TIMEOUT 240)
    target_include_directories(test_end_to_end PRIVATE ${XCB_INCLUDE_DIR})
    target_compile_definitions(test_end_to_end PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>"
                               VENTIRO_FAILING_BINARY="$<TARGET_FILE:ventiro_failing_start>")
    add_dependencies(test_end_to_end ventiro ventiro_failing_start)
endif()
