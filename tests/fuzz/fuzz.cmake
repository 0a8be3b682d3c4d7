# The libFuzzer target, for clang++ only and off by default. It compiles the
# library's sources itself, so that the sanitizers see inside the kernels:
#   cmake -S . -B /tmp/tovra-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTOVRA_BUILD_FUZZ=ON
#   cmake --build /tmp/tovra-fuzz --target tovra_fuzz
#   /tmp/tovra-fuzz/tests/tovra_fuzz -runs=2000          (or -max_total_time=N)
option(TOVRA_BUILD_FUZZ "Build the libFuzzer target tovra_fuzz (needs clang++)" OFF)
if(TOVRA_BUILD_FUZZ)
  get_target_property(_tovra_sources tovra SOURCES)
  set(_tovra_fuzz_sources)
  foreach(src IN LISTS _tovra_sources)
    if(NOT IS_ABSOLUTE ${src})
      set(src ${PROJECT_SOURCE_DIR}/${src})
    endif()
    list(APPEND _tovra_fuzz_sources ${src})
  endforeach()
  set(_tovra_sanitize -fsanitize=fuzzer,address,undefined -fno-sanitize=float-divide-by-zero
                      -fno-sanitize-recover=all)
  add_executable(tovra_fuzz fuzz/fuzz_numerics.cpp cases.cpp ${_tovra_fuzz_sources})
  target_include_directories(tovra_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include
                                                ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(tovra_fuzz PRIVATE ${_tovra_sanitize} -g -ffp-contract=off -Wall -Wextra)
  target_link_options(tovra_fuzz PRIVATE ${_tovra_sanitize})
  add_test(NAME tovra_fuzz_smoke COMMAND tovra_fuzz -runs=2000 -seed=1)
endif()
