# IBM Z, big-endian, built with Debian's g++-s390x-linux-gnu and tested under
# qemu-s390x: every read of a double's bits must hold whatever the byte order.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TOVRA_TRIPLET s390x-linux-gnu)
set(TOVRA_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
