add_executable(storage_bench ${CMAKE_CURRENT_SOURCE_DIR}/storage_bench.cpp
               ${PROJECT_SOURCE_DIR}/tests/storage_test_support.cpp)
target_include_directories(storage_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(storage_bench PRIVATE VENTIRO_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
target_link_libraries(storage_bench PRIVATE ventiro_storage)
