#!/usr/bin/env bash
# Builds and tests the library in all twelve builds a user might make:
# {i386, x86-64} x {g++, clang++} x {-O0, -O2, -O3}, each in a build
# directory of its own, then prints a summary table. The results must be
# bit-identical in all of them, and the suite's exact expected bits are what
# checks it. Exits non-zero when any build fails to configure, build or
# pass its tests.
#
# Usage: scripts/build-matrix.sh [-j N] [-a ARCHS] [-c COMPILERS] [-o LEVELS] [-R REGEX] [ROOT]
#   ROOT          where the build directories go (default: build-matrix/ in
#                 the source tree, which git ignores); one per combination,
#                 named ROOT/<arch>-<compiler>-<level>, with its log in
#                 ROOT/<arch>-<compiler>-<level>.log (the configure output
#                 in ROOT/<arch>-<compiler>-<level>.configure.log)
#   -j N          parallel jobs for each build and each test run (default: nproc)
#   -a ARCHS      subset of "i386 x86_64" (default: both)
#   -c COMPILERS  subset of "g++ clang++" (default: both)
#   -o LEVELS     subset of "O0 O2 O3" (default: all three)
#   -R REGEX      run only the tests whose names match (ctest -R)
#
# The i386 builds use cmake/i386.cmake (-m32): g++ needs g++-multilib and
# clang++ the 32-bit runtime (lib32gcc and lib32stdc++ development files);
# where the kernel cannot run 32-bit programs, their tests run under
# qemu-i386. The optimisation level goes in through CMAKE_CXX_FLAGS_RELEASE,
# so nothing but the level differs from the project's own Release flags.
set -uo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
archs="i386 x86_64"
compilers="g++ clang++"
levels="O0 O2 O3"
regex=""

usage() {
  sed -n '9,19p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

while getopts "j:a:c:o:R:h" opt; do
  case $opt in
  j) jobs=$OPTARG ;;
  a) archs=$OPTARG ;;
  c) compilers=$OPTARG ;;
  o) levels=$OPTARG ;;
  R) regex=$OPTARG ;;
  *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -le 1 ] || usage
for a in $archs; do
  case $a in i386 | x86_64) ;; *) echo "unknown architecture: $a" >&2 && exit 2 ;; esac
done
for c in $compilers; do
  command -v "$c" >/dev/null || {
    echo "compiler not found: $c" >&2
    exit 2
  }
done
for l in $levels; do
  case $l in O0 | O1 | O2 | O3 | Os) ;; *) echo "unknown level: $l" >&2 && exit 2 ;; esac
done

root=${1:-$src/build-matrix}
mkdir -p "$root" || exit 2
root=$(cd "$root" && pwd)

names=()
results=()
status=0
start_all=$SECONDS

for arch in $archs; do
  for cxx in $compilers; do
    for level in $levels; do
      name=$arch-$cxx-$level
      dir=$root/$name
      log=$root/$name.log
      : >"$log"
      t0=$SECONDS
      echo "== $name: $dir"
      args=("-DCMAKE_CXX_FLAGS_RELEASE=-$level" "-DCMAKE_CXX_COMPILER=$cxx")
      [ "$arch" = i386 ] && args+=("-DCMAKE_TOOLCHAIN_FILE=$src/cmake/i386.cmake")
      args+=(--)
      [ -n "$regex" ] && args+=(-R "$regex")

      JOBS=$jobs "$src/scripts/build-suite.sh" "$dir" "${args[@]}" >>"$log" 2>&1
      rc=$?
      result=""
      if [ "$rc" -eq 3 ]; then
        result="configure FAILED"
      elif [ "$rc" -eq 4 ]; then
        result="build FAILED"
      else
        # "100% tests passed, 0 tests failed out of 37" / "95% tests passed, 2 tests failed out of 37"
        line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        failed=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
        if [ -z "$line" ]; then
          result="tests FAILED (no ctest summary)"
        elif [ "$rc" -ne 0 ] || [ "$failed" -ne 0 ]; then
          result="tests FAILED: $failed of $total"
        else
          result="passed: $total of $total"
        fi
      fi
      case $result in passed*) ;; *) status=1 ;; esac
      elapsed=$((SECONDS - t0))
      names+=("$name")
      results+=("$(printf '%-34s %4d:%02d' "$result" $((elapsed / 60)) $((elapsed % 60)))")
      echo "   $result ($((elapsed / 60))m$((elapsed % 60))s, log $log)"
      if [ "$status" -ne 0 ] && [[ $result != passed* ]]; then
        grep -E '^\s*[0-9]+ - .*\((Failed|Timeout|SEGFAULT|Subprocess|Not Run|Exception)' "$log" | sed 's/^/     /' | head -n 20
      fi
    done
  done
done

echo
echo "Build matrix ($src, root $root, -j $jobs)"
printf '%-24s %-34s %7s\n' "build" "result" "time"
printf '%-24s %-34s %7s\n' "------------------------" "----------------------------------" "-------"
for i in "${!names[@]}"; do
  printf '%-24s %s\n' "${names[$i]}" "${results[$i]}"
done
total_time=$((SECONDS - start_all))
echo "total time $((total_time / 60))m$((total_time % 60))s"
if [ "$status" -ne 0 ]; then
  echo "FAILED: see the logs above" >&2
fi
exit $status
