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

// R rows at once: R independent sums, each over its row in column order.
template <class A, int R>
void rows_times_vector(const Matrix_d &a, unsigned int r0, const Vector<double> &x, Vector<double> &y) {
  const unsigned int n = a.SizeCol();
  const double *row[R];
  double s[R];
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    row[t] = &a(r0 + t, 0);
    s[t] = 0.0;
  }
  for (unsigned int c = 0; c < n; ++c) {
    const typename A::value v = A::held(x[c]);
    TOVRA_UNROLL
    for (int t = 0; t < R; ++t) {
      A::add_product_into(s[t], A::held(row[t][c]), v);
    }
  }
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    move_bits(y[r0 + t], s[t]);
  }
}

} // namespace

template <class A> void multiply(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) {
  const unsigned int rows = a.SizeRow();
  unsigned int r = 0;
  for (; r + 8 <= rows; r += 8) {
    rows_times_vector<A, 8>(a, r, x, y);
  }
  if (r + 4 <= rows) {
    rows_times_vector<A, 4>(a, r, x, y);
    r += 4;
  }
  if (r + 2 <= rows) {
    rows_times_vector<A, 2>(a, r, x, y);
    r += 2;
  }
  if (r < rows) {
    rows_times_vector<A, 1>(a, r, x, y);
  }
}

#define TOVRA_INSTANTIATE(A)                                                                                 \
  template void multiply<A>(const Matrix_d &, const Matrix_d &, Matrix_d &);                                 \
  template void multiply<A>(const Matrix_d &, const Vector<double> &, Vector<double> &);
TOVRA_FOR_EACH_ARITHMETIC(TOVRA_INSTANTIATE)

} // namespace tovra_detail
