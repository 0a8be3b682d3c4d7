# 64-bit RISC-V (RV64GC), built with Debian's g++-riscv64-linux-gnu and
# tested under qemu-riscv64. long double is IEEE quadruple precision there,
# not the x87 format.
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(TOVRA_TRIPLET riscv64-linux-gnu)
set(TOVRA_QEMU qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
