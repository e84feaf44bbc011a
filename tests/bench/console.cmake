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

# Its second half: the actions of an administrator timed in the console
# window of one process, run by console_bench against the same server.
if(TARGET zyr_host)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  add_executable(console_action_bench ${CMAKE_CURRENT_LIST_DIR}/ConsoleActionBench.cpp)
  target_link_libraries(console_action_bench PRIVATE zyr_host Qt6::Test)
  target_include_directories(console_action_bench PRIVATE ${CMAKE_SOURCE_DIR})
  zyr_apply_options(console_action_bench)
  add_dependencies(console_bench console_action_bench)
endif()
