# Debian 12 packages the builds need, and one way to make sure they are there.
# Sourced by scripts/test-all.sh (the README's test command) and by .ci/run,
# so that both read one list.

# The README's test command: x86-64 and i386 with g++, the tests (GoogleTest
# from source, the header checks with g++ and clang++, the install test with
# pkg-config, the export test with binutils), the benchmarks (Google Benchmark
# for both architectures) and qemu-user for kernels that cannot run 32-bit
# programs. g++-12-multilib, not g++-multilib, which apt removes when a cross
# compiler is installed.
tovra_test_packages=(g++ g++-12-multilib clang cmake ninja-build googletest libbenchmark-dev libbenchmark-dev:i386
  pkg-config binutils qemu-user)

# Everything else .ci/run builds: the cross compilers of the CPUs without an
# x87 unit; MinGW-w64 and Wine (wine32:i386 runs the i686 programs); Emscripten
# with Node's acorn (its optimiser needs it at -O2) and Chromium for the
# browser page; clang's runtime for the sanitizers and the fuzzer; Doxygen and
# help2man for the API reference and the man page; the i386 reference LAPACK
# for the i386 benchmarks; and what building and checking the .deb packages
# needs, with the i386 C and C++ runtimes the i386 packages depend on.
tovra_ci_packages=("${tovra_test_packages[@]}" g++-aarch64-linux-gnu g++-s390x-linux-gnu g++-powerpc64le-linux-gnu
  g++-riscv64-linux-gnu g++-arm-linux-gnueabihf g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine32:i386
  emscripten nodejs node-acorn chromium libclang-rt-14-dev doxygen help2man liblapack-dev liblapack-dev:i386
  lintian dpkg-dev file libc6:i386 libstdc++6:i386)

# A package installed for both architectures must be asked for by its
# qualified name: the bare one is ambiguous to dpkg.
tovra_installed() {
  dpkg -s "$1" >/dev/null 2>&1 || dpkg -s "$1:$(dpkg --print-architecture)" >/dev/null 2>&1
}

# tovra_ensure_packages NAME...: installs the missing ones when run as root;
# otherwise prints the one command that would and fails. Also makes the link
# /usr/include/asm that -m32 programs include <asm/errno.h> through, which
# g++-multilib would have made.
tovra_ensure_packages() {
  local need=() pkg
  for pkg in "$@"; do
    tovra_installed "$pkg" || need+=("$pkg")
  done
  local i386=0
  dpkg --print-foreign-architectures | grep -qx i386 && i386=1
  if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "missing Debian packages; as root run:" >&2
      [ $i386 = 1 ] || echo "  dpkg --add-architecture i386 &&" >&2
      echo "  apt-get update && apt-get install -y ${need[*]}" >&2
      return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    [ $i386 = 1 ] || dpkg --add-architecture i386
    # An index of the security archive has been seen to fail to download
    # while its mirror syncs, failing the update although the packages
    # install fine: go on, and check below that everything arrived.
    apt-get update -qq || echo "apt-get update failed in part; going on"
    apt-get install -y -qq "${need[@]}" >/dev/null || true
    local missing=()
    for pkg in "${need[@]}"; do
      tovra_installed "$pkg" || missing+=("$pkg")
    done
    if [ ${#missing[@]} -gt 0 ]; then
      echo "could not install: ${missing[*]}" >&2
      return 1
    fi
  fi
  if [ ! -e /usr/include/asm ] && [ -d /usr/include/x86_64-linux-gnu/asm ]; then
    if [ "$(id -u)" -eq 0 ]; then
      ln -s x86_64-linux-gnu/asm /usr/include/asm
    else
      echo "-m32 programs need the link /usr/include/asm; as root run:" >&2
      echo "  ln -s x86_64-linux-gnu/asm /usr/include/asm" >&2
      return 1
    fi
  fi
}
