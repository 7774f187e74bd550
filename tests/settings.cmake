ventiro_add_test(NAME test_value_list_editor SOURCES test_value_list_editor.cpp
                 LIBS ventiro_toolkit ventiro_launch Qt6::Test OFFSCREEN)
ventiro_add_test(NAME test_settings_window SOURCES test_settings_window.cpp
                 LIBS ventiro_app ventiro_test_support Qt6::Test OFFSCREEN)
