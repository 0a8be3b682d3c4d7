// SPDX-License-Identifier: MIT
// The loops of an arithmetic that takes one element at a time (X87, Soft),
// as the members the kernels call: the row update (row_loop.h), the
// element-wise rows (element_loop.h) and the product of rows by a vector
// (row_sums.h), each through the policy A's own single steps. A derives
// from OneAtATime<A>; an arithmetic with wider ways (Fma) hides them with
// its own members.
#ifndef TOVRA_ONE_AT_A_TIME_H
#define TOVRA_ONE_AT_A_TIME_H

#include "arith/element_loop.h"
#include "arith/row_loop.h"
#include "arith/row_sums.h"

namespace tovra_detail {

template <class A> struct OneAtATime {
  // V is A::value, which is not yet known where A names this base.
  template <int R, Terms T, class V>
  static void update_rows(double *const *d, const V *m, const double *u, unsigned int c0, unsigned int c1) {
    each_term<A, R, T>(d, m, u, c0, c1);
  }

  template <Elements E> static void elements(double *res, const double *a, const double *b, unsigned int n) {
    each_element<A, E>(res, a, b, n);
  }

  // y[t] = rows(t) times x for t < count (row_sums.h).
  template <class Rows>
  static void row_sums(const Rows &rows, unsigned int count, const double *x, unsigned int n, double *y) {
    each_row_sum<A>(rows, count, x, n, y);
  }
};

} // namespace tovra_detail

#endif
