ventiro_add_test(NAME test_frame SOURCES test_frame.cpp LIBS ventiro_toolkit OFFSCREEN)
