if(NOT WIN32)
    add_executable(launch_bench launch_bench.cpp)
    target_link_libraries(launch_bench PRIVATE ventiro_launch)
endif()
