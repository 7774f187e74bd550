add_executable(settings_bench ${CMAKE_CURRENT_SOURCE_DIR}/settings_bench.cpp)
target_link_libraries(settings_bench PRIVATE ventiro_app)
