// SPDX-License-Identifier: MIT
// Where the fused multiply-add serves the default state too: the x87 unit
// and the fused multiply-add give the same bits, so in the default state a
// call takes whichever is faster for its operation and size on the
// processor at hand. The answer depends on the fused multiply-add layer
// (AVX-512 or AVX2) and is read per call; the library keeps nothing.
#ifndef TOVRA_CHOICE_H
#define TOVRA_CHOICE_H

#include "arith/host_state.h"

namespace tovra_detail {

// The operations whose speeds were measured apart.
enum class Work { product, factor, determinant, inverse, substitute, matrix_vector, elementwise, compare };

// What a call is about to do: the operation and its order, which is the
// order of a square operand and otherwise the smallest dimension involved
// (a thin product has short or few row updates, which do not pay).
struct Task {
  Work work;
  unsigned int n;
};

inline unsigned int smaller(unsigned int a, unsigned int b) { return a < b ? a : b; }
inline Task task(Work work, unsigned int rows, unsigned int cols) { return {work, smaller(rows, cols)}; }
// The product of a rows x inner matrix by an inner x cols one.
inline Task product_task(unsigned int rows, unsigned int inner, unsigned int cols) {
  return {Work::product, smaller(smaller(rows, inner), cols)};
}

// An order no call reaches.
const unsigned int never = ~0u;

// From which order the fused multiply-add layer beats the x87 unit, per
// operation (in the order of Work). Measured with bench/bench_paths.cpp
// (scripts/bench-paths.sh, TOVRA_BENCH_ORDERS=16,32,48,64,96,128, median
// CPU time of 3 runs) on an otherwise idle 2-core virtual machine whose
// processor calls itself "AMD EPYC" (family 26, model 2, AVX-512), with the
// single steps on the fused multiply-add. Each is the smallest order from
// which every larger one measured was faster: the product from 16 (0.64),
// LU and det from 32 (0.95, 0.96), LUs from 16 (0.93 to 0.95 everywhere).
// Measured again with the element-wise rows vectorised (orders 4 to 512,
// 3 runs): Sum, Sub and the product by a scalar from 16 (0.64, 0.64, 0.53
// there; 0.45 to 0.57 from 64 on; 1.0 to 1.1 for sums at 8), inv from 32
// (0.92, and 1.04 at 24), now that its back pass divides a row at a time.
// The product by a vector, with rows as lanes (fma_columns.h), from 16:
// 0.72 to 0.75 at 16, 0.66 at 32, 0.55 to 0.62 from 64 to 512 (measured
// apart, same machine, median of 5).
//
// The AVX2 layer takes nothing: forced on this processor it paid for the
// product alone (0.8 from n = 64), but a processor with AVX2 and without
// AVX-512 (an AMD EPYC of family 25, model 1, Zen 3) measured the AVX2
// product at 1.2 to 1.5 times the x87 unit from n = 64 to 256, and the
// choice must not make the default state slower on the processors that
// have only that layer. LU, det and inv were slower on AVX2 everywhere. The
// element-wise rows on AVX2 measured 0.84 to 0.98 here from n = 16, and the
// product by a vector 1.10 at 16 and 0.89 to 1.00 from 32 to 512: too thin
// a margin to carry over to a processor not measured.
struct Thresholds {
  unsigned int product, factor, determinant, inverse, substitute, matrix_vector, elementwise, compare;

  unsigned int operator[](Work w) const {
    switch (w) {
    case Work::product:
      return product;
    case Work::factor:
      return factor;
    case Work::determinant:
      return determinant;
    case Work::inverse:
      return inverse;
    case Work::substitute:
      return substitute;
    case Work::matrix_vector:
      return matrix_vector;
    case Work::elementwise:
      return elementwise;
    case Work::compare:
      break;
    }
    // The comparisons are integer steps on every fused multiply-add layer.
    return never;
  }
};
const Thresholds avx512_from = {16, 32, 32, 32, 16, 16, 16, never};
const Thresholds avx2_from = {never, never, never, never, never, never, never, never};

#if TOVRA_HAVE_X87 && TOVRA_HAVE_FAST_FMA
// Whether a call in the default state should take the fused multiply-add;
// the caller still asks fma_state_is_default(), which has the final word.
// The scalar layer of a test build never beats the x87 unit, nor does the
// fused multiply-add under the plain kernels, whose loops have no row
// updates.
inline bool fma_pays(Task task) {
#if defined(TOVRA_FMA_AVX) && !defined(TOVRA_PLAIN_KERNELS)
#if defined(TOVRA_FMA_AVX512)
  __builtin_cpu_init();
  if (cpu_has_avx512()) {
    return task.n >= avx512_from[task.work];
  }
#endif
  return task.n >= avx2_from[task.work];
#else
  (void)task;
  return false;
#endif
}
#endif

} // namespace tovra_detail

#endif
