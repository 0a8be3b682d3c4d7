# 64-bit POWER, little-endian, built with Debian's g++-powerpc64le-linux-gnu
# and tested under qemu-ppc64le. long double is IBM's double-double there,
# not the x87 format, so the build keeps only the paths that do not need it.
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(TOVRA_TRIPLET powerpc64le-linux-gnu)
set(TOVRA_QEMU qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
