# 32-bit Arm with the hard-float calling convention (Debian's armhf: ARMv7,
# VFPv3-D16), built with g++-arm-linux-gnueabihf and tested under qemu-arm.
# long double is plain double there: the 32-bit target without x87.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(TOVRA_TRIPLET arm-linux-gnueabihf)
set(TOVRA_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
