find_package(Qt6 REQUIRED COMPONENTS Test)
ventiro_add_test(NAME test_value_list_editor SOURCES test_value_list_editor.cpp
                 LIBS ventiro_toolkit Qt6::Test OFFSCREEN)
