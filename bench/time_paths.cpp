// SPDX-License-Identifier: MIT
// The operations of operations.h, as bench_paths.cpp runs them, timed without
// Google Benchmark, so that the same program builds natively and for
// WebAssembly (Emscripten, run under Node) and the two can be compared on
// one machine: scripts/bench-wasm.sh builds both, runs them in turn and
// divides. Each operation is timed on every path the build has: "x87"
// (forced), the fused multiply-add layer (forced, "fma-avx512",
// "fma-scalar", "fma-dekker", ...) and "default" (the public member in the
// default state, whatever path it takes there). Output, one line each:
//   <operation> <n> <path> <nanoseconds per call>
// the median of the repetitions, each timing enough calls to last the
// minimum time. Wall-clock time, the clock both builds have: under Node a
// process's CPU time is not to be had.
//
//   tovra_time_paths [--orders=4,16,64,256,512] [--reps=5] [--min-ms=20] [--ops=product,LU,...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "operations.h"

namespace {

using namespace bench_ops;

struct Options {
  std::vector<int> orders{4, 16, 64, 256, 512};
  int reps = 5;
  double min_seconds = 0.02;
  std::string ops; // empty: all
};

struct Path {
  std::string name;
  void (*run)(void *op);
  std::vector<double> ns; // per call, one per repetition
};

template <class Op, class A> void forced(void *op) { static_cast<Op *>(op)->template run<A>(); }
template <class Op> void by_default(void *op) { static_cast<Op *>(op)->run_default(); }

double seconds_of(void (*run)(void *), void *op, long calls) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < calls; ++i) {
    run(op);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Enough calls for the minimum time, found by doubling.
long calls_for(void (*run)(void *), void *op, double min_seconds) {
  long calls = 1;
  while (seconds_of(run, op, calls) < min_seconds && calls < (1L << 30)) {
    calls *= 2;
  }
  return calls;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t k = v.size() / 2;
  return v.size() % 2 ? v[k] : (v[k - 1] + v[k]) / 2;
}

// The paths of one operation at one order, their repetitions interleaved so
// that a busy spell of the machine falls on all of them alike.
template <class Op> void time_operation(const Options &opt, int n) {
  Op op(static_cast<unsigned int>(n));
  const fp_state::Scope host(fp_state::standard());
  std::vector<Path> paths;
#if TOVRA_HAVE_X87
  paths.push_back({"x87", forced<Op, X87>, {}});
#endif
#if TOVRA_HAVE_FAST_FMA
  if (fma_state_is_default()) {
    paths.push_back({fma_layer(), forced<Op, Fma>, {}});
  }
#endif
  paths.push_back({"default", by_default<Op>, {}});
  std::vector<long> calls;
  for (const Path &p : paths) {
    calls.push_back(calls_for(p.run, &op, opt.min_seconds));
  }
  for (int r = 0; r < opt.reps; ++r) {
    for (size_t i = 0; i < paths.size(); ++i) {
      paths[i].ns.push_back(seconds_of(paths[i].run, &op, calls[i]) * 1e9 / double(calls[i]));
    }
  }
  for (const Path &p : paths) {
    std::printf("%s %d %s %.6g\n", Op::name, n, p.name.c_str(), median(p.ns));
  }
  std::fflush(stdout);
}

template <class Op> void time_all(const Options &opt) {
  const std::string list = "," + opt.ops + ",";
  if (!opt.ops.empty() && list.find(std::string(",") + Op::name + ",") == std::string::npos) {
    return;
  }
  for (int n : opt.orders) {
    time_operation<Op>(opt, n);
  }
}

bool parse(int argc, char **argv, Options &opt) {
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    const auto value = [arg](const char *key) -> const char * {
      const size_t k = std::strlen(key);
      return std::strncmp(arg, key, k) == 0 ? arg + k : nullptr;
    };
    if (const char *v = value("--orders=")) {
      opt.orders = parse_orders(v);
      if (opt.orders.empty()) {
        return false;
      }
    } else if (const char *v = value("--reps=")) {
      opt.reps = std::atoi(v);
    } else if (const char *v = value("--min-ms=")) {
      opt.min_seconds = std::atof(v) / 1e3;
    } else if (const char *v = value("--ops=")) {
      opt.ops = v;
    } else {
      return false;
    }
  }
  return opt.reps > 0 && opt.min_seconds >= 0;
}

} // namespace

int main(int argc, char **argv) {
  Options opt;
  if (!parse(argc, argv, opt)) {
    std::fprintf(stderr,
                 "usage: %s [--orders=4,16,64,256,512] [--reps=5] [--min-ms=20] [--ops=product,LU,...]\n",
                 argv[0]);
    return 2;
  }
  for_each_operation([&](auto *tag) { time_all<std::remove_pointer_t<decltype(tag)>>(opt); });
  return 0;
}
