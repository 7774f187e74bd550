add_executable(launch_record_helper launch_record_helper.cpp)

ventiro_add_test(NAME test_value_list_strings SOURCES test_value_list_strings.cpp LIBS ventiro_core ventiro_launch)

ventiro_add_test(NAME test_launcher SOURCES test_launcher.cpp LIBS ventiro_launch)
target_compile_definitions(test_launcher PRIVATE VENTIRO_RECORD_HELPER="$<TARGET_FILE:launch_record_helper>")
add_dependencies(test_launcher launch_record_helper)

if(NOT WIN32)
    ventiro_add_test(NAME test_shell_posix SOURCES test_shell_posix.cpp LIBS ventiro_platform)
    target_compile_definitions(test_shell_posix PRIVATE VENTIRO_RECORD_HELPER="$<TARGET_FILE:launch_record_helper>")
    add_dependencies(test_shell_posix launch_record_helper)
endif()
