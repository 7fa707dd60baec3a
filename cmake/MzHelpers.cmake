include(GoogleTest)

# mz_add_gtest(NAME SOURCES a.cpp ... LIBS lib ...)
# A GoogleTest executable whose cases CTest discovers one by one.
function(mz_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "MZ_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
