// SPDX-License-Identifier: MIT
// The fused multiply-add arithmetic, a policy of the kernels (arith.h): every
// step computed with double arithmetic and a fused multiply-add instead of
// the x87 unit, to the same bits. The single steps (fma_steps.h) take the
// value rounded once and prove with a few exact operations that the x87
// unit's two roundings (to a 64-bit significand, then to double) end on
// it; the few they cannot vouch for go to the integer arithmetic. The row
// update (the inner loop of the product, the elimination and the inverse)
// does the same for many elements at once: for every element, the product
// of two doubles rounded to a 64-bit significand, added to or subtracted
// from the element, that result rounded to 64 bits and then to double.
//
// How the row update does it (fma_rows.h tells the details): one fused
// multiply-add gives the exact value rounded once, and a few exact
// operations tell whether the x87 unit's three roundings could end
// elsewhere; the rare elements where they could are done again by an exact
// construction of the 64-bit roundings, and those it cannot vouch for
// (edges of binades, ties it cannot tell apart, operands out of range,
// subnormal results, overflow, infinities, NaNs) by the integer
// arithmetic. Every result is the x87 result, NaN payloads included.
//
// The row update is written once, over a layer of lane operations per
// target: fma_avx2.cpp and fma_avx512.cpp (x86-64, 4 and 8 lanes),
// fma_neon.cpp (aarch64, 2 lanes), fma_scalar.cpp (1 lane, any target with
// a hardware fused multiply-add) and fma_dekker.cpp (2 lanes, for targets
// without one: the exact parts by Dekker's product); host_state.h says which
// one a build has. The single steps take Dekker's product in place of the
// instruction where the build has the Dekker layer. Values stay the
// bits of doubles, as in Soft, whose comparisons this policy keeps: they are
// exact on bits, and cheap.
#ifndef TOVRA_FAST_FMA_H
#define TOVRA_FAST_FMA_H

#include <type_traits>

#include "arith/element_loop.h"
#include "arith/fma_steps.h"
#include "arith/host_state.h"
#include "arith/row_loop.h"
#include "arith/soft.h"

namespace tovra_detail {
namespace fast {

struct Avx2;
struct Avx512;
struct Neon;
struct Scalar;
struct Dekker;

// For every c in [c0, c1) and t < R, in any order (the elements are
// independent): d[t][c] = d[t][c] - m[t] * u[c] when Subtract, else
// m[t] * u[c] + d[t][c], each with the x87 roundings. R is 1 or 4. The rows
// d[t] must not overlap u or each other in [c0, c1). Defined by each layer's
// source for its layer L; call only when fma_state_is_default() returned
// true in this operation (and, for Avx512, cpu_has_avx512()).
template <class L, int R, bool Subtract>
void layer_rows(double *const *d, const double *m, const double *u, unsigned c0, unsigned c1);

// For c < n, res[c] takes the element-wise step E (element_loop.h) with the
// x87 roundings; res may be a or b. Defined by each layer's source
// (fma_elements.h), under the same conditions as layer_rows.
template <class L, Elements E> void layer_elements(double *res, const double *a, const double *b, unsigned n);

// y[t] = rows[t] times x (n elements each) for t < count <= row_sums_block
// (row_sums.h), sums from +0.0 in ascending column order with the x87
// roundings of the products' accumulation rule (fma_columns.h). Defined by
// each layer's source; the same conditions as layer_rows.
template <class L>
void layer_row_sums(const double *const *rows, unsigned count, const double *x, unsigned n, double *y);

} // namespace fast

#if TOVRA_HAVE_FAST_FMA

struct Fma : Soft {
  static void sub_product_into(double &s, value a, value b) { put(s, fast::sub_product(get(s), a, b)); }
  static void add_product_into(double &s, value a, value b) { put(s, fast::add_product(get(s), a, b)); }
  static void quotient_into(double &slot, value a, value b) { put(slot, fast::quotient(a, b)); }
  static void sum_into(double &slot, value a, value b) { put(slot, fast::sum(a, b)); }
  static void difference_into(double &slot, value a, value b) { put(slot, fast::difference(a, b)); }
  static void product_into(double &slot, value a, value b) { put(slot, fast::product(a, b)); }
  static bool scaled_ge(value s, value scale, value &best) { return fast::scaled_ge(s, scale, best); }

  // Calls f with a null pointer to the widest layer this build and
  // processor have.
  template <class F> static void on_widest_layer(F f) {
#if defined(TOVRA_FMA_AVX512)
    if (cpu_has_avx512()) {
      f(static_cast<fast::Avx512 *>(nullptr));
    } else {
      f(static_cast<fast::Avx2 *>(nullptr));
    }
#elif defined(TOVRA_FMA_AVX)
    f(static_cast<fast::Avx2 *>(nullptr));
#elif defined(TOVRA_FMA_NEON)
    f(static_cast<fast::Neon *>(nullptr));
#elif defined(TOVRA_FMA_DEKKER)
    f(static_cast<fast::Dekker *>(nullptr));
#else
    f(static_cast<fast::Scalar *>(nullptr));
#endif
  }

  // The multipliers pass as doubles, by their bits.
  template <int R, Terms T>
  static void update_rows(double *const *d, const value *m, const double *u, unsigned int c0,
                          unsigned int c1) {
    const bool subtract = T == subtract_terms;
    double k[R];
    for (int t = 0; t < R; ++t) {
      put(k[t], m[t]);
    }
    on_widest_layer([&](auto *layer) {
      fast::layer_rows<std::remove_pointer_t<decltype(layer)>, R, subtract>(d, k, u, c0, c1);
    });
  }

  // An element-wise row (element_loop.h).
  template <Elements E> static void elements(double *res, const double *a, const double *b, unsigned int n) {
    on_widest_layer(
        [&](auto *layer) { fast::layer_elements<std::remove_pointer_t<decltype(layer)>, E>(res, a, b, n); });
  }

  // The product of rows by a vector (row_sums.h), on the same layer as the
  // row update, which takes the rows as a list.
  template <class Rows>
  static void row_sums(const Rows &rows_at, unsigned int count, const double *x, unsigned int n, double *y) {
    const double *rows[row_sums_block];
    for (unsigned int t = 0; t < count; ++t) {
      rows[t] = rows_at(t);
    }
    on_widest_layer([&](auto *layer) {
      fast::layer_row_sums<std::remove_pointer_t<decltype(layer)>>(rows, count, x, n, y);
    });
  }
};

#endif

} // namespace tovra_detail

#endif
