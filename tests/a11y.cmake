# The real program seen over a private accessibility bus; it skips itself where Xvfb, dbus-daemon or
# at-spi2-core are missing.
if(NOT WIN32)
    find_package(Qt6 REQUIRED COMPONENTS DBus Test)
    ventiro_add_test(NAME test_accessibility_bus SOURCES test_accessibility_bus.cpp
                     LIBS ventiro_test_support Qt6::DBus Qt6::Test TIMEOUT 120)
    target_compile_definitions(test_accessibility_bus PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>")
    add_dependencies(test_accessibility_bus ventiro)
endif()
