// SPDX-License-Identifier: MIT
// The element-wise loops: a row of steps at a time (A::elements, whose
// operands need no scan for signalling NaNs), each element read before it
// is written, so that the target may be an operand.
#include "arith/arith.h"
#include "bitwise/moves.h"
#include "kernels/kernels.h"

namespace tovra_detail {

template <class A> void add(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  for (unsigned int r = 0; r < res.SizeRow() && res.SizeCol() != 0; ++r) {
    A::template elements<sum_elements>(&res(r, 0), &a(r, 0), &b(r, 0), res.SizeCol());
  }
}

template <class A> void subtract(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  for (unsigned int r = 0; r < res.SizeRow() && res.SizeCol() != 0; ++r) {
    A::template elements<difference_elements>(&res(r, 0), &a(r, 0), &b(r, 0), res.SizeCol());
  }
}

// Every element is multiplied, with no shortcut for 0 or 1, so 0 x inf and
// 0 x NaN give NaN. The factor is copied first, by its bits: it may be an
// element of res.
template <class A> void scale(const Matrix_d &a, const double &s, Matrix_d &res) {
  double f;
  move_bits(f, s);
  for (unsigned int r = 0; r < a.SizeRow() && a.SizeCol() != 0; ++r) {
    A::template elements<product_elements>(&res(r, 0), &a(r, 0), &f, a.SizeCol());
  }
}

template <class A> bool equal(const Matrix_d &a, const Matrix_d &b) {
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      if (!A::equal(A::get(a(r, c)), A::get(b(r, c)))) {
        return false;
      }
    }
  }
  return true;
}

#define TOVRA_INSTANTIATE(A)                                                                                 \
  template void add<A>(const Matrix_d &, const Matrix_d &, Matrix_d &);                                      \
  template void subtract<A>(const Matrix_d &, const Matrix_d &, Matrix_d &);                                 \
  template void scale<A>(const Matrix_d &, const double &, Matrix_d &);                                      \
  template bool equal<A>(const Matrix_d &, const Matrix_d &);
TOVRA_FOR_EACH_ARITHMETIC(TOVRA_INSTANTIATE)

} // namespace tovra_detail
