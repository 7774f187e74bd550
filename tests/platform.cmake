ventiro_add_test(NAME test_codepage SOURCES test_codepage.cpp LIBS ventiro_platform)
# The same compare corpus against the POSIX backend and against the Windows call.
ventiro_add_test(NAME test_locale SOURCES test_locale.cpp LIBS ventiro_platform)
ventiro_add_test(NAME test_ini_document SOURCES test_ini_document.cpp LIBS ventiro_platform)
# Where an installed copy keeps its INI file: users, permissions and XDG folders on POSIX, %APPDATA%
# on Windows.
if(WIN32)
    ventiro_add_test(NAME test_config_location SOURCES test_config_location_win32.cpp
                     LIBS ventiro_platform ventiro_test_support)
else()
    ventiro_add_test(NAME test_config_location SOURCES test_config_location.cpp LIBS ventiro_platform ventiro_test_support)
endif()
# The local socket of the one panel per operator: AF_UNIX on POSIX, a named pipe on Windows.
ventiro_add_test(NAME test_local_socket SOURCES test_local_socket.cpp LIBS ventiro_platform ventiro_test_support)
