ventiro_add_test(NAME test_profile SOURCES test_profile.cpp LIBS ventiro_storage ventiro_test_support TIMEOUT 120)
ventiro_add_test(NAME test_form_storage SOURCES test_form_storage.cpp
                 LIBS ventiro_storage ventiro_launch ventiro_test_support TIMEOUT 120)
ventiro_add_test(NAME test_storage_faults SOURCES test_storage_faults.cpp
                 LIBS ventiro_storage ventiro_test_support TIMEOUT 120)
