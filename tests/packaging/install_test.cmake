# Installs one build tree into a fresh prefix, checks the layout, then builds
# and runs the consumer against it twice: through find_package and through
# pkg-config. Run with cmake -P and these variables:
#   BUILD_DIR  the build tree to install      WORK       scratch directory (emptied)
#   CONSUMER   the consumer sources           LIBDIR     expected library dir, relative
#   VERSION    x.y.z of the library           CXX, CXX_FLAGS, GENERATOR   the build's compiler setup
#   TOOLCHAIN  toolchain file, if any         EMULATOR   runs the consumer, if needed
cmake_minimum_required(VERSION 3.16)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect_link link target)
  file(READ_SYMLINK ${link} got)
  if(NOT got STREQUAL target)
    message(FATAL_ERROR "${link} points to '${got}', expected '${target}'")
  endif()
endfunction()

set(prefix ${WORK}/prefix)
set(lib ${prefix}/${LIBDIR})
file(REMOVE_RECURSE ${WORK})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The layout a linker and a package manager expect.
string(REGEX MATCH "^[0-9]+" major ${VERSION})
if(IS_SYMLINK ${lib}/libtovra.so.${VERSION} OR NOT EXISTS ${lib}/libtovra.so.${VERSION})
  message(FATAL_ERROR "${lib}/libtovra.so.${VERSION} missing or not a regular file")
endif()
expect_link(${lib}/libtovra.so.${major} libtovra.so.${VERSION})
expect_link(${lib}/libtovra.so libtovra.so.${major})
run(readelf -d ${lib}/libtovra.so.${VERSION})
if(NOT output MATCHES "Library soname: \\[libtovra\\.so\\.${major}\\]")
  message(FATAL_ERROR "wrong or missing SONAME:\n${output}")
endif()
foreach(f include/tovra.h include/tovra/seq.h include/tovra/table.h include/tovra/matrix_d.h
          include/tovra/vectorn.h include/tovra/smatrix_d.h ${LIBDIR}/cmake/tovra/tovraConfig.cmake
          ${LIBDIR}/cmake/tovra/tovraConfigVersion.cmake ${LIBDIR}/pkgconfig/tovra.pc)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

set(emulator)
if(EMULATOR)
  set(emulator ${EMULATOR})
endif()

# find_package, configured the way the library itself was.
set(cfg -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
        -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
if(TOOLCHAIN)
  list(APPEND cfg -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} "-DTOVRA_I386_EMULATOR=${EMULATOR}")
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/cmake ${cfg})
run(${CMAKE_COMMAND} --build ${WORK}/cmake)
run(${emulator} ${WORK}/cmake/consumer)
message(STATUS "find_package: ${output}")

# The version file accepts the same major version only.
foreach(request 0 2)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/cmake -DTOVRA_REQUEST=${request}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    message(FATAL_ERROR "find_package(tovra ${request}) accepted version ${VERSION}")
  endif()
endforeach()

# pkg-config, looking at this prefix only, not at the system's directories.
set(ENV{PKG_CONFIG_LIBDIR} ${lib}/pkgconfig)
unset(ENV{PKG_CONFIG_PATH})
run(pkg-config --modversion tovra)
if(NOT output STREQUAL "${VERSION}\n")
  message(FATAL_ERROR "pkg-config reports version '${output}', expected ${VERSION}")
endif()
run(pkg-config --cflags --libs tovra)
separate_arguments(pc_flags UNIX_COMMAND "${output}")
separate_arguments(flags UNIX_COMMAND "${CXX_FLAGS}")
run(${CXX} ${flags} -std=c++98 -Wall -Wextra -o ${WORK}/pc-consumer ${CONSUMER}/consumer.cpp ${pc_flags}
    -Wl,-rpath,${lib})
run(${emulator} ${WORK}/pc-consumer)
message(STATUS "pkg-config: ${output}")
