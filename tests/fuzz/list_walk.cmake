zyr_fuzz(list_walk ${CMAKE_SOURCE_DIR}/tests/fuzz/list_walk.cpp LINKS zyr_records zyr_roles)
