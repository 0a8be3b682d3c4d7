#!/usr/bin/env bash
# Builds the whole project with sanitizers and runs the test suite under them.
#
#   scripts/sanitize.sh x86_64 [build-root]   AddressSanitizer (leaks included)
#                                             + UndefinedBehaviorSanitizer, every test
#   scripts/sanitize.sh i386   [build-root]   the same for the 32-bit variant
#   scripts/sanitize.sh tsan   [build-root]   ThreadSanitizer on objects_test, whose threads share operands (x86-64)
#
# CXX selects the compiler (default g++; clang++ works too). Every report is
# fatal (-fno-sanitize-recover), so a report fails the run. The
# float-divide-by-zero check stays off: infinities and NaNs from a division are
# defined results of the library, not errors.
#
# The fault-injection test, which replaces the global operator new, runs too:
# its replacement allocates through malloc, which ASan still checks, and it
# counts blocks itself.
set -euo pipefail
mode=${1:-x86_64}
root=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$root/build-sanitize}/$mode
cxx=${CXX:-g++}
# The C compiler of the same family: GoogleTest's project also checks C, with
# the same linker flags.
cc=$(echo "$cxx" | sed 's/clang++/clang/; s/g++/gcc/')
export JOBS=$(($(nproc) < 2 ? $(nproc) : 2))

san="-fsanitize=address,undefined -fno-sanitize=float-divide-by-zero"
case $mode in
x86_64 | i386) ;;
tsan) san="-fsanitize=thread" ;;
*)
  echo "usage: $0 x86_64|i386|tsan [build-root]" >&2
  exit 2
  ;;
esac
flags="$san -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
link="$san"
# clang links the ASan runtime into programs only; the shared library, linked
# with --no-undefined, needs the shared runtime to resolve its hooks.
if [ "$mode" != tsan ] && "$cxx" --version | grep -q clang; then
  link="$link -shared-libasan -Wl,-rpath,$("$cxx" -print-runtime-dir)"
  flags="$flags -shared-libasan"
fi

extra=()
[ "$mode" = i386 ] && extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386.cmake")

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
asan=halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export ASAN_OPTIONS=detect_leaks=1:$asan
# LeakSanitizer stops the world by cloning a tracer task that shares the
# address space (CLONE_VM without CLONE_THREAD) and ptrace-attaching to every
# thread; qemu-user rejects that clone with EINVAL and the check then waits
# forever. Everything else of ASan works under the emulator, so the programs
# that qemu-i386 runs (where the i386 build needs it) get the options without
# leak detection: qemu sets QEMU_SET_ENV's variables for its guest.
[ "$mode" = i386 ] && export QEMU_SET_ENV=ASAN_OPTIONS=detect_leaks=0:$asan

# Packaging checks that cannot hold for an instrumented build, each with why.
skip=(
  exports         # the instrumented library needs the sanitizer runtimes besides the allowed ones
  install_consume # its consumer is built without sanitizers, so it cannot load an instrumented library
)
exclude="^($(IFS='|'; echo "${skip[*]}"))\$"
echo "NOTE: not run under sanitizers (packaging checks, see the script): ${skip[*]}"

start=$(date +%s)
echo "== sanitize $mode ($cxx): configure, build and test in $out"
build() {
  "$root/scripts/build-suite.sh" "$out" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_FLAGS_DEBUG="$flags" -DCMAKE_EXE_LINKER_FLAGS="$link" \
    -DCMAKE_SHARED_LINKER_FLAGS="$link" -DTOVRA_BUILD_EXAMPLES=ON "${extra[@]}" -- "$@"
}
if [ "$mode" = tsan ]; then
  TARGET=objects_test build -R '^objects_test$'
else
  build -E "$exclude"
fi
leaks=1
if [ "$mode" = i386 ]; then
  emulator=$(sed -n 's/^TOVRA_I386_EMULATOR:[A-Z]*=//p' "$out/CMakeCache.txt")
  if [ -n "$emulator" ]; then
    leaks=0
    echo "NOTE: i386 ran under $emulator: leak detection was OFF for this run (LeakSanitizer cannot"
    echo "      stop the world under qemu-user); address and undefined-behaviour checks were on."
    echo "      Leaks are covered by the x86-64 run and by fault_injection_test's own block count."
  fi
fi
summary="no reports"
[ "$mode" != tsan ] && summary="$summary, leak detection $([ $leaks = 1 ] && echo on || echo OFF)"
echo "== sanitize $mode: passed in $(($(date +%s) - start)) s ($summary)"
