// SPDX-License-Identifier: MIT
// The inner loop shared by the product, the elimination and the inverse: a
// few rows of a target each receive a run of terms, k ascending, while a
// short stretch of their columns stays in the first-level cache. Every
// element keeps its own running sum in its own slot, so the sums of one
// row's columns (and of the tile's rows) are independent chains that the
// processor overlaps; the terms of one element still arrive one by one in
// ascending k. Each arithmetic has a row update of its own (A::update_rows).
#ifndef TOVRA_REORDERED_TILE_H
#define TOVRA_REORDERED_TILE_H

#include "arith/arith.h"
#include "tovra/matrix_d.h"

namespace tovra_detail {

// Columns per stretch: the stretch of the k rows of the right operand
// (k1 - k0 rows) is read once per tile of rows and should stay cached.
const unsigned int tile_columns = 128;

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
    A::template update_rows<R, T>(d, m, &rhs(k, 0), c0, c1);
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
inline void update_one_row(double *row, typename A::value m, const double *u, unsigned int c0,
                           unsigned int c1) {
  double *const d[1] = {row};
  A::template update_rows<1, T>(d, &m, u, c0, c1);
}

} // namespace tovra_detail

#endif
