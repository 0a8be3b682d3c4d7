#!/usr/bin/env bash
# Configures, builds and tests both variants of the library, x86-64 and
# i386, with g++ -O2 (the benchmarks are built too and run once, briefly,
# as the bench_smoke test). Usage: scripts/test-all.sh [build-root]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build}

for arch in x86_64 i386; do
  extra=()
  [ "$arch" = i386 ] && extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386.cmake")
  echo "== $arch: build and test in $out/$arch"
  "$root/scripts/build-suite.sh" "$out/$arch" -DCMAKE_CXX_COMPILER=g++ -DTOVRA_BUILD_BENCH=ON "${extra[@]}"
done
