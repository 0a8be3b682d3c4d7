#!/usr/bin/env bash
# Configures, builds and tests both variants of the library, x86-64 and
# i386, with g++ -O2 (the benchmarks are built too and run once, briefly,
# as the bench_smoke test). Usage: scripts/test-all.sh [build-root]
# On Debian it first installs the packages it needs when they are missing
# (as root; otherwise it prints the apt-get line to run and stops).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build}
. "$root/scripts/packages.sh"
tovra_ensure_packages "${tovra_test_packages[@]}"

for arch in x86_64 i386; do
  extra=()
  [ "$arch" = i386 ] && extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386.cmake")
  echo "== $arch: build and test in $out/$arch"
  "$root/scripts/build-suite.sh" "$out/$arch" -DCMAKE_CXX_COMPILER=g++ -DTOVRA_BUILD_BENCH=ON "${extra[@]}"
done
