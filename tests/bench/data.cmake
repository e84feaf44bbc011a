# The data layer's fetch against the reference server on a large database,
# beside the floor of plain transport, parsing and decryption. Prints its
# figures; run by hand: build/bin/data_bench [--seed large:A,G,O,R,M,L]
add_executable(data_bench ${CMAKE_CURRENT_LIST_DIR}/DataBench.cpp)
target_link_libraries(data_bench PRIVATE zyr_records zyr_test_support CURL::libcurl pugixml::pugixml)
target_include_directories(data_bench PRIVATE ${CMAKE_SOURCE_DIR})
zyr_apply_options(data_bench)
if(TARGET zyr-security-server)
  add_dependencies(data_bench zyr-security-server)
endif()
