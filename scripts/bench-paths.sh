#!/usr/bin/env bash
# The arithmetic paths side by side (bench/bench_paths.cpp): runs the
# benchmark program of each build given and prints one table, every figure a
# ratio to the x87 path measured in the same run (medians of repeated runs,
# CPU time). A fused multiply-add layer other than the widest needs a build
# of its own, so the table joins one run per build, e.g.:
#   cmake -S . -B build/avx2 -DTOVRA_BUILD_BENCH=ON -DTOVRA_TEST_FMA_LAYER=avx2 && cmake --build build/avx2
#   cmake -S . -B build/scalar -DTOVRA_BUILD_BENCH=ON -DTOVRA_TEST_FMA_LAYER=scalar && ...
#   scripts/bench-paths.sh build/x86_64/bench/tovra_bench build/avx2/bench/tovra_bench \
#                          build/scalar/bench/tovra_bench
# The "default" columns tell the path the library took in the default state
# for that build. Environment: REPS (repetitions, default 5), FILTER
# (default every paths/ benchmark), TOVRA_BENCH_ORDERS (the orders, default
# 4,16,64,256,512). The integer path at 512 takes seconds per run.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 tovra_bench [tovra_bench of other builds...]" >&2; exit 2; }
reps=${REPS:-5}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=0
for bin in "$@"; do
  "$bin" --benchmark_filter="${FILTER:-^paths/}" --benchmark_repetitions="$reps" --benchmark_min_time=0.05 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$tmp/$i.json"
  i=$((i + 1))
done
python3 - "$tmp"/*.json <<'PY'
import json, sys
scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
runs = []  # per build: {(op, n): {path: cpu ns}}
for name in sorted(sys.argv[1:]):
    times = {}
    for r in json.load(open(name))["benchmarks"]:
        _, op, path, n = r["run_name"].split("/")
        if r.get("aggregate_name", "median") == "median" and r.get("run_type") in ("aggregate", "iteration"):
            times.setdefault((op, int(n)), {})[path] = r["cpu_time"] * scale[r["time_unit"]]
    runs.append(times)
# One column per forced path, from the first build that has it; one
# default column per build, named after its widest layer.
columns, seen = [], set()
for b, times in enumerate(runs):
    for p in sorted({p for row in times.values() for p in row}):
        if p not in seen and p != "x87" and not p.startswith("default-"):
            columns.append((p, b, p))
            seen.add(p)
columns.sort(key=lambda c: c[0] == "integer")
for b, times in enumerate(runs):
    layers = sorted({p for row in times.values() for p in row if p.startswith("fma-")})
    columns.append(("default" + ("" if b == 0 else " (%s build)" % (layers[0] if layers else "x87")), b, None))
order = ["product", "LU", "det", "inv", "LUs", "matvec", "Sum"]
ops = sorted({op for times in runs for op, _ in times}, key=lambda op: (order + [op]).index(op))
print("| operation | n | x87 | " + " | ".join(c[0] for c in columns) + " |")
print("|---|---:|---:|" + "---:|" * len(columns))
for op in ops:
    for n in sorted({k[1] for t in runs for k in t if k[0] == op}):
        base = runs[0].get((op, n), {}).get("x87")
        if base is None:
            continue
        shown = "%.2f us" % (base / 1e3) if base < 1e6 else "%.2f ms" % (base / 1e6)
        cells = []
        for _, b, p in columns:
            row = runs[b].get((op, n), {})
            x87 = row.get("x87")
            if p is None:
                p = next((q for q in row if q.startswith("default-")), None)
                cell = "%.2f %s" % (row[p] / x87, p[len("default-"):]) if p and x87 else "-"
            else:
                cell = "%.2f" % (row[p] / x87) if p in row and x87 else "-"
            cells.append(cell)
        print("| %s | %d | %s | %s |" % (op, n, shown, " | ".join(cells)))
PY
