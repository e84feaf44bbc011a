zyr_fuzz(server_request ${CMAKE_SOURCE_DIR}/tests/fuzz/server_request.cpp LINKS zyr_server)
