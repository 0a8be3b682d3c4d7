// SPDX-License-Identifier: MIT
// The element-wise loops: one step per element, each element read before it
// is written, so that the target may be an operand. Operands are held in
// registers (A::held), so no scan for signalling NaNs precedes these.
#include "arith/arith.h"
#include "kernels/kernels.h"

namespace tovra_detail {

template <class A> void add(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  for (unsigned int r = 0; r < res.SizeRow(); ++r) {
    for (unsigned int c = 0; c < res.SizeCol(); ++c) {
      A::sum_into(res(r, c), A::held(a(r, c)), A::held(b(r, c)));
    }
  }
}

template <class A> void subtract(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  for (unsigned int r = 0; r < res.SizeRow(); ++r) {
    for (unsigned int c = 0; c < res.SizeCol(); ++c) {
      A::difference_into(res(r, c), A::held(a(r, c)), A::held(b(r, c)));
    }
  }
}

// Every element is multiplied, with no shortcut for 0 or 1, so 0 x inf and
// 0 x NaN give NaN.
template <class A> void scale(const Matrix_d &a, const double &s, Matrix_d &res) {
  const typename A::value f = A::held(s);
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      A::product_into(res(r, c), f, A::held(a(r, c)));
    }
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
