#!/usr/bin/env bash
# Configures, builds and tests one build of the project: the sequence every
# script and CI step shares, so that they differ only in their arguments.
#
#   scripts/build-suite.sh DIR [CMAKE_ARG...] [-- CTEST_ARG...]
#
# DIR is the build directory. The build is Ninja, Release (-O2 unless a
# CMAKE_CXX_FLAGS_RELEASE argument says otherwise) with the tests on; the
# CMAKE_ARGs come after those defaults, so they win. The CTEST_ARGs narrow
# the run (-R, -E). JOBS sets the parallel jobs (default: nproc);
# CONFIGURE sets the configure command (default cmake; "emcmake cmake" for
# WebAssembly); TARGET builds that target only (default: all). Of the
# configure output only the project's own messages and CMake's warnings are
# shown; the rest is in DIR.configure.log. A CMAKE_ARG that turns the tests
# off (-DTOVRA_BUILD_TESTS=OFF) leaves configure and build. Exits 3 when the
# configure step fails, 4 when the build fails, and with ctest's status
# otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { sed -n '5p' "$0" | sed 's/^# *//' >&2; exit 2; }
dir=$1
shift
cmake_args=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  cmake_args+=("$1")
  shift
done
[ $# -gt 0 ] && shift
jobs=${JOBS:-$(nproc)}
read -r -a configure <<<"${CONFIGURE:-cmake}"
mkdir -p "$dir"

"${configure[@]}" -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_TESTS=ON \
  "${cmake_args[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log" >&2; exit 3; }
grep -E -A4 '^(-- )?tovra|CMake (Warning|Error)' "$dir.configure.log" >&2 || true
cmake --build "$dir" -j "$jobs" ${TARGET:+--target "$TARGET"} || exit 4
grep -q '^TOVRA_BUILD_TESTS:BOOL=ON$' "$dir/CMakeCache.txt" || exit 0
ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
