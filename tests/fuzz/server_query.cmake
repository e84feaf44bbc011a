zyr_fuzz(server_query ${CMAKE_SOURCE_DIR}/tests/fuzz/server_query.cpp LINKS zyr_server)
