if(WIN32)
    set(host_source host_win32.cpp)
else()
    set(host_source host_posix.cpp)
endif()
ventiro_add_test(NAME test_profile SOURCES test_profile.cpp ${host_source}
                 LIBS ventiro_storage ventiro_test_support TIMEOUT 120)
ventiro_add_test(NAME test_form_storage SOURCES test_form_storage.cpp
                 LIBS ventiro_storage ventiro_launch ventiro_test_support TIMEOUT 120)
# Failures brought about with child processes, file size limits and lost privileges: POSIX only.
if(NOT WIN32)
    ventiro_add_test(NAME test_storage_faults SOURCES test_storage_faults.cpp
                     LIBS ventiro_storage ventiro_test_support TIMEOUT 120)
    add_executable(profile_save_helper profile_save_helper.cpp)
    target_link_libraries(profile_save_helper PRIVATE ventiro_storage ventiro_test_support)
    target_compile_definitions(test_storage_faults PRIVATE VENTIRO_SAVE_HELPER="$<TARGET_FILE:profile_save_helper>")
    add_dependencies(test_storage_faults profile_save_helper)
    # Stations on one file through a network share: an OpenSSH server and sshfs mounts of its own.
    ventiro_add_test(NAME test_network_share SOURCES test_network_share.cpp
                     LIBS ventiro_storage ventiro_test_support TIMEOUT 300)
endif()
