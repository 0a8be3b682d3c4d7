// SPDX-License-Identifier: MIT
// The inner loop shared by the product, the elimination and the inverse: a
// few rows of a target each receive a run of terms, k ascending, while a
// short stretch of their columns stays in the first-level cache. Every
// element keeps its own running sum in its own slot, so the sums of one
// row's columns (and of the tile's rows) are independent chains that the
// processor overlaps; the terms of one element still arrive one by one in
// ascending k.
#ifndef TOVRA_KERNEL_TILE_H
#define TOVRA_KERNEL_TILE_H

#include "arith.h"
#include "tovra/matrix_d.h"

// The loops over the rows of a tile have a count fixed at compile time;
// unrolled, every sum of the tile has an address of its own in the loop
// body and the multipliers stay in registers.
#if defined(__GNUC__)
#define TOVRA_UNROLL _Pragma("GCC unroll 8")
#else
#define TOVRA_UNROLL
#endif

namespace tovra_detail {

// Columns per stretch: the stretch of the k rows of the right operand
// (k1 - k0 rows) is read once per tile of rows and should stay cached.
const unsigned int tile_columns = 128;

enum Terms { add_terms, subtract_terms };

// One term for each of R rows across a stretch of columns: for c in
// [c0, c1) and t < R, d[t][c] takes m[t] * u[c], added as in a product or
// subtracted as in elimination. All these elements are independent, so an
// arithmetic may specialise this for its own, wider, way of doing them. The
// operands are held in registers (A::held): the sums start from +0.0 or
// from elements the caller has scanned, the operands may be any element.
template <class A, int R, Terms T> struct RowTerms {
  static void run(double *const *d, const typename A::value *m, const double *u, unsigned int c0,
                  unsigned int c1) {
    // Copied into locals whose address is never taken, so that they stay in
    // registers: read through m, every store into a row might change them,
    // and each term would load them again (an 80-bit load on the x87 path).
    typename A::value k[R];
    TOVRA_UNROLL
    for (int t = 0; t < R; ++t) {
      k[t] = m[t];
    }
    for (unsigned int c = c0; c < c1; ++c) {
      const typename A::value v = A::held(u[c]);
      TOVRA_UNROLL
      for (int t = 0; t < R; ++t) {
        if (T == add_terms) {
          A::add_product_into(d[t][c], k[t], v);
        } else {
          A::sub_product_into(d[t][c], k[t], v);
        }
      }
    }
  }
};

#if TOVRA_HAVE_FAST_FMA
// The vector unit takes the whole stretch at once, several columns per
// instruction; elements it cannot do exactly it hands to the integers.
template <int R, Terms T> struct RowTerms<Fma, R, T> {
  static void run(double *const *d, const Fma::value *m, const double *u, unsigned int c0, unsigned int c1) {
    double multipliers[R];
    for (int t = 0; t < R; ++t) {
      Fma::put(multipliers[t], m[t]);
    }
    fast::row_terms<R, T == subtract_terms>(d, multipliers, u, c0, c1);
  }
};
#endif

// For t < R and c in [c0, c1): dst(r0 + t, c) receives, for k = k0 .. k1-1
// in this order, the term lhs(r0 + t, k) * rhs(k, c). The region written
// must not overlap the regions read.
template <class A, int R, Terms T>
inline void tile(Matrix_d &dst, unsigned int r0, const Matrix_d &lhs, const Matrix_d &rhs, unsigned int k0,
                 unsigned int k1, unsigned int c0, unsigned int c1) {
  double *d[R];
  const double *l[R];
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    d[t] = &dst(r0 + t, 0);
    l[t] = &lhs(r0 + t, 0);
  }
  for (unsigned int k = k0; k < k1; ++k) {
    typename A::value m[R];
    TOVRA_UNROLL
    for (int t = 0; t < R; ++t) {
      m[t] = A::held(l[t][k]);
    }
    RowTerms<A, R, T>::run(d, m, &rhs(k, 0), c0, c1);
  }
}

// All rows [r0, r1) of dst, in tiles of 4 rows and then single rows.
template <class A, Terms T>
inline void tile_rows(Matrix_d &dst, unsigned int r0, unsigned int r1, const Matrix_d &lhs,
                      const Matrix_d &rhs, unsigned int k0, unsigned int k1, unsigned int c0,
                      unsigned int c1) {
  unsigned int r = r0;
  for (; r + 4 <= r1; r += 4) {
    tile<A, 4, T>(dst, r, lhs, rhs, k0, k1, c0, c1);
  }
  for (; r < r1; ++r) {
    tile<A, 1, T>(dst, r, lhs, rhs, k0, k1, c0, c1);
  }
}

// One row takes one term across a stretch: row[c] receives m * u[c].
template <class A, Terms T>
inline void row_terms(double *row, typename A::value m, const double *u, unsigned int c0, unsigned int c1) {
  double *const d[1] = {row};
  RowTerms<A, 1, T>::run(d, &m, u, c0, c1);
}

} // namespace tovra_detail

#endif
