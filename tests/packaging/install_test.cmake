# Installs one build tree into a fresh prefix, checks the layout, then builds
# and runs the consumer against it with each of the README's command lines
# for this architecture (consume.cmake). Run with cmake -P and these variables:
#   BUILD_DIR  the build tree to install      WORK       scratch directory (emptied)
#   CONSUMER   the consumer sources           LIBDIR     expected library dir, relative
#   VERSION    x.y.z of the library           SOURCE     the source tree (README.md)
#   ARCH       as consume.cmake takes it      EMULATOR   runs the consumer, if needed
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

# The layout a linker and a package manager expect: on Windows the DLL in
# bin, where programs find it, and its import library; for WebAssembly the
# static archive.
string(REGEX MATCH "^[0-9]+" major ${VERSION})
set(binaries bin/libtovra-${major}.dll ${LIBDIR}/libtovra.dll.a)
if(ARCH STREQUAL "wasm")
  set(binaries ${LIBDIR}/libtovra.a)
elseif(NOT ARCH MATCHES "^mingw")
  set(binaries)
  if(IS_SYMLINK ${lib}/libtovra.so.${VERSION} OR NOT EXISTS ${lib}/libtovra.so.${VERSION})
    message(FATAL_ERROR "${lib}/libtovra.so.${VERSION} missing or not a regular file")
  endif()
  expect_link(${lib}/libtovra.so.${major} libtovra.so.${VERSION})
  expect_link(${lib}/libtovra.so libtovra.so.${major})
  run(readelf -d ${lib}/libtovra.so.${VERSION})
  if(NOT output MATCHES "Library soname: \\[libtovra\\.so\\.${major}\\]")
    message(FATAL_ERROR "wrong or missing SONAME:\n${output}")
  endif()
endif()
foreach(f ${binaries} include/tovra.h include/tovra/seq.h include/tovra/table.h include/tovra/matrix_d.h
          include/tovra/vectorn.h include/tovra/smatrix_d.h ${LIBDIR}/cmake/tovra/tovraConfig.cmake
          ${LIBDIR}/cmake/tovra/tovraConfigVersion.cmake ${LIBDIR}/pkgconfig/tovra.pc)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

set(README ${SOURCE}/README.md)
set(PREFIX ${prefix})
set(WORK ${WORK}/consume)
include(${CMAKE_CURRENT_LIST_DIR}/consume.cmake)
