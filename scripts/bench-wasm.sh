#!/usr/bin/env bash
# WebAssembly under Node against the native x87 path, on this machine:
# builds bench/time_paths.cpp natively and with Emscripten (both Release,
# -DTOVRA_BUILD_BENCH=ON; the native one needs Google Benchmark for the rest
# of bench/, the WebAssembly one emcc and node), runs the two programs in
# turn, and prints one table: for each operation and order the native x87
# path's time per call and the WebAssembly default path's time as a ratio to
# it (lower is better). Each figure is the median over the rounds of each
# run's median.
#   scripts/bench-wasm.sh [native build dir] [wasm build dir]
# (defaults build/bench-native and build/bench-wasm). Environment: ROUNDS
# (runs of each program, alternating, default 3), REPS (repetitions per run,
# default 5), MIN_MS (least time of one repetition, default 20), ORDERS
# (default 4,16,64,256,512), OPS (operations, default all), JOBS (build jobs,
# default 2), NODE (default node), NODE_FLAGS (default --no-liftoff: the
# module is compiled by V8's optimising tier from the start, the code a
# long-running program ends up with, rather than timing part of the baseline
# tier's code before it is replaced).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${1:-$root/build/bench-native}
wasm=${2:-$root/build/bench-wasm}
jobs=${JOBS:-2}
node=${NODE:-node}
command -v emcmake >/dev/null || { echo "emcmake is missing (apt-get install emscripten)" >&2; exit 2; }
command -v "$node" >/dev/null || { echo "$node is missing (apt-get install nodejs)" >&2; exit 2; }

build() { # dir, configure command...
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    "$@" -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_BENCH=ON >"$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log" >&2; exit 3; }
  fi
  cmake --build "$dir" -j "$jobs" --target tovra_time_paths >/dev/null || exit 4
}
mkdir -p "$(dirname "$native")" "$(dirname "$wasm")"
build "$native" cmake
build "$wasm" emcmake cmake

args=(--reps="${REPS:-5}" --min-ms="${MIN_MS:-20}" --orders="${ORDERS:-4,16,64,256,512}")
[ -n "${OPS:-}" ] && args+=(--ops="$OPS")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for round in $(seq "${ROUNDS:-3}"); do
  "$native/bench/tovra_time_paths" "${args[@]}" >"$tmp/native.$round"
  # shellcheck disable=SC2086 # NODE_FLAGS: several words
  "$node" ${NODE_FLAGS---no-liftoff} "$wasm/bench/tovra_time_paths.js" "${args[@]}" >"$tmp/wasm.$round"
done

python3 - "$tmp" <<'PY'
import glob, statistics, sys
def load(build):
    times = {}  # (op, n, path): [ns per call, one per round]
    for name in sorted(glob.glob("%s/%s.*" % (sys.argv[1], build))):
        for line in open(name):
            op, n, path, ns = line.split()
            times.setdefault((op, int(n), path), []).append(float(ns))
    return {k: statistics.median(v) for k, v in times.items()}
native, wasm = load("native"), load("wasm")
def shown(ns):
    return "%.2f us" % (ns / 1e3) if ns < 1e6 else "%.2f ms" % (ns / 1e6)
layers = sorted({p for _, _, p in wasm if p != "default"})
print("| operation | n | native x87 | WebAssembly | WebAssembly / native x87 |")
print("|---|---:|---:|---:|---:|")
# In the programs' own order: operation, then order.
for op, n, path in native:
    if path != "x87" or (op, n, "default") not in wasm:
        continue
    x87, w = native[(op, n, path)], wasm[(op, n, "default")]
    print("| %s | %d | %s | %s | %.2f |" % (op, n, shown(x87), shown(w), w / x87))
print("\nWebAssembly default path: %s" % (", ".join(layers) or "integer"))
PY
