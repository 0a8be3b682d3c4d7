# Debian packages, built by CPack (cpack -G DEB in the build tree), one per
# install component:
#   libtovra1     component runtime   the shared object and its SONAME link
#   libtovra-dev  component dev       headers, the .so link, CMake package, tovra.pc
#   tovra-solve   component solve     the example solver and its man page
# for the architecture of the build: amd64 natively, i386 with
# cmake/i386.cmake. Configure with -DCMAKE_INSTALL_PREFIX=/usr, so that the
# library goes into Debian's multiarch directory and the packages of both
# architectures install side by side (both are Multi-Arch: same; the files
# they share, the headers and the documentation, are identical).
# scripts/debs.sh builds, checks, installs and removes them.

set(_deb_arch_of_x86_64-linux-gnu amd64)
set(_deb_arch_of_i386-linux-gnu i386)
set(_deb_arch_of_aarch64-linux-gnu arm64)
set(_deb_arch_of_s390x-linux-gnu s390x)
set(TOVRA_DEB_ARCH "${_deb_arch_of_${CMAKE_LIBRARY_ARCHITECTURE}}")
if(NOT TOVRA_DEB_ARCH)
  return()
endif()

set(TOVRA_DEB_RELEASE 1)
set(TOVRA_DEB_MAINTAINER "The tovra developers <tovra@example.org>")
set(_deb_names runtime libtovra1 dev libtovra-dev solve tovra-solve)

# Every package carries the licence as /usr/share/doc/<package>/copyright and
# a Debian change log. Both are byte-identical on every architecture, which
# Multi-Arch: same requires: the change log's date is the source's
# (SOURCE_DATE_EPOCH, else the last commit's), never the time of the build.
set(_deb_doc ${CMAKE_CURRENT_BINARY_DIR}/deb)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE _epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(_epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${_epoch})
  else()
    set(ENV{SOURCE_DATE_EPOCH} 0)
  endif()
endif()
string(TIMESTAMP _deb_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP _deb_year "%Y" UTC)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE _license)
set(_copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tovra

Files: *
Copyright: ${_deb_year} The tovra developers
License: Expat
")
set(_notice FALSE)
foreach(_line IN LISTS _license)
  if(_line MATCHES "^Permission")
    set(_notice TRUE)
  endif()
  if(_notice AND _line STREQUAL "")
    string(APPEND _copyright " .\n")
  elseif(_notice)
    string(APPEND _copyright " ${_line}\n")
  endif()
endforeach()
file(WRITE ${_deb_doc}/copyright "${_copyright}")


while(_deb_names)
  list(POP_FRONT _deb_names _component _package)
  string(TOUPPER ${_component} _c)
  set(CPACK_DEBIAN_${_c}_PACKAGE_NAME ${_package})
  file(WRITE ${_deb_doc}/${_package}/changelog.Debian
       "tovra (${PROJECT_VERSION}-${TOVRA_DEB_RELEASE}) unstable; urgency=medium\n\n"
       "  * Upstream release ${PROJECT_VERSION}, packaged by CPack.\n\n"
       " -- ${TOVRA_DEB_MAINTAINER}  ${_deb_date}\n")
  execute_process(COMMAND gzip -9nf ${_deb_doc}/${_package}/changelog.Debian RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${_deb_doc}/${_package}/changelog.Debian")
  endif()
  # Only in a package (or a component install): a plain cmake --install
  # gets no Debian documentation.
  install(FILES ${_deb_doc}/copyright ${_deb_doc}/${_package}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_package} COMPONENT ${_component} EXCLUDE_FROM_ALL)
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovra)
set(CPACK_PACKAGE_VENDOR "The tovra developers")
set(CPACK_PACKAGE_CONTACT "${TOVRA_DEB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(TARGET tovra-solve)
  list(APPEND CPACK_COMPONENTS_ALL solve)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TOVRA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TOVRA_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends: the C++ runtime and C library versions from dpkg-shlibdeps, and
# each package on libtovra1 of exactly this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tovra-solve's own libtovra.so.1 is found in the build tree; its dependency
# on libtovra1 comes from the component's, exact to the version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_CURRENT_BINARY_DIR})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_SOLVE_DEPENDS runtime)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_SOLVE_PACKAGE_SECTION math)
# The shlibs file lets packages built against libtovra1 depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The first line of each description is the package's summary; CPack
# indents the rest and turns the empty line into the paragraph mark.
set(_deb_about
    "tovra is a small C++ library of dense double-precision linear algebra
(general and fixed-size matrices and vectors, arithmetic, LU factorisation,
determinant and inverse) whose results are defined to the last bit: the same
on i386 and x86-64, with every compiler and at every optimisation level.
")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "bit-reproducible dense linear algebra (shared library)
${_deb_about}
This package holds the shared library.")
set(CPACK_DEBIAN_DEV_DESCRIPTION "bit-reproducible dense linear algebra (development files)
${_deb_about}
This package holds the headers, the CMake package and the pkg-config file.")
set(CPACK_DEBIAN_SOLVE_DESCRIPTION "solve linear systems reproducibly with tovra
${_deb_about}
This package holds tovra-solve, which reads a linear system and prints its
solution, determinant, inverse and residual at round-trip precision.")
# At cpack time (cmake/deb_cpack.cmake): the check of the library directory,
# the summary lines, and what CPack leaves to do in the packages it built.
set(CPACK_TOVRA_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(CPACK_TOVRA_MULTIARCH_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/deb_cpack.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_cpack.cmake)
include(CPack)
