# 64-bit Arm, built with Debian's g++-aarch64-linux-gnu and tested under
# qemu-aarch64. There is no x87 unit: the row updates run on NEON's fused
# multiply-add, checked to give the x87 bits, and everything else on the
# integer arithmetic (on the integers alone when the host changed FPCR).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOVRA_TRIPLET aarch64-linux-gnu)
set(TOVRA_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
