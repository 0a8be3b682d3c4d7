# Shared part of the cross toolchain files: Debian's cross compiler for
# TOVRA_TRIPLET, its sysroot /usr/<triplet>, and test programs run by
# qemu-user with that sysroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TOVRA_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TOVRA_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TOVRA_TRIPLET})
set(CMAKE_FIND_ROOT_PATH /usr/${TOVRA_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(_tovra_qemu ${TOVRA_QEMU})
if(NOT _tovra_qemu)
  message(FATAL_ERROR "${TOVRA_QEMU} is missing: test programs for ${TOVRA_TRIPLET} run under it "
                      "(apt-get install qemu-user)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${_tovra_qemu} -L /usr/${TOVRA_TRIPLET})
