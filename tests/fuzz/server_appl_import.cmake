zyr_fuzz(server_appl_import ${CMAKE_SOURCE_DIR}/tests/fuzz/server_appl_import.cpp LINKS zyr_server)
