# Round trips of both carriers against the scripted server on loopback.
if(benchmark_FOUND)
  add_executable(web_roundtrip_bench ${CMAKE_CURRENT_LIST_DIR}/WebRoundTripBench.cpp)
  target_link_libraries(web_roundtrip_bench PRIVATE zyr_web zyr_test_support benchmark::benchmark_main)
  zyr_apply_options(web_roundtrip_bench)
endif()
