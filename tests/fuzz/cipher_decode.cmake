zyr_fuzz(cipher_decode ${CMAKE_SOURCE_DIR}/tests/fuzz/cipher_decode.cpp LINKS zyr_cache)
