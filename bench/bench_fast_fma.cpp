// SPDX-License-Identifier: MIT
// The inner loop of elimination and of the product: one term for each of R
// rows across a stretch of n columns, d[t][c] -= m[t] * u[c] with the x87
// roundings. "fast" is the fused multiply-add policy of fast_fma.h, "x87" the
// same loop on the x87 unit (a long double step stored through an 8-byte
// slot, as the library does where that unit is usable), "integer" the
// integer arithmetic. Names are "update_rows<R>/<implementation>/<n>"; the
// figures are per term.
//
// Each iteration subtracts the terms with m and then with -m, so that the
// rows keep their magnitude however long the benchmark runs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "arith/fast_fma.h"
#include "arith/soft_x87.h"

namespace {

struct Rows {
  std::vector<double> values, u;
  double *d[4];
  double m[2][4];

  explicit Rows(unsigned int n) : values(4 * n), u(n) {
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (double &x : values) {
      x = dist(gen);
    }
    for (double &x : u) {
      x = dist(gen);
    }
    for (int t = 0; t < 4; ++t) {
      d[t] = &values[t * n];
      m[0][t] = dist(gen);
      m[1][t] = -m[0][t];
    }
  }
};

std::uint64_t bits(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

#if TOVRA_HAVE_FAST_FMA
template <int R> void fast(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  if (!tovra_detail::fma_state_is_default()) {
    state.SkipWithError("no fused multiply-add path on this processor or in this floating-point state");
    return;
  }
  Rows rows(n);
  tovra_detail::Fma::value m[2][4]; // the policy's values are the bits
  for (int t = 0; t < 8; ++t) {
    m[t / 4][t % 4] = bits(rows.m[t / 4][t % 4]);
  }
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      tovra_detail::Fma::update_rows<R, tovra_detail::subtract_terms>(rows.d, m[k], rows.u.data(), 0, n);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2 * R * n);
}
#endif

#if defined(__i386__) || defined(__x86_64__)
template <int R> void x87(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  Rows rows(n);
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      for (unsigned int c = 0; c < n; ++c) {
        const double v = rows.u[c];
        for (int t = 0; t < R; ++t) {
          double &slot = rows.d[t][c];
          slot = static_cast<double>(static_cast<long double>(slot) -
                                     static_cast<long double>(rows.m[k][t]) * v);
          __asm__("" : "+m"(slot));
        }
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2 * R * n);
}
#endif

template <int R> void integer(benchmark::State &state) {
  const unsigned int n = static_cast<unsigned int>(state.range(0));
  Rows rows(n);
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      for (unsigned int c = 0; c < n; ++c) {
        for (int t = 0; t < R; ++t) {
          const std::uint64_t r =
              tovra_detail::soft::sub_product(bits(rows.d[t][c]), bits(rows.m[k][t]), bits(rows.u[c]));
          std::memcpy(&rows.d[t][c], &r, sizeof r);
        }
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2 * R * n);
}

void sizes(benchmark::internal::Benchmark *b) {
  for (int n : {16, 128, 512}) {
    b->Arg(n);
  }
}

#if TOVRA_HAVE_FAST_FMA
BENCHMARK(fast<4>)->Name("update_rows4/fast")->Apply(sizes);
BENCHMARK(fast<1>)->Name("update_rows1/fast")->Apply(sizes);
#endif
#if defined(__i386__) || defined(__x86_64__)
BENCHMARK(x87<4>)->Name("update_rows4/x87")->Apply(sizes);
BENCHMARK(x87<1>)->Name("update_rows1/x87")->Apply(sizes);
#endif
BENCHMARK(integer<4>)->Name("update_rows4/integer")->Apply(sizes);

} // namespace
