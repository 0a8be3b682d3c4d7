// SPDX-License-Identifier: MIT
// The same operations on each arithmetic path this processor has, in one
// run: the x87 unit in the host's default state; the vector unit's fused
// multiply-add, which the library takes on x86-64 when the host changed the
// x87 control word (and where the processor has it); and the integer
// arithmetic, taken when the host changed MXCSR as well. Names are
// "paths/<operation>/<path>/<n>"; the path is chosen the way a host would
// choose it, by the floating-point state around the calls.
#include <benchmark/benchmark.h>

#include "fp_state.h"
#include "inputs.h"

namespace {

void product(benchmark::State &state, fp_state::State host_state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1), b = inputs::matrix(n, n, 2);
  Matrix_d res(n, n);
  const fp_state::Scope host(host_state);
  for (auto _ : state) {
    a.Molt(res, b);
    benchmark::ClobberMemory();
  }
}

void lu(benchmark::State &state, fp_state::State host_state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  const fp_state::Scope host(host_state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.LU(f, perm, parity));
  }
}

void lus(benchmark::State &state, fp_state::State host_state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  const Vector<double> b = inputs::vector(n, 3);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  a.LU(f, perm, parity);
  Vector<double> x(n);
  const fp_state::Scope host(host_state);
  for (auto _ : state) {
    x = b;
    f.LUs(perm, x);
    benchmark::ClobberMemory();
  }
}

void inv(benchmark::State &state, fp_state::State host_state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  const fp_state::Scope host(host_state);
  for (auto _ : state) {
    Matrix_d r = a.inv();
    benchmark::DoNotOptimize(&r(0, 0));
  }
}

void sizes(benchmark::internal::Benchmark *b) {
  for (int n : {4, 16, 64, 256, 512}) {
    b->Arg(n);
  }
  b->Unit(benchmark::kMicrosecond);
}

const bool registered = [] {
  const struct {
    const char *name;
    void (*run)(benchmark::State &, fp_state::State);
  } operations[] = {{"product", product}, {"LU", lu}, {"LUs", lus}, {"inv", inv}};
  for (const auto &op : operations) {
    for (const fp_state::PathState &p : fp_state::paths()) {
      const std::string name = std::string("paths/") + op.name + "/" + fp_state::path_name(p.path);
      benchmark::RegisterBenchmark(name.c_str(), op.run, p.state)->Apply(sizes);
    }
  }
  return true;
}();

} // namespace
