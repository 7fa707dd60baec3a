include(GoogleTest)

# mz_add_gtest(NAME SOURCES a.cpp ... LIBS lib ...)
# A GoogleTest executable whose cases CTest discovers one by one.
function(mz_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "MZ_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# mz_add_fuzzer(NAME SOURCES a.cpp ... LIBS lib ...)
# A libFuzzer target (MZ_FUZZ). Run it through scripts/fuzz, which gives every input a time limit.
function(mz_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
