# The installed program, its package, and its start on other displays (Wayland, none at all).
if(NOT WIN32)
    ventiro_add_test(NAME test_install SOURCES test_install.cpp LIBS ventiro_e2e_support ventiro_launch TIMEOUT 300)
    target_compile_definitions(test_install PRIVATE VENTIRO_CMAKE="${CMAKE_COMMAND}" VENTIRO_CPACK="${CMAKE_CPACK_COMMAND}"
                               VENTIRO_BUILD_DIR="${PROJECT_BINARY_DIR}" VENTIRO_VERSION="${PROJECT_VERSION}"
                               VENTIRO_APP_ID="${VENTIRO_APP_ID}" $<$<BOOL:${VENTIRO_SANITIZE}>:VENTIRO_SANITIZED>)
    add_dependencies(test_install ventiro ventiro_dist)

    ventiro_add_test(NAME test_display SOURCES test_display.cpp LIBS ventiro_e2e_support TIMEOUT 240)
    target_compile_definitions(test_display PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>"
                               VENTIRO_APP_ID="${VENTIRO_APP_ID}")
    add_dependencies(test_display ventiro)
endif()
