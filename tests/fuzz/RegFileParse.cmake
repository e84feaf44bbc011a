zyr_fuzz(RegFileParse ${CMAKE_SOURCE_DIR}/tests/fuzz/RegFileParse.cpp LINKS zyr_platform)
