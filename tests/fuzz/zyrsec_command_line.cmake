zyr_fuzz(zyrsec_command_line ${CMAKE_SOURCE_DIR}/tests/fuzz/zyrsec_command_line.cpp LINKS zyr_zyrsec)
