#!/usr/bin/env bash
# Runs the benchmark program and prints every figure as a ratio to the
# straightforward baseline measured in the same run (medians of repeated
# runs). Usage, for the builds of scripts/test-all.sh:
#   scripts/bench-table.sh [build/x86_64/bench/tovra_bench] [extra benchmark flags...]
#   scripts/bench-table.sh build/i386/bench/tovra_bench
# The i386 program runs natively where the kernel runs 32-bit programs; under
# an emulator its timings mean nothing. Environment: REPS (repetitions,
# default 5); BIG=1 adds the O(n^3) operations at n = 1024 (minutes of
# baseline time); EMULATOR runs the program through e.g. qemu-i386; FILTER
# replaces the benchmark filter.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/x86_64/bench/tovra_bench}
shift || true
reps=${REPS:-5}
filter='^fixed|^(matvec|LUs)/|/(4|16|64|256|512)$'
[ "${BIG:-0}" = 1 ] && filter='.'
filter=${FILTER:-$filter}
json=$(mktemp)
trap 'rm -f "$json"' EXIT
# Repetitions of all the benchmarks are run in random order, so that a busy
# spell of the machine spreads over the library and its baseline alike.
${EMULATOR:-} "$bin" --benchmark_filter="$filter" --benchmark_repetitions="$reps" \
  --benchmark_min_time=0.1 --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_format=json "$@" >"$json"
python3 - "$json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
# CPU time of the measuring thread: less disturbed than wall time when the
# machine is shared. The median aggregate when repeated, else the one run.
median, single = {}, {}
for r in runs:
    fields = r["run_name"].split("/")
    key = (fields[0], fields[2] if len(fields) > 2 else "", fields[1])
    t = r["cpu_time"] * scale[r["time_unit"]]
    if r.get("aggregate_name") == "median":
        median[key] = t
    elif r.get("run_type", "iteration") == "iteration":
        single.setdefault(key, t)
for key, t in single.items():
    median.setdefault(key, t)
rows = sorted({(op, n) for (op, n, _) in median}, key=lambda k: (k[0], int(k[1]) if k[1] else 0))
peers = [p for p in ("tovra", "eigen", "lapack") if any(k[2] == p for k in median)]
print("%-16s %6s %14s " % ("operation", "n", "baseline") + " ".join("%9s" % p for p in peers))
for op, n in rows:
    base = median.get((op, n, "baseline"))
    if base is None:
        continue
    cells = []
    for p in peers:
        t = median.get((op, n, p))
        cells.append("%9.3f" % (t / base) if t is not None else "%9s" % "-")
    shown = "%.1f ns" % base if base < 1e4 else ("%.1f us" % (base / 1e3) if base < 1e7 else "%.1f ms" % (base / 1e6))
    print("%-16s %6s %14s " % (op, n, shown) + " ".join(cells))
PY
