find_package(Qt6 REQUIRED COMPONENTS Test)
ventiro_add_test(NAME test_value_list_editor SOURCES test_value_list_editor.cpp
                 LIBS ventiro_toolkit Qt6::Test OFFSCREEN)

# The settings window needs the application frame, the form storage and the action tool bar; its test
# is built once their implementations are part of the tree.
option(VENTIRO_SETTINGS_WINDOW_TEST "Build the settings window test even if its parts seem missing" OFF)
set(settings_window_ready ON)
foreach(part toolkit/forms toolkit/application toolkit/action_toolbar toolkit/actions toolkit/status_bar
             storage/form_storage)
    file(GLOB found ${PROJECT_SOURCE_DIR}/${part}*.cpp)
    if(NOT found)
        set(settings_window_ready OFF)
    endif()
endforeach()
if(settings_window_ready OR VENTIRO_SETTINGS_WINDOW_TEST)
    ventiro_add_test(NAME test_settings_window SOURCES test_settings_window.cpp
                     LIBS ventiro_app Qt6::Test OFFSCREEN)
endif()
