// SPDX-License-Identifier: MIT
// The product of rows by a vector for the arithmetics that take one element
// at a time (X87, Soft): y[t] is the sum over c of rows[t][c] * x[c], from
// +0.0, in ascending c, through the policy's accumulation step. The sums of
// different rows are independent, so a few rows go at once and their steps
// overlap; an arithmetic with a wider way of doing them (Fma) has its own.
#ifndef TOVRA_ROW_SUMS_H
#define TOVRA_ROW_SUMS_H

#include "arith/row_loop.h"
#include "bitwise/moves.h"

namespace tovra_detail {

// The most rows a policy's row_sums takes in one call: the kernel hands
// them over in blocks of this many, which the widest layer of the fused
// multiply-add keeps in flight, and a multiple of the eight below. A
// policy's row_sums(rows, count, x, n, y) finds row t at rows(t), n
// elements long, for t < count, so that the rows are looked up where they
// are used instead of copied into a list first.
const unsigned int row_sums_block = 16;

// R rows at once, from row r0: R independent sums, each over its row in
// column order. Both factors are held in registers (A::held) and every sum
// starts from +0.0, so no operand needs a scan for signalling NaNs.
template <class A, int R, class Rows>
inline void sum_rows(const Rows &rows, unsigned int r0, const double *x, unsigned int n, double *y) {
  const double *row[R];
  double s[R];
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    row[t] = rows(r0 + t);
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
    move_bits(y[t], s[t]);
  }
}

// count rows, eight at a time while they last.
template <class A, class Rows>
inline void each_row_sum(const Rows &rows, unsigned int count, const double *x, unsigned int n, double *y) {
  unsigned int r = 0;
  for (; r + 8 <= count; r += 8) {
    sum_rows<A, 8>(rows, r, x, n, y + r);
  }
  if (r + 4 <= count) {
    sum_rows<A, 4>(rows, r, x, n, y + r);
    r += 4;
  }
  if (r + 2 <= count) {
    sum_rows<A, 2>(rows, r, x, n, y + r);
    r += 2;
  }
  if (r < count) {
    sum_rows<A, 1>(rows, r, x, n, y + r);
  }
}

} // namespace tovra_detail

#endif
