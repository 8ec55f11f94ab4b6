# Build settings and small helpers shared by every folder.

add_compile_options(-Wall -Wextra)
if(VELK_WERROR)
  add_compile_options(-Werror)
endif()
# g++ 12 at -O3 reports overlapping copies inside std::string that cannot
# happen (a known false positive of -Wrestrict); Release builds use -O3.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND
   CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<CONFIG:Release>:-Wno-restrict>)
endif()

if(VELK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(VELK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELK_FUZZ needs clang (CXX=clang++)")
  endif()
  # Libraries get coverage instrumentation; only the fuzz executables link
  # the libFuzzer driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

set(VELK_FUZZ_DIR "${CMAKE_BINARY_DIR}/fuzzers")
set(VELK_BENCH_DIR "${CMAKE_BINARY_DIR}/benchmarks")
set(VELK_TOOL_DIR "${CMAKE_BINARY_DIR}/tools")

# velk_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENV ...]
#               [NO_GTEST_MAIN])
# A GoogleTest executable registered as one CTest test. LABELS lets the quick
# loop skip slow tests (ctest -LE slow). ENV entries are NAME=value.
function(velk_add_test name)
  if(NOT VELK_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "NO_GTEST_MAIN" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(NOT ARG_NO_GTEST_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(ARG_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
  endif()
endfunction()

# velk_add_fuzzer(<name> SOURCES ... [LIBS ...])
# A libFuzzer target, built only with VELK_FUZZ. Its seed corpus, if any,
# lives in fuzz/corpus/<name>/.
function(velk_add_fuzzer name)
  if(NOT VELK_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                           "${VELK_FUZZ_DIR}")
endfunction()

# velk_add_benchmark(<name> SOURCES ... [LIBS ...])
# A Google Benchmark program; not part of the test run.
function(velk_add_benchmark name)
  if(NOT VELK_BENCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                           "${VELK_BENCH_DIR}")
endfunction()

# velk_add_tool(<name> SOURCES ... [LIBS ...])
# A debugging probe or helper program, built with the tests.
function(velk_add_tool name)
  if(NOT VELK_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                           "${VELK_TOOL_DIR}")
endfunction()
