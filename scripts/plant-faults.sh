#!/usr/bin/env bash
# Plants the faults of tests/data/faults.txt one at a time in a scratch copy
# of the tree and runs the tests against each: a fault the tests let through
# is a rule they do not hold. Prints "caught" or "survived" per fault and a
# total; exits non-zero when a fault survives or cannot be planted.
#
#   scripts/plant-faults.sh [-r REV] [-o DIR] [-f FAULTS] [-k REGEX]
#
#   -r REV     the commit copied (default HEAD); "worktree" copies the files
#              of the working tree that git tracks or would track
#   -o DIR     scratch directory (default /tmp/tovra-faults-$USER); the copy,
#              its builds and one log per fault live there
#   -f FAULTS  the fault list (default tests/data/faults.txt of the copy)
#   -k REGEX   plant only the faults whose description matches
#
# The copy is built once, x86-64 with g++ -O2 (and i386, x86-64 with the
# fused multiply-add layer "dekker" forced, or x86-64 with the plain kernels,
# when an entry asks for it); each
# fault is then applied, rebuilt incrementally, tested and
# reverted. A fault that breaks the build is reported as caught by the build.
#
# The tests run are the whole suite but for the checks that never execute
# code built from src/ or from the headers' function bodies, which is where
# every fault lies: the header syntax checks (compat_g++_*, compat_clang++_*),
# the exported-symbol list (exports), and install_consume, which installs
# and rebuilds a consumer of the 3x3 worked example (a minute per fault; the
# same example is held by the unit tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rev=HEAD
out=/tmp/tovra-faults-${USER:-$(id -un)}
faults=
only=
while getopts r:o:f:k: opt; do
  case $opt in
  r) rev=$OPTARG ;;
  o) out=$OPTARG ;;
  f) faults=$(realpath "$OPTARG") ;;
  k) only=$OPTARG ;;
  *) exit 2 ;;
  esac
done
skip='^(compat_(g|clang)\+\+_.*|exports|install_consume)$'
# Absolute, since the builds refer to the copy's files from elsewhere.
mkdir -p "$out"
out=$(cd "$out" && pwd)
src=$out/src
rm -rf "$src" "$out/logs" "$out/x86_64" "$out/i386" "$out/dekker" "$out/plain"
mkdir -p "$src" "$out/logs"
if [ "$rev" = worktree ]; then
  (cd "$root" && git ls-files -z -co --exclude-standard |
    xargs -0 tar -cf - --no-recursion --ignore-failed-read 2>/dev/null) | tar -xf - -C "$src"
else
  git -C "$root" archive "$rev" | tar -xf - -C "$src"
fi
faults=${faults:-$src/tests/data/faults.txt}

# The entries as NUL-separated fields: description, file, find, replace, build.
entries=$(mktemp)
trap 'rm -f "$entries"' EXIT
python3 - "$faults" "$only" >"$entries" <<'EOF'
import re, sys
entries, cur = [], {}
for line in open(sys.argv[1], encoding='utf-8').read().split('\n') + ['']:
    if line.startswith('#'):
        continue
    if not line.strip():
        if cur:
            entries.append(cur)
        cur = {}
        continue
    key, _, value = line.partition(':')
    cur[key.strip()] = value[1:] if value.startswith(' ') else value
for e in entries:
    if re.search(sys.argv[2], e['fault']):
        for k in ('fault', 'file', 'find', 'replace'):
            sys.stdout.write(e[k].replace('\\n', '\n') + '\0')
        sys.stdout.write(e.get('build', 'x86_64') + '\0')
EOF

configure() { # build directory, extra cmake arguments
  echo "== building the unfaulted copy in $1"
  # The copy's own helper, which configures the copy it sits in.
  if ! JOBS=2 "$src/scripts/build-suite.sh" "$1" -DCMAKE_CXX_FLAGS_RELEASE=-O2 -DCMAKE_CXX_COMPILER=g++ "${@:2}" \
    -- -E "$skip" >"$1.log" 2>&1; then
    echo "the unfaulted copy fails to build or pass its tests; see $1.log" >&2
    exit 2
  fi
}
configure "$out/x86_64"
if tr '\0' '\n' <"$entries" | grep -qx i386; then
  configure "$out/i386" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/i386.cmake"
fi
if tr '\0' '\n' <"$entries" | grep -qx dekker; then
  configure "$out/dekker" -DTOVRA_TEST_FMA_LAYER=dekker
fi
if tr '\0' '\n' <"$entries" | grep -qx plain; then
  configure "$out/plain" -DTOVRA_KERNELS=plain
fi

total=0 tests=0 build=0 survived=0 broken=0
while IFS= read -r -d '' what && IFS= read -r -d '' file && IFS= read -r -d '' find &&
  IFS= read -r -d '' replace && IFS= read -r -d '' arch; do
  total=$((total + 1))
  log=$out/logs/$(printf %02d $total).log
  saved=$(mktemp)
  cp "$src/$file" "$saved"
  if ! python3 - "$src/$file" "$find" "$replace" <<'EOF'; then
import sys
path, find, replace = sys.argv[1:]
text = open(path, encoding='utf-8').read()
if text.count(find) != 1:
    sys.exit(1)
open(path, 'w', encoding='utf-8').write(text.replace(find, replace))
EOF
    printf 'NOT PLANTED (text not found once)  %s\n' "$what"
    broken=$((broken + 1))
    rm -f "$saved"
    continue
  fi
  dir=$out/$arch
  if ! cmake --build "$dir" -j 2 </dev/null >"$log" 2>&1; then
    printf 'caught by the build                %s\n' "$what"
    build=$((build + 1))
  elif ! ctest --test-dir "$dir" -j 2 --timeout 600 -E "$skip" </dev/null >>"$log" 2>&1; then
    failed=$(sed -n 's/^[[:space:]]*[0-9]\+ - \([^ ]*\) .*/\1/p' "$log" | sort -u | tr '\n' ' ')
    printf 'caught (%s)  %s\n' "${failed% }" "$what"
    tests=$((tests + 1))
  else
    printf 'SURVIVED                           %s\n' "$what"
    survived=$((survived + 1))
  fi
  # A fresh timestamp, so that the next build compiles the restored file.
  cat "$saved" >"$src/$file"
  rm -f "$saved"
done <"$entries" # the commands in the loop read /dev/null, never the list

echo "== $total faults: $tests caught by the tests, $build caught by the build," \
  "$survived survived, $broken not planted"
[ $survived -eq 0 ] && [ $broken -eq 0 ]
