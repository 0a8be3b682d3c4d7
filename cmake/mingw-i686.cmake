# 32-bit Windows, built with Debian's g++-mingw-w64-i686 and tested under
# wine: doubles are computed on the x87 unit, as in the i386 Linux build.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOVRA_TRIPLET i686-w64-mingw32)
set(TOVRA_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
