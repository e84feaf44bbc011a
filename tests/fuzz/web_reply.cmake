zyr_fuzz(web_reply ${CMAKE_SOURCE_DIR}/tests/fuzz/web_reply.cpp LINKS zyr_web)
