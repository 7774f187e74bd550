ventiro_add_test(NAME test_action_toolbar SOURCES test_action_toolbar.cpp
                 LIBS ventiro_toolkit Qt6::Test OFFSCREEN TIMEOUT 60)
ventiro_add_test(NAME test_main_window SOURCES test_main_window.cpp
                 LIBS ventiro_app ventiro_test_support Qt6::Test OFFSCREEN TIMEOUT 120)
# Closing ends the event loop of the process: each way of closing runs in a process of its own.
foreach(way button box)
    add_test(NAME test_main_window_close_${way} COMMAND test_main_window --gtest_filter=MainWindowClose.*)
    set_tests_properties(test_main_window_close_${way} PROPERTIES TIMEOUT 60
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VENTIRO_CLOSE_WAY=${way}")
endforeach()
