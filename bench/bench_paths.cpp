// SPDX-License-Identifier: MIT
// The same operations on each arithmetic path, in one run: the x87 unit in
// the host's default state; the vector unit's fused multiply-add, which the
// library takes on x86-64 when the host changed the x87 control word (and
// where the processor has it); and the integer arithmetic, taken when the
// host changed MXCSR as well. Names are
// "paths/<operation>/<path>/<n>"; the path is chosen the way a host would
// choose it, by the floating-point state around the calls.
#include <benchmark/benchmark.h>

#include "inputs.h"

namespace {

enum Path { x87, fma, integer };

// Sets the state that selects the path for the life of the object.
class HostState {
public:
  explicit HostState(Path p) {
#if defined(__i386__) || defined(__x86_64__)
    if (p != x87) {
      // 53-bit precision refuses the x87 path; DAZ the vector unit's too.
      const unsigned short cw = 0x027f;
      __asm__ __volatile__("fldcw %0" : : "m"(cw));
    }
#if defined(__SSE__)
    if (p == integer) {
      const unsigned csr = 0x1fc0;
      __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
    }
#endif
#else
    (void)p; // only the integer arithmetic exists here
#endif
  }
  ~HostState() {
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short cw = 0x037f;
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
#if defined(__SSE__)
    const unsigned csr = 0x1f80;
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
#endif
#endif
  }
};

template <Path P> void product(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1), b = inputs::matrix(n, n, 2);
  Matrix_d res(n, n);
  HostState host(P);
  for (auto _ : state) {
    a.Molt(res, b);
    benchmark::ClobberMemory();
  }
}

template <Path P> void lu(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  HostState host(P);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.LU(f, perm, parity));
  }
}

template <Path P> void lus(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  const Vector<double> b = inputs::vector(n, 3);
  Matrix_d f(n, n);
  Seq<unsigned int> perm(n);
  double parity;
  a.LU(f, perm, parity);
  Vector<double> x(n);
  HostState host(P);
  for (auto _ : state) {
    x = b;
    f.LUs(perm, x);
    benchmark::ClobberMemory();
  }
}

template <Path P> void inv(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  const Matrix_d a = inputs::matrix(n, n, 1);
  HostState host(P);
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

BENCHMARK(product<x87>)->Name("paths/product/x87")->Apply(sizes);
BENCHMARK(product<fma>)->Name("paths/product/fma")->Apply(sizes);
BENCHMARK(product<integer>)->Name("paths/product/integer")->Apply(sizes);
BENCHMARK(lu<x87>)->Name("paths/LU/x87")->Apply(sizes);
BENCHMARK(lu<fma>)->Name("paths/LU/fma")->Apply(sizes);
BENCHMARK(lu<integer>)->Name("paths/LU/integer")->Apply(sizes);
BENCHMARK(lus<x87>)->Name("paths/LUs/x87")->Apply(sizes);
BENCHMARK(lus<fma>)->Name("paths/LUs/fma")->Apply(sizes);
BENCHMARK(lus<integer>)->Name("paths/LUs/integer")->Apply(sizes);
BENCHMARK(inv<x87>)->Name("paths/inv/x87")->Apply(sizes);
BENCHMARK(inv<fma>)->Name("paths/inv/fma")->Apply(sizes);
BENCHMARK(inv<integer>)->Name("paths/inv/integer")->Apply(sizes);

} // namespace
