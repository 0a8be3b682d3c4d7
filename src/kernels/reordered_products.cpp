// SPDX-License-Identifier: MIT
// The products, reordered: a target row (or a stretch of it) accumulates
// all its sums at once, k outermost, so that the sums of different columns
// overlap instead of waiting for each other's rounding. Every sum starts from
// +0.0 and both factors of each term are held in registers, so no operand
// needs a scan for signalling NaNs.
#include "kernels/kernels.h"

#include "bitwise/moves.h"
#include "kernels/reordered_tile.h"

namespace tovra_detail {

template <class A> void multiply(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  const unsigned int rows = a.SizeRow(), cols = b.SizeCol(), depth = b.SizeRow();
  for (unsigned int c0 = 0; c0 < cols; c0 += tile_columns) {
    const unsigned int c1 = cols - c0 < tile_columns ? cols : c0 + tile_columns;
    // Each sum starts from +0.0, as an empty sum is +0.0.
    for (unsigned int r = 0; r < rows; ++r) {
      double *row = &res(r, 0);
      for (unsigned int c = c0; c < c1; ++c) {
        row[c] = 0.0;
      }
    }
    tile_rows<A, add_terms>(res, 0, rows, a, b, 0, depth, c0, c1);
  }
}

namespace {

// The rows of a block, from row r0 of a.
struct BlockRows {
  const Matrix_d &a;
  unsigned int r0;
  const double *operator()(unsigned int t) const { return &a(r0 + t, 0); }
};

} // namespace

// The rows go to the policy a block at a time (A::row_sums, row_sums.h):
// their sums are independent.
template <class A> void multiply(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) {
  const unsigned int rows = a.SizeRow(), n = a.SizeCol();
  // An empty x may hold no array at all; its elements are never read then.
  const double *const xs = n != 0 ? &x[0] : nullptr;
  for (unsigned int r = 0; r < rows; r += row_sums_block) {
    const unsigned int count = rows - r < row_sums_block ? rows - r : row_sums_block;
    A::row_sums(BlockRows{a, r}, count, xs, n, &y[r]);
  }
}

#define TOVRA_INSTANTIATE(A)                                                                                 \
  template void multiply<A>(const Matrix_d &, const Matrix_d &, Matrix_d &);                                 \
  template void multiply<A>(const Matrix_d &, const Vector<double> &, Vector<double> &);
TOVRA_FOR_EACH_ARITHMETIC(TOVRA_INSTANTIATE)

} // namespace tovra_detail
