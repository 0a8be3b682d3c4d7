#!/usr/bin/env bash
# Configures, builds and tests both variants of the library, x86-64 and
# i386, with g++ -O2 (the benchmarks are built too and run once, briefly,
# as the bench_smoke test). Usage: scripts/test-all.sh [build-root]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build}
jobs=$(nproc)

for arch in x86_64 i386; do
  dir=$out/$arch
  extra=()
  [ "$arch" = i386 ] && extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386.cmake")
  echo "== $arch: configure and build in $dir"
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
    -DCMAKE_CXX_COMPILER=g++ -DTOVRA_BUILD_TESTS=ON -DTOVRA_BUILD_BENCH=ON "${extra[@]}" |
    { grep -F 'tovra i386:' || true; }
  cmake --build "$dir" -j "$jobs"
  echo "== $arch: test"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
