find_package(Qt6 REQUIRED COMPONENTS Test)

# The tool bar needs the application frame, the main window also the form storage; their tests are
# built once those implementations are part of the tree.
file(GLOB application_found ${PROJECT_SOURCE_DIR}/toolkit/application*.cpp)
if(application_found)
    ventiro_add_test(NAME test_action_toolbar SOURCES test_action_toolbar.cpp
                     LIBS ventiro_toolkit Qt6::Test OFFSCREEN TIMEOUT 60)
endif()
set(mainwin_ready ON)
foreach(part toolkit/forms toolkit/application toolkit/status_bar storage/form_storage)
    file(GLOB found ${PROJECT_SOURCE_DIR}/${part}*.cpp)
    if(NOT found)
        set(mainwin_ready OFF)
    endif()
endforeach()
if(mainwin_ready)
    ventiro_add_test(NAME test_main_window SOURCES test_main_window.cpp
                     LIBS ventiro_app Qt6::Test OFFSCREEN TIMEOUT 120)
    # Closing ends the event loop of the process: each way of closing runs in a process of its own.
    foreach(way button box)
        add_test(NAME test_main_window_close_${way} COMMAND test_main_window --gtest_filter=MainWindowClose.*)
        set_tests_properties(test_main_window_close_${way} PROPERTIES TIMEOUT 60
                             ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VENTIRO_CLOSE_WAY=${way}")
    endforeach()
endif()
