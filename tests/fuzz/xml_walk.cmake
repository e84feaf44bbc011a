zyr_fuzz(xml_walk ${CMAKE_SOURCE_DIR}/tests/fuzz/xml_walk.cpp LINKS zyr_common)
