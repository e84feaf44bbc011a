# The whole console against the reference server on a large database: start-up,
# exit and memory of the real host offscreen, beside the floor of the same run
# (data_bench). Prints its figures; run by hand:
#   build/bin/console_bench [--seed large:A,G,O,R,M,L] [--rounds N]
add_executable(console_bench ${CMAKE_CURRENT_LIST_DIR}/ConsoleBench.cpp)
target_link_libraries(console_bench PRIVATE zyr_test_support)
target_include_directories(console_bench PRIVATE ${CMAKE_SOURCE_DIR})
zyr_apply_options(console_bench)
# data_bench is declared in this folder after this file: named outright.
add_dependencies(console_bench data_bench)
foreach(needed zyr-security-server zyr-security-manager zyr-reg zyr-register zyrsnapin
        zyr_authentication zyr_authorization zyr_alarm_events zyr_directory_client)
  if(TARGET ${needed})
    add_dependencies(console_bench ${needed})
  endif()
endforeach()
