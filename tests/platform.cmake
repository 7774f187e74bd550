ventiro_add_test(NAME test_codepage SOURCES test_codepage.cpp LIBS ventiro_platform)
