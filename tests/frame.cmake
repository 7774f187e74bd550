ventiro_add_test(NAME test_application SOURCES test_application.cpp LIBS ventiro_toolkit ventiro_resources Qt6::Test
                 OFFSCREEN TIMEOUT 60)
ventiro_add_test(NAME test_frame SOURCES test_frame.cpp LIBS ventiro_toolkit OFFSCREEN TIMEOUT 60)

# The program with a window whose construction fails, for the test of a failed start-up.
add_executable(ventiro_failing_start failing_start_main.cpp)
target_include_directories(ventiro_failing_start PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(ventiro_failing_start PRIVATE ventiro_app Qt6::Widgets)
ventiro_add_test(NAME test_window_placement SOURCES test_window_placement.cpp
                 LIBS ventiro_toolkit ventiro_storage ventiro_test_support Qt6::Test OFFSCREEN TIMEOUT 60)
# The show request of a shortcut is read once per process: each request runs in a process of its own.
foreach(request 3 7)
    add_test(NAME test_window_placement_start_${request} COMMAND test_window_placement
             --gtest_filter=StartupShowRequest.*)
    set_tests_properties(test_window_placement_start_${request} PROPERTIES TIMEOUT 60
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VENTIRO_SHOWCMD=${request}")
endforeach()
# A 1920x1080 screen at 200 %: 960x540 logical pixels. Only on Linux: the Windows build of the
# offscreen platform under Wine does not take the screen file and shows the X server's screen.
if(NOT WIN32)
    ventiro_add_test(NAME test_window_fit SOURCES test_window_fit.cpp LIBS ventiro_toolkit TIMEOUT 60
                     ENV "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_SOURCE_DIR}/data/screen_1920x1080.json"
                         QT_SCALE_FACTOR=2)
endif()
