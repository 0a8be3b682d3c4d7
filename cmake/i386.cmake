# Builds the 32-bit x86 variant from the same sources: -m32 with the host
# compiler (g++-multilib for g++, lib32 runtime for clang++).
#
# Tests of this variant must really run: where the kernel cannot execute
# 32-bit programs, they run under qemu-i386, whose x87 emulation keeps the
# 80-bit format and its rounding. Set TOVRA_I386_EMULATOR to override, or to
# an empty string to run the programs directly.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

if(NOT DEFINED TOVRA_I386_EMULATOR)
  set(_probe_dir /tmp/tovra-i386-probe-$ENV{USER})
  file(MAKE_DIRECTORY ${_probe_dir})
  file(WRITE ${_probe_dir}/probe.c "int main(void) { return 0; }\n")
  execute_process(COMMAND cc -m32 ${_probe_dir}/probe.c -o ${_probe_dir}/probe RESULT_VARIABLE _cc_rc
                  OUTPUT_QUIET ERROR_QUIET)
  set(_native_rc 1)
  if(_cc_rc EQUAL 0)
    execute_process(COMMAND ${_probe_dir}/probe RESULT_VARIABLE _native_rc OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(_native_rc EQUAL 0)
    set(TOVRA_I386_EMULATOR "")
  else()
    find_program(_qemu qemu-i386)
    if(NOT _qemu)
      message(FATAL_ERROR "this machine cannot run 32-bit programs and qemu-i386 is missing "
                          "(apt-get install qemu-user)")
    endif()
    set(TOVRA_I386_EMULATOR ${_qemu})
  endif()
  set(TOVRA_I386_EMULATOR "${TOVRA_I386_EMULATOR}" CACHE STRING "Runs i386 test programs" FORCE)
endif()
if(TOVRA_I386_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRA_I386_EMULATOR})
endif()

# Said once per configure run: CMake reads a toolchain file several times,
# and again inside every try_compile project.
get_property(_reported GLOBAL PROPERTY TOVRA_I386_REPORTED)
if(NOT _reported AND NOT CMAKE_IN_TRY_COMPILE)
  set_property(GLOBAL PROPERTY TOVRA_I386_REPORTED TRUE)
  if(TOVRA_I386_EMULATOR)
    message(STATUS "tovra i386: test programs run under ${TOVRA_I386_EMULATOR}")
  else()
    message(STATUS "tovra i386: test programs run natively")
  endif()
endif()
