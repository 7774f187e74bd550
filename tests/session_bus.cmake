# The session bus with the real program: no bus started where none exists, accessibility where one
# does (a private dbus-daemon; skipped when dbus-daemon or Xvfb is missing).
if(UNIX AND NOT APPLE)
    find_package(Qt6 REQUIRED COMPONENTS DBus Network Test)
    ventiro_add_test(NAME test_session_bus SOURCES test_session_bus.cpp
                     LIBS ventiro_platform ventiro_test_support Qt6::DBus Qt6::Network Qt6::Test TIMEOUT 120)
    target_compile_definitions(test_session_bus PRIVATE VENTIRO_BINARY="$<TARGET_FILE:ventiro>")
    add_dependencies(test_session_bus ventiro)
endif()
