# 64-bit Windows, built with Debian's g++-mingw-w64-x86-64 and tested under
# wine64. long double is the x87 format here too, so the x87 unit serves
# the default state, as on x86-64 Linux.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOVRA_TRIPLET x86_64-w64-mingw32)
set(TOVRA_WINE wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
