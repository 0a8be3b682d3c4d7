# The shared object's interface and the headers' use by old host programs.

# The exported symbol set equals cmake/exports.txt; the libraries needed; its own name.
if(TOVRA_LIBRARY_TYPE STREQUAL "SHARED")
  add_test(NAME exports
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/exports/check-exports.sh $<TARGET_FILE:tovra>
                   ${PROJECT_SOURCE_DIR}/cmake/exports.txt $<$<BOOL:${WIN32}>:${CMAKE_OBJDUMP}>)
else()
  tovra_skip(exports "the library is a static archive here: no shared object whose exports to check")
endif()

# A C++98 host program: compiled with g++ and clang++ under every standard
# (warnings are errors; for the architecture of this build), then built
# against the library and run. A missing compiler fails its test.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_arch -m32)
else()
  set(_arch -m64)
endif()
# A cross build compiles them with its own g++ and with clang++ aimed at the
# same target.
set(_cxx_g++ g++)
set(_cxx_clang++ clang++)
set(_flags_g++ ${_arch})
set(_flags_clang++ ${_arch})
set(_compilers g++ clang++)
if(TOVRA_TRIPLET)
  set(_cxx_g++ ${CMAKE_CXX_COMPILER})
  set(_flags_g++ "")
  set(_flags_clang++ --target=${TOVRA_TRIPLET})
elseif(EMSCRIPTEN)
  # A WebAssembly program is compiled by em++ alone.
  set(_compilers em++)
  set(_cxx_em++ ${CMAKE_CXX_COMPILER})
  set(_flags_em++ "")
endif()
# clang++ 14 aimed at MinGW misses Debian's libstdc++ headers, which live
# under /usr/lib/gcc/<triplet>/12-posix: it is given the cross g++'s own.
if(WIN32)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include/c++ OUTPUT_VARIABLE _libstdcxx
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(APPEND _flags_clang++ -nostdinc++ -isystem ${_libstdcxx} -isystem ${_libstdcxx}/${TOVRA_TRIPLET})
endif()
# With TOVRA_WARN_UNUSED_RESULT (the _nodiscard runs), C++98 must still
# compile cleanly, while C++17 must report the assignments whose flag host.cpp
# drops.
foreach(cxx IN LISTS _compilers)
  foreach(std c++98 c++11 c++14 c++17 c++20 c++2b c++98_nodiscard c++17_nodiscard)
    string(REGEX REPLACE "_nodiscard$" ";-DTOVRA_WARN_UNUSED_RESULT" flags "-std=${std}")
    set(expect "")
    if(std STREQUAL c++17_nodiscard)
      set(expect nodiscard)
    endif()
    add_test(NAME compat_${cxx}_${std}
             COMMAND ${CMAKE_COMMAND} -DCXX=${_cxx_${cxx}} -DEXPECT=${expect}
                     "-DFLAGS=${flags};${_flags_${cxx}};-Wall;-Wextra;-Wpedantic;-Werror;-fsyntax-only;-DTOVRA_COMPAT_ALL_MEMBERS"
                     "-DINCLUDE=${PROJECT_SOURCE_DIR}/include;${PROJECT_BINARY_DIR}/include"
                     -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/compat/host.cpp -P ${CMAKE_CURRENT_SOURCE_DIR}/compat/compile.cmake)
  endforeach()
endforeach()
add_executable(compat_host compat/host.cpp)
set_target_properties(compat_host PROPERTIES CXX_STANDARD 98 CXX_EXTENSIONS OFF)
target_compile_options(compat_host PRIVATE -Wall -Wextra -Wpedantic -Werror)
target_link_libraries(compat_host PRIVATE tovra)
add_test(NAME compat_host COMMAND compat_host)
