# cipher_bench: encrypt-and-encode and decode-and-decrypt of 1 MiB texts.
if(benchmark_FOUND)
  add_executable(cipher_bench ${CMAKE_CURRENT_LIST_DIR}/CipherBench.cpp)
  target_link_libraries(cipher_bench PRIVATE zyr_cache benchmark::benchmark)
  zyr_apply_options(cipher_bench)
endif()
