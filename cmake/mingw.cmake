# Shared part of the Windows toolchain files: Debian's MinGW-w64 cross
# compiler for TOVRA_TRIPLET and test programs run by Wine (TOVRA_WINE).
#
# The -posix variant of the compiler: GCC 12's win32 thread model has no
# std::thread, which the object tests use from several threads at once.
#
# The C++ runtime is linked as DLLs (libstdc++-6.dll, libgcc_s_*.dll and
# libwinpthread-1.dll), as the ELF build links libstdc++.so.6 and
# libgcc_s.so.1: std::bad_alloc passes from the library to its caller, and
# with a static runtime in both the DLL and the program, each has its own
# unwinder, so that on i686 (DWARF-2 unwinding) the throw cannot see the
# caller's frames and the program terminates.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOVRA_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVRA_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVRA_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOVRA_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(_tovra_wine ${TOVRA_WINE} PATHS /usr/lib/wine)
if(NOT _tovra_wine)
  message(FATAL_ERROR "${TOVRA_WINE} is missing: test programs for ${TOVRA_TRIPLET} run under it "
                      "(apt-get install wine wine64 wine32:i386)")
endif()
# Wine finds DLLs on WINEPATH as Windows does on PATH: the library at the
# top of the build tree, the C++ runtime copied out of the compiler's
# directories (which also hold DLLs that would shadow Wine's own).
set(TOVRA_WINE_RUNTIME ${CMAKE_BINARY_DIR}/mingw-runtime)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll OUTPUT_VARIABLE _libstdcxx
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll OUTPUT_VARIABLE _winpthread
                OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_gcc_dir ${_libstdcxx} DIRECTORY)
file(GLOB _libgcc ${_gcc_dir}/libgcc_s_*.dll)
if(NOT CMAKE_IN_TRY_COMPILE)
  file(COPY ${_libstdcxx} ${_winpthread} ${_libgcc} DESTINATION ${TOVRA_WINE_RUNTIME})
endif()
# The Wine prefix lives in the build tree, so that every build starts from
# a fresh one; the script creates it once for tests that start together.
# TOVRA_WINE_RUN is followed by the directories to search and "--".
set(TOVRA_WINE_RUN sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${_tovra_wine} ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRA_WINE_RUN} ${CMAKE_BINARY_DIR} ${TOVRA_WINE_RUNTIME} --)
