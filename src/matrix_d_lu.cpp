// SPDX-License-Identifier: MIT
// The LU family of Matrix_d: factorisation, back-substitution, determinant,
// inverse and the zero-row test.
//
// Contract of the packed form written by LU (read by LUs, det and inv):
//   element (r, c), r > c : multiplier l(r, c) of the unit lower factor L;
//   element (r, c), r <= c: u(r, c) of the upper factor U, diagonal included;
//   permutation entry j   : the row exchanged with row j at step j, applied
//                           in the order j = 0, 1, ..., n-1 (a list of
//                           exchanges, not a permutation vector);
//   parity                : +1.0 or -1.0, negated at every exchange.
// L U equals the source with those exchanges applied, up to rounding and up
// to exactly-zero pivots, which are replaced by 1e-20: a singular matrix
// without a zero row is "factored" (result 1), and everything computed from
// it carries values of the order of 1e20.
#include "arith/arith.h"
#include "kernels/kernels.h"
#include "nan_fill.h"
#include "tovra/matrix_d.h"

namespace {

// Operands of the x87 path must hold no signalling NaN: the x87 unit would
// quiet it on loading, and which NaN survives would then depend on how the
// compiler loads operands. Such calls take the fused multiply-add or the
// integer arithmetic, which give every NaN its defined bits.
bool no_signalling_nan(const Matrix_d &m) {
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    if (m.SizeCol() != 0 && !tovra_detail::no_signalling_nan(&m(r, 0), m.SizeCol())) {
      return false;
    }
  }
  return true;
}
bool no_signalling_nan(const Vector<double> &x) {
  return x.Size() == 0 || tovra_detail::no_signalling_nan(&x[0], x.Size());
}

// The shape tests of LU, in their order, then the copy and the
// factorisation with the arithmetic A.
template <class A>
int factor_copy(const Matrix_d &src, Matrix_d &a, Seq<unsigned int> &perm, double &parity,
                Vector<double> &scale) {
  if (a.SizeCol() != a.SizeRow() || src.SizeCol() != a.SizeRow() || src.SizeCol() != src.SizeRow() ||
      src.SizeCol() != perm.Size()) {
    return -1;
  }
  a = src;
  parity = 1.0;
  return tovra_detail::factor<A>(a, perm, parity, scale);
}

} // namespace

int Matrix_d::LU(Matrix_d &a, Seq<unsigned int> &perm, double &parity) const {
  // Made before any test, on every call, and released on every return.
  Vector<double> scale(SizeRow());
  return tovra_detail::with_arithmetic(
      task(tovra_detail::Work::factor, SizeRow(), SizeCol()), [&] { return no_signalling_nan(*this); },
      [&](auto arith) { return factor_copy<decltype(arith)>(*this, a, perm, parity, scale); });
}

void Matrix_d::LUs(Seq<unsigned int> &perm, Vector<double> &b) const {
  if (SizeCol() != SizeRow() || SizeCol() != perm.Size() || SizeCol() != b.Size()) {
    return;
  }
  tovra_detail::with_arithmetic(
      task(tovra_detail::Work::substitute, SizeRow(), SizeCol()),
      [&] { return no_signalling_nan(*this) && no_signalling_nan(b); },
      [&](auto arith) { tovra_detail::substitute<decltype(arith)>(*this, perm, b); });
}

// det, inv and IsSingular work on scratch objects of their own, built in
// the order below and destroyed in reverse order on every return, also when
// a later allocation fails.

double Matrix_d::det() const {
  Matrix_d work(SizeRow(), SizeCol());
  Seq<unsigned int> perm(SizeRow());
  double parity;
  return tovra_detail::with_arithmetic(
      tovra_detail::task(tovra_detail::Work::determinant, SizeRow(), SizeCol()),
      [&] { return no_signalling_nan(*this); },
      [&](auto arith) {
        typedef decltype(arith) A;
        Vector<double> scale(SizeRow());
        if (factor_copy<A>(*this, work, perm, parity, scale) == -1) {
          // Non-square: LU wrote neither the work matrix nor the parity.
          return tovra_detail::refused_value;
        }
        // After a result of 0 the work matrix holds the unfactored copy and
        // the parity is 1.0, so this is the plain diagonal product, a signed
        // zero.
        tovra_detail::determinant<A>(work, parity, parity);
        return parity;
      });
}

Matrix_d Matrix_d::inv() const {
  Matrix_d work(SizeRow(), SizeCol());
  Matrix_d res(SizeRow(), SizeCol());
  Vector<double> col(SizeRow());
  Seq<unsigned int> perm(SizeRow());
  double parity;
  tovra_detail::with_arithmetic(
      tovra_detail::task(tovra_detail::Work::inverse, SizeRow(), SizeCol()),
      [&] { return no_signalling_nan(*this); },
      [&](auto arith) {
        typedef decltype(arith) A;
        Vector<double> scale(SizeRow());
        if (factor_copy<A>(*this, work, perm, parity, scale) != 1) {
          // The permutation was never written: there is nothing to solve with.
          tovra_detail::fill_nan(res);
          return;
        }
        tovra_detail::invert<A>(work, perm, res, col);
      });
  return res;
}

bool Matrix_d::IsSingular() const {
  Matrix_d work(SizeRow(), SizeCol());
  Seq<unsigned int> perm(SizeRow());
  double parity;
  return LU(work, perm, parity) == 0;
}
