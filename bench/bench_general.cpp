// SPDX-License-Identifier: MIT
// The general-matrix operations, each measured for the library and for the
// straightforward baseline on the same operands: names are
// "<operation>/<implementation>/<n>".
#include <benchmark/benchmark.h>

#include "baseline.h"
#include "inputs.h"

namespace {

// Sizes of the O(n^2) operations; the O(n^3) ones stop at 512 unless the
// large set is asked for by filter (a 1024 baseline run takes seconds).
const int all_sizes[] = {4, 16, 64, 256, 512, 1024};

void product_tovra(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1), b = inputs::matrix(n, n, 2);
  Matrix_d res(n, n);
  for (auto _ : state) {
    a.Molt(res, b);
    benchmark::ClobberMemory();
  }
}

void product_baseline(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1), b = inputs::matrix(n, n, 2);
  Matrix_d res(n, n);
  for (auto _ : state) {
    baseline::molt(a, res, b);
    benchmark::ClobberMemory();
  }
}

void matvec_tovra(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  const Vector<double> x = inputs::vector(n, 3);
  Vector<double> y(n);
  for (auto _ : state) {
    a.Molt(y, x);
    benchmark::ClobberMemory();
  }
}

void matvec_baseline(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  const Vector<double> x = inputs::vector(n, 3);
  Vector<double> y(n);
  for (auto _ : state) {
    baseline::molt(a, y, x);
    benchmark::ClobberMemory();
  }
}

void lu_tovra(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.LU(f, perm, parity));
    benchmark::ClobberMemory();
  }
}

void lu_baseline(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  for (auto _ : state) {
    benchmark::DoNotOptimize(baseline::lu(a, f, perm, parity));
    benchmark::ClobberMemory();
  }
}

// One right-hand side; both figures include the copy that restores it.
void lus_tovra(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  a.LU(f, perm, parity);
  const Vector<double> b = inputs::vector(n, 3);
  Vector<double> x(n);
  for (auto _ : state) {
    inputs::copy(x, b);
    f.LUs(perm, x);
    benchmark::ClobberMemory();
  }
}

void lus_baseline(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  baseline::lu(a, f, perm, parity);
  const Vector<double> b = inputs::vector(n, 3);
  Vector<double> x(n);
  for (auto _ : state) {
    inputs::copy(x, b);
    baseline::lus(f, perm, x);
    benchmark::ClobberMemory();
  }
}

void det_tovra(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.det());
  }
}

void det_baseline(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(baseline::det(a));
  }
}

void inv_tovra(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  for (auto _ : state) {
    Matrix_d r = a.inv();
    benchmark::DoNotOptimize(r(0, 0));
  }
}

void inv_baseline(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  for (auto _ : state) {
    Matrix_d r = baseline::inv(a);
    benchmark::DoNotOptimize(r(0, 0));
  }
}

typedef void (*Body)(benchmark::State &);

void add(const char *name, Body body) {
  auto *b = benchmark::RegisterBenchmark(name, body);
  for (int n : all_sizes) {
    b->Arg(n);
  }
  b->Unit(benchmark::kMicrosecond);
}

int registered = [] {
  add("product/tovra", product_tovra);
  add("product/baseline", product_baseline);
  add("matvec/tovra", matvec_tovra);
  add("matvec/baseline", matvec_baseline);
  add("LU/tovra", lu_tovra);
  add("LU/baseline", lu_baseline);
  add("LUs/tovra", lus_tovra);
  add("LUs/baseline", lus_baseline);
  add("det/tovra", det_tovra);
  add("det/baseline", det_baseline);
  add("inv/tovra", inv_tovra);
  add("inv/baseline", inv_baseline);
  return 0;
}();

} // namespace
