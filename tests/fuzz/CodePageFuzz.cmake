zyr_fuzz(CodePageFuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/CodePageFuzz.cpp LINKS zyr_platform)
