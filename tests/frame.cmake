ventiro_add_test(NAME test_application SOURCES test_application.cpp LIBS ventiro_toolkit Qt6::Test OFFSCREEN TIMEOUT 60)
ventiro_add_test(NAME test_frame SOURCES test_frame.cpp LIBS ventiro_toolkit OFFSCREEN TIMEOUT 60)
