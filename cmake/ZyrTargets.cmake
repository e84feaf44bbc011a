# Helpers shared by every layer: warnings, sanitizers and the glob-per-folder
# library and test conventions.

set(ZYR_WARNINGS -Wall -Wextra -Werror)

function(zyr_apply_options target)
  target_compile_options(${target} PRIVATE ${ZYR_WARNINGS})
  if(ZYR_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                           -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(ZYR_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# zyr_layer(NAME DIR [LINKS ...] [RECURSE]): one static library made of the
# .cpp files of DIR (sub-folders only with RECURSE).
function(zyr_layer name dir)
  cmake_parse_arguments(ARG "RECURSE" "" "LINKS" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  endif()
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    if(ARG_LINKS)
      target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    endif()
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_LINKS)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  endif()
  zyr_apply_options(${name})
endfunction()

# zyr_tests(NAME DIR [RECURSE] LINKS ...): one GoogleTest program of the .cpp
# files of DIR (sub-folders too with RECURSE), each test registered with CTest.
function(zyr_tests name dir)
  cmake_parse_arguments(ARG "RECURSE" "TIMEOUT" "LINKS" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  zyr_apply_options(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "ZYR_SOURCE_DIR=${CMAKE_SOURCE_DIR};ZYR_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
endfunction()

# zyr_fuzz(NAME SOURCE LINKS ...): a libFuzzer target when ZYR_FUZZ is on; in
# every build the same entry point also runs over its seed corpus as a test.
function(zyr_fuzz name source)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  set(corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
  add_executable(${name}_replay ${source} ${CMAKE_SOURCE_DIR}/tests/fuzz/ReplayMain.cpp)
  target_link_libraries(${name}_replay PRIVATE ${ARG_LINKS})
  zyr_apply_options(${name}_replay)
  add_test(NAME fuzz_replay.${name} COMMAND ${name}_replay ${corpus})
  if(ZYR_FUZZ)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    zyr_apply_options(${name})
  endif()
endfunction()
