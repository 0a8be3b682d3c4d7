// SPDX-License-Identifier: MIT
// The fixed-size operators: each builds its result object and fills it
// through the general operation. The baseline does the same with the
// straightforward operations, so both figures include the same allocations.
#include <benchmark/benchmark.h>

#include "baseline.h"
#include "inputs.h"

namespace {

template <class M> M filled(unsigned int seed) {
  M m;
  inputs::fill(m, seed);
  return m;
}

template <class V> V filled_vector(unsigned int seed) {
  V v;
  inputs::fill(v, seed);
  return v;
}

// The operator under test, or its baseline twin, for one result type.
template <class M> struct Lib {
  static M add(const M &a, const M &b) { return a + b; }
  static M sub(const M &a, const M &b) { return a - b; }
  static M neg(const M &a) { return -a; }
  static M mul(const M &a, const M &b) { return a * b; }
  static M scale(const M &a, double s) { return a * s; }
  template <class V> static V apply(const M &a, const V &x) { return a * x; }
};

template <class M> struct Base {
  static M add(const M &a, const M &b) {
    M r;
    baseline::sum(a, r, b);
    return r;
  }
  static M sub(const M &a, const M &b) {
    M r;
    baseline::sub(a, r, b);
    return r;
  }
  static M neg(const M &a) {
    M r;
    baseline::neg(a, r);
    return r;
  }
  static M mul(const M &a, const M &b) {
    M r;
    baseline::molt(a, r, b);
    return r;
  }
  static M scale(const M &a, double s) {
    M r;
    baseline::molt(a, r, s);
    return r;
  }
  template <class V> static V apply(const M &a, const V &x) {
    V r;
    baseline::molt(a, r, x);
    return r;
  }
};

template <class Impl, class M> void add(benchmark::State &state) {
  const M a = filled<M>(1), b = filled<M>(2);
  for (auto _ : state) {
    M r = Impl::add(a, b);
    benchmark::DoNotOptimize(r(0, 0));
  }
}

template <class Impl, class M> void sub(benchmark::State &state) {
  const M a = filled<M>(1), b = filled<M>(2);
  for (auto _ : state) {
    M r = Impl::sub(a, b);
    benchmark::DoNotOptimize(r(0, 0));
  }
}

template <class Impl, class M> void neg(benchmark::State &state) {
  const M a = filled<M>(1);
  for (auto _ : state) {
    M r = Impl::neg(a);
    benchmark::DoNotOptimize(r(0, 0));
  }
}

template <class Impl, class M> void mul(benchmark::State &state) {
  const M a = filled<M>(1), b = filled<M>(2);
  for (auto _ : state) {
    M r = Impl::mul(a, b);
    benchmark::DoNotOptimize(r(0, 0));
  }
}

template <class Impl, class M> void scale(benchmark::State &state) {
  const M a = filled<M>(1);
  for (auto _ : state) {
    M r = Impl::scale(a, 1.5);
    benchmark::DoNotOptimize(r(0, 0));
  }
}

template <class Impl, class M, class V> void apply(benchmark::State &state) {
  const M a = filled<M>(1);
  const V x = filled_vector<V>(3);
  for (auto _ : state) {
    V r = Impl::apply(a, x);
    benchmark::DoNotOptimize(r[0]);
  }
}

template <class M, class V> void add_all(const std::string &n) {
  benchmark::RegisterBenchmark(("fixed" + n + "_add/tovra").c_str(), add<Lib<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_add/baseline").c_str(), add<Base<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_sub/tovra").c_str(), sub<Lib<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_sub/baseline").c_str(), sub<Base<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_neg/tovra").c_str(), neg<Lib<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_neg/baseline").c_str(), neg<Base<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_mul/tovra").c_str(), mul<Lib<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_mul/baseline").c_str(), mul<Base<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_scale/tovra").c_str(), scale<Lib<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_scale/baseline").c_str(), scale<Base<M>, M>);
  benchmark::RegisterBenchmark(("fixed" + n + "_vec/tovra").c_str(), apply<Lib<M>, M, V>);
  benchmark::RegisterBenchmark(("fixed" + n + "_vec/baseline").c_str(), apply<Base<M>, M, V>);
}

int registered = [] {
  add_all<Matrix2x2_d, Vector2<double>>("2x2");
  add_all<Matrix3x3_d, Vector3<double>>("3x3");
  add_all<Matrix4x4_d, Vector4<double>>("4x4");
  return 0;
}();

} // namespace
