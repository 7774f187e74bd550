# The start-up benchmark drives the real program under a private X server through xcb; the bare Qt
# window program is its baseline.
if(UNIX AND NOT APPLE)
    find_package(PkgConfig)
    if(PkgConfig_FOUND)
        pkg_check_modules(VENTIRO_XCB IMPORTED_TARGET xcb)
    endif()
    if(TARGET PkgConfig::VENTIRO_XCB)
        add_executable(bare_qt_window ${CMAKE_CURRENT_SOURCE_DIR}/bare_qt_window.cpp)
        target_link_libraries(bare_qt_window PRIVATE Qt6::Widgets)
        add_executable(startup_bench ${CMAKE_CURRENT_SOURCE_DIR}/startup_bench.cpp)
        target_link_libraries(startup_bench PRIVATE PkgConfig::VENTIRO_XCB)
        target_compile_definitions(startup_bench PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>"
                                                         BARE_QT_BINARY="$<TARGET_FILE:bare_qt_window>")
        add_dependencies(startup_bench ventiro bare_qt_window)
    else()
        message(STATUS "startup_bench left out: the xcb development files are missing (libxcb1-dev)")
    endif()
endif()
