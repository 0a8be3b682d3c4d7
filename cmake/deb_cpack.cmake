# Read by cpack for the Debian packages of cmake/packaging.cmake, twice:
# as the project config file before it packages, and as the post-build
# script after (CPACK_PACKAGE_FILES is set then).
if(NOT DEFINED CPACK_PACKAGE_FILES)
  if(NOT CPACK_TOVRA_LIBDIR STREQUAL CPACK_TOVRA_MULTIARCH_LIBDIR)
    message(FATAL_ERROR "the library would go to ${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_TOVRA_LIBDIR}, not to "
                        "the multiarch directory ${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_TOVRA_MULTIARCH_LIBDIR}: "
                        "configure with -DCMAKE_INSTALL_PREFIX=/usr (scripts/debs.sh does)")
  endif()
  # Each package has a summary line of its own, the first line of its
  # description; the project's summary would be put in front of it.
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
  return()
endif()

# What CPack leaves to do, in the packages it has built: the Multi-Arch field
# of the library packages (their files are either under the architecture's
# own directory or identical on every architecture); libc's ldconfig trigger
# instead of the ldconfig calls in CPack's scripts, which Debian asks for; and
# man pages compressed, as Debian requires of installed ones (a plain
# cmake --install keeps them as they are).
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${deb} failed")
  endif()
  file(READ ${tree}/DEBIAN/control control)
  get_filename_component(name ${deb} NAME)
  if(name MATCHES "^libtovra")
    string(REGEX REPLACE "\nDescription:" "\nMulti-Arch: same\nDescription:" control "${control}")
    file(WRITE ${tree}/DEBIAN/control "${control}")
  endif()
  if(EXISTS ${tree}/DEBIAN/shlibs)
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    file(WRITE ${tree}/DEBIAN/triggers "activate-noawait ldconfig\n")
  endif()
  file(GLOB pages ${tree}/usr/share/man/man*/*.[1-9])
  if(pages)
    execute_process(COMMAND gzip -9n ${pages} RESULT_VARIABLE rc)
    execute_process(COMMAND sh -c "find usr -type f | LC_ALL=C sort | xargs md5sum > DEBIAN/md5sums"
                    WORKING_DIRECTORY ${tree} RESULT_VARIABLE rc2)
    if(NOT rc EQUAL 0 OR NOT rc2 EQUAL 0)
      message(FATAL_ERROR "could not compress the man pages of ${deb}")
    endif()
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${deb} RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -b ${deb} failed")
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
