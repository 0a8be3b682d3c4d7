// SPDX-License-Identifier: MIT
// The arithmetic paths side by side, in one run: each operation's kernels
// (compiled in) forced onto the x87 unit ("x87"), onto this build's fused
// multiply-add layer ("fma-avx512", "fma-avx2", "fma-neon", "fma-scalar",
// "fma-dekker":
// the build fixes the layer, see TOVRA_TEST_FMA_LAYER) and onto the integer
// arithmetic ("integer"), with the allocations and scans the public member
// makes on that path; and the public member itself in the default state,
// named after the path the library takes there for that operation and order
// ("default-x87", "default-fma-avx512", ...); the operations are those of
// operations.h. Names are
// "paths/<operation>/<path>/<n>"; scripts/bench-paths.sh joins the runs of
// several builds into one table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "operations.h"

namespace {

using namespace bench_ops;

template <class Op, class A> void forced(benchmark::State &state) {
  Op op(static_cast<unsigned int>(state.range(0)));
  const fp_state::Scope host(fp_state::standard());
  for (auto _ : state) {
    op.template run<A>();
  }
}

template <class Op> void by_default(benchmark::State &state) {
  Op op(static_cast<unsigned int>(state.range(0)));
  const fp_state::Scope host(fp_state::standard());
  for (auto _ : state) {
    op.run_default();
  }
}

// The orders measured: TOVRA_BENCH_ORDERS (e.g. "8,12,24,32,48"), to find
// where one path overtakes another, else those of the README's table.
std::vector<int> orders() {
  const char *env = std::getenv("TOVRA_BENCH_ORDERS");
  const std::vector<int> list = env ? parse_orders(env) : std::vector<int>{};
  return list.empty() ? std::vector<int>{4, 16, 64, 256, 512} : list;
}

const bool registered = [] {
  for_each_operation([](auto *tag) {
    typedef std::remove_pointer_t<decltype(tag)> Op;
    const std::string prefix = std::string("paths/") + Op::name + "/";
    for (int n : orders()) {
      const auto add = [&](const std::string &path, void (*run)(benchmark::State &)) {
        benchmark::RegisterBenchmark((prefix + path).c_str(), run)->Arg(n)->Unit(benchmark::kMicrosecond);
      };
#if TOVRA_HAVE_X87
      add("x87", forced<Op, X87>);
#endif
#if TOVRA_HAVE_FAST_FMA
      if (fma_state_is_default()) {
        add(fma_layer(), forced<Op, Fma>);
      }
#endif
      add("integer", forced<Op, Soft>);
      add("default-" + default_path(Op(static_cast<unsigned int>(n)).task()), by_default<Op>);
    }
  });
  return true;
}();

} // namespace
