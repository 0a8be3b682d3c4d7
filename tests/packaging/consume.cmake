# Builds and runs the consumer against an installed libtovra with the
# README's own command lines, taken from its section on using the installed
# library, so that what users are told to type is what is tested. Used by
# the install test (a private prefix) and by scripts/debs.sh (the Debian
# packages under /usr). Run with cmake -P and these variables:
#   README    the README.md to read          ARCH      x86_64, i386, mingw-x86_64,
#                                                      mingw-i686 or wasm: whose lines to run
#   PREFIX    put in for <prefix>            SOURCE    the source tree, put in for <tovra>
#   LIBDIR    library dir under PREFIX       CONSUMER  the consumer sources
#   WORK      scratch directory (emptied)    EMULATOR  runs the programs, if needed
#   VERSION   x.y.z of the library
cmake_minimum_required(VERSION 3.16)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# The consumer lines: the indented commands of the section that configure a
# CMake project or compile app.cpp. A line for i386 says so (-m32, i386), one
# for Windows names MinGW (its toolchain file or compiler) and i686 or not,
# one for WebAssembly its tools (emcmake, em++).
file(STRINGS ${README} text)
set(in_section FALSE)
set(lines)
foreach(line IN LISTS text)
  if(line MATCHES "^## ")
    string(COMPARE EQUAL "${line}" "## Installing and using the installed library" in_section)
  elseif(in_section AND line MATCHES "^    ((emcmake )?cmake -S \\. -B build -D|.* app\\.cpp)")
    string(STRIP "${line}" line)
    if(line MATCHES "emcmake|em\\+\\+")
      set(line_arch wasm)
    elseif(line MATCHES "mingw.*i686|i686.*mingw")
      set(line_arch mingw-i686)
    elseif(line MATCHES "mingw")
      set(line_arch mingw-x86_64)
    elseif(line MATCHES "i386|-m32")
      set(line_arch i386)
    else()
      set(line_arch x86_64)
    endif()
    if(line_arch STREQUAL ARCH)
      string(REPLACE "<prefix>" "${PREFIX}" line "${line}")
      string(REPLACE "<tovra>" "${SOURCE}" line "${line}")
      list(APPEND lines "${line}")
    endif()
  endif()
endforeach()
# x86-64: find_package and pkg-config; i386: find_package with the toolchain
# file and with plain -m32, and pkg-config; Windows: find_package and g++;
# wasm: find_package under emcmake, and em++ naming the archive.
list(LENGTH lines count)
set(expected 2)
if(ARCH STREQUAL "i386")
  set(expected 3)
endif()
if(NOT count EQUAL expected)
  message(FATAL_ERROR "found ${count} consumer lines for ${ARCH} in ${README}, expected ${expected}: ${lines}")
endif()

set(exe "")
set(a_out a.out)
if(ARCH MATCHES "^mingw")
  set(exe .exe)
  set(a_out a.exe)
elseif(ARCH STREQUAL "wasm") # the module, a.out.wasm, beside it
  set(exe .js)
  set(a_out a.out.js)
endif()
file(REMOVE_RECURSE ${WORK})
file(COPY ${CONSUMER}/ DESTINATION ${WORK})
set(emulator)
if(EMULATOR)
  set(emulator ${EMULATOR})
endif()
# Nothing from the caller's environment may find the package: pkg-config
# searches only the prefix, as if it were a standard one, for the line that
# relies on the default search path (x86-64), and nothing at all for the one
# that must name its own directory (i386). /usr is searched as it is.
unset(ENV{CMAKE_PREFIX_PATH})
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_LIBDIR})
set(run_env)
if(NOT PREFIX STREQUAL "/usr")
  if(ARCH STREQUAL "i386")
    file(MAKE_DIRECTORY ${WORK}/no-pkgconfig)
    set(ENV{PKG_CONFIG_LIBDIR} ${WORK}/no-pkgconfig)
  else()
    set(ENV{PKG_CONFIG_LIBDIR} ${PREFIX}/${LIBDIR}/pkgconfig)
  endif()
  set(run_env ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${PREFIX}/${LIBDIR})
endif()

set(requests_checked FALSE)
foreach(line IN LISTS lines)
  message(STATUS "${ARCH}: ${line}")
  file(REMOVE_RECURSE ${WORK}/build ${WORK}/${a_out})
  run(sh -c "${line}")
  if(line MATCHES "^(emcmake )?cmake")
    run(${CMAKE_COMMAND} --build build)
    run(${emulator} build/app${exe})
    if(NOT requests_checked)
      # The version file accepts the same major version only.
      foreach(request 0 2)
        execute_process(COMMAND ${CMAKE_COMMAND} -S . -B build -DTOVRA_REQUEST=${request} WORKING_DIRECTORY ${WORK}
                        RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
        if(rc EQUAL 0)
          message(FATAL_ERROR "find_package(tovra ${request}) accepted version ${VERSION}")
        endif()
      endforeach()
      set(requests_checked TRUE)
    endif()
  else()
    run(${run_env} ${emulator} ./${a_out})
  endif()
  message(STATUS "  ${output}")
endforeach()
