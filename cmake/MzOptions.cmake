# Build options, each with its purpose and default.
option(MZ_BUILD_TESTS "Build the unit, integration and end-to-end tests" ON)
option(MZ_BUILD_BENCH "Build the benchmarks in bench/" ON)
set(MZ_SANITIZE "" CACHE STRING "Sanitizers to build with: empty, 'address,undefined' or 'thread'")
option(MZ_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
set(MZ_SHARED_DIR "${PROJECT_SOURCE_DIR}/../shared" CACHE PATH
    "Shared test material beside the checkout (conformance scripts, COLLADA corpus)")

add_compile_options(-Wall -Wextra -Werror)

if(MZ_SANITIZE)
  add_compile_options(-fsanitize=${MZ_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${MZ_SANITIZE})
endif()

if(MZ_FUZZ)
  # Coverage instrumentation everywhere; the fuzz preset adds the address and undefined sanitizers.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
