ventiro_add_test(NAME test_profile SOURCES test_profile.cpp storage_test_support.cpp LIBS ventiro_storage TIMEOUT 120)
ventiro_add_test(NAME test_form_storage SOURCES test_form_storage.cpp storage_test_support.cpp
                 LIBS ventiro_storage ventiro_launch TIMEOUT 120)
ventiro_add_test(NAME test_storage_faults SOURCES test_storage_faults.cpp storage_test_support.cpp
                 LIBS ventiro_storage TIMEOUT 120)
