# The exact integer arithmetic against the x87 unit, and every result of the
# library held to it: golden results, host floating-point states, and the
# textbook reference on integers against the library as it runs.
tovra_gtest(arith_test arith_test.cpp ${TOVRA_FMA_SOURCES})
target_include_directories(arith_test PRIVATE ${PROJECT_SOURCE_DIR}/src)

tovra_gtest(golden_test golden_test.cpp)
target_link_libraries(golden_test PRIVATE tovra_check)
target_compile_definitions(golden_test PRIVATE TOVRA_GOLDEN_FILE="${CMAKE_CURRENT_SOURCE_DIR}/data/golden.txt")

# The reference (reference.h) shares no source with the library but the
# integer arithmetic of src/arith/soft_x87.h, which arith_test holds to the x87
# unit. Optimised in every build: unoptimised it would dominate the run time
# of the -O0 builds under emulation.
tovra_gtest(differential_test differential_test.cpp)
target_link_libraries(differential_test PRIVATE tovra_check)
target_include_directories(differential_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(differential_test PRIVATE -O2)

# The same check on arbitrary bytes, under libFuzzer: configure with clang++ and -DTOVRA_BUILD_FUZZ=ON,
# build tovra_fuzz, run it as tests/tovra_fuzz -max_total_time=600.
option(TOVRA_BUILD_FUZZ "Build the libFuzzer target tovra_fuzz (needs clang++)" OFF)
if(TOVRA_BUILD_FUZZ)
  get_target_property(_sources differential_test SOURCES)
  add_executable(tovra_fuzz ${_sources})
  target_link_libraries(tovra_fuzz PRIVATE tovra_check GTest::gtest)
  target_include_directories(tovra_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(tovra_fuzz PRIVATE TOVRA_FUZZ)
  target_compile_options(tovra_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -O1 -g)
  target_link_libraries(tovra_fuzz PRIVATE tovra_build_flags)
  target_link_options(tovra_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
