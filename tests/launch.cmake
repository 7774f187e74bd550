# The recording helper is a program of the system under test: a POSIX one, or a Windows one.
if(WIN32)
    add_executable(launch_record_helper launch_record_helper_win32.cpp)
else()
    add_executable(launch_record_helper launch_record_helper.cpp)
endif()
ventiro_test_path(record_helper $<TARGET_FILE:launch_record_helper>)

ventiro_add_test(NAME test_value_list_strings SOURCES test_value_list_strings.cpp LIBS ventiro_core ventiro_launch)

# The launcher's rules on every system, and the launcher against the system's real shell open.
if(WIN32)
    ventiro_add_test(NAME test_launcher SOURCES test_launcher.cpp test_launcher_win32.cpp LIBS ventiro_launch ventiro_test_support)
else()
    ventiro_add_test(NAME test_launcher SOURCES test_launcher.cpp test_launcher_posix.cpp LIBS ventiro_launch ventiro_test_support)
endif()
target_compile_definitions(test_launcher PRIVATE VENTIRO_RECORD_HELPER="${record_helper}")
add_dependencies(test_launcher launch_record_helper)

if(NOT WIN32)
    ventiro_add_test(NAME test_shell_posix SOURCES test_shell_posix.cpp LIBS ventiro_platform ventiro_test_support)
    target_compile_definitions(test_shell_posix PRIVATE VENTIRO_RECORD_HELPER="$<TARGET_FILE:launch_record_helper>")
    add_dependencies(test_shell_posix launch_record_helper)
endif()
