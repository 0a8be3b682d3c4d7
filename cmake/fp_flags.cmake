# The library's results are defined to the last bit, so the floating-point
# shortcuts are refused before anything is built: they drop or move rounding
# points, and -ffast-math, -funsafe-math-optimizations (through
# crtfastmath.o) and -mpc32/-mpc64 (through crtprec*.o) even link start-up
# code into the shared object that changes the host's floating-point state
# when it is loaded.
set(_tovra_flags "${CMAKE_CXX_FLAGS} ${CMAKE_SHARED_LINKER_FLAGS}")
if(CMAKE_BUILD_TYPE)
  string(TOUPPER "${CMAKE_BUILD_TYPE}" _tovra_config)
  string(APPEND _tovra_flags " ${CMAKE_CXX_FLAGS_${_tovra_config}} ${CMAKE_SHARED_LINKER_FLAGS_${_tovra_config}}")
endif()
set(_tovra_refused
    -Ofast -ffast-math -funsafe-math-optimizations -fassociative-math -freciprocal-math -fno-signed-zeros
    -ffinite-math-only -fno-honor-nans -fno-honor-infinities -ffp-model=fast -mpc32 -mpc64 -mdaz-ftz)
separate_arguments(_tovra_words UNIX_COMMAND "${_tovra_flags}")
foreach(_flag IN LISTS _tovra_refused)
  if("${_flag}" IN_LIST _tovra_words)
    message(FATAL_ERROR "tovra refuses ${_flag}: it changes the library's defined floating-point results "
                        "(or the host's floating-point state). Remove it from the compiler flags.")
  endif()
endforeach()

# The compile flags of everything built from this tree that computes with
# doubles: the library, the examples, the tests and the benchmarks. No
# contraction, so that no fused multiply-add merges a product with its sum
# unless the code asks for one; and the warnings kept quiet.
add_library(tovra_build_flags INTERFACE)
target_compile_options(tovra_build_flags INTERFACE -Wall -Wextra -ffp-contract=off)
# Each function starts on a 64-byte line, so that where a kernel's inner loop
# falls against the lines of the instruction fetch depends on the kernel's own
# code only, not on the size of whatever the linker placed before it: one such
# move, from code added elsewhere, made the x87 elimination a fifth slower at
# order 16. WebAssembly has no such placement.
if(NOT EMSCRIPTEN)
  target_compile_options(tovra_build_flags INTERFACE -falign-functions=64)
endif()
