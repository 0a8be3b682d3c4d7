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
#include <cmath>
#include <limits>

#include "tovra/matrix_d.h"
#include "xprec.h"

using tovra_detail::ext;
using tovra_detail::sub_product;
using tovra_detail::to_double;

int Matrix_d::LU(Matrix_d &a, Seq<unsigned int> &perm, double &parity) const {
  // Made before any test, on every call, and released on every return.
  Vector<double> scale(SizeRow());

  if (a.SizeCol() != a.SizeRow() || SizeCol() != a.SizeRow() || SizeCol() != SizeRow() ||
      SizeCol() != perm.Size()) {
    return -1;
  }
  a = *this;
  const unsigned int n = a.SizeRow();
  parity = 1.0;

  // Every row is scaled before any elimination, so a zero row anywhere ends
  // the call with the target holding the plain copy.
  for (unsigned int i = 0; i < n; ++i) {
    double big = 0.0;
    for (unsigned int c = 0; c < n; ++c) {
      const double t = std::fabs(a(i, c));
      if (t > big) { // a NaN never compares greater and is passed over
        big = t;
      }
    }
    if (big == 0.0) {
      return 0;
    }
    scale[i] = tovra_detail::quotient(1.0, big);
  }

  for (unsigned int j = 0; j < n; ++j) {
    for (unsigned int i = 0; i < j; ++i) {
      double s = a(i, j);
      for (unsigned int k = 0; k < i; ++k) {
        s = sub_product(s, a(i, k), a(k, j));
      }
      a(i, j) = s;
    }

    // When no candidate qualifies (every scaled magnitude NaN), row j stays.
    double best = 0.0;
    unsigned int p = j;
    for (unsigned int i = j; i < n; ++i) {
      double s = a(i, j);
      for (unsigned int k = 0; k < j; ++k) {
        s = sub_product(s, a(i, k), a(k, j));
      }
      a(i, j) = s;
      // The scaled magnitude is compared unrounded against the rounded best,
      // so candidates that round to the same double are still told apart;
      // >= lets the last of equal candidates win.
      const ext m = std::fabs(static_cast<ext>(s)) * scale[i];
      if (m >= best) {
        best = to_double(m);
        p = i;
      }
    }

    if (p != j) {
      for (unsigned int k = 0; k < n; ++k) {
        const double t = a(p, k);
        a(p, k) = a(j, k);
        a(j, k) = t;
      }
      parity = -parity;
      // Row j's entry is never read again, so only the one moving down is kept.
      scale[p] = scale[j];
    }
    perm[j] = p;

    if (a(j, j) == 0.0) {
      a(j, j) = 1e-20;
    }
    if (j != n - 1) {
      // Multiplied by the rounded reciprocal, not divided by the pivot.
      const double r = tovra_detail::quotient(1.0, a(j, j));
      for (unsigned int i = j + 1; i < n; ++i) {
        a(i, j) = tovra_detail::product(a(i, j), r);
      }
    }
  }
  return 1;
}

void Matrix_d::LUs(Seq<unsigned int> &perm, Vector<double> &b) const {
  if (SizeCol() != SizeRow() || SizeCol() != perm.Size() || SizeCol() != b.Size()) {
    return;
  }
  // Signed indices, so that a 0 x 0 system runs no loop at all.
  const int n = static_cast<int>(SizeCol());
  // -1 while every forward value so far was zero: terms below the first
  // non-zero one are known to vanish and are never formed, so infinities or
  // NaNs in L cannot reach a solution through them.
  int first = -1;
  for (int i = 0; i < n; ++i) {
    const unsigned int p = perm[i];
    double s = b[p];
    b[p] = b[i];
    if (first >= 0) {
      for (int k = first; k < i; ++k) {
        s = sub_product(s, (*this)(i, k), b[k]);
      }
    } else if (s != 0.0) { // a NaN counts as non-zero, -0.0 as zero
      first = i;
    }
    b[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int k = i + 1; k < n; ++k) {
      s = sub_product(s, (*this)(i, k), b[k]);
    }
    // A true division, rounded to extended and then to double.
    b[i] = tovra_detail::quotient(s, (*this)(i, i));
  }
}

// det, inv and IsSingular work on scratch objects of their own, built in
// the order below and destroyed in reverse order on every return, also when
// a later allocation fails.

double Matrix_d::det() const {
  Matrix_d work(SizeRow(), SizeCol());
  Seq<unsigned int> perm(SizeRow());
  double parity;
  if (LU(work, perm, parity) == -1) {
    // Non-square: LU wrote neither the work matrix nor the parity.
    return std::numeric_limits<double>::quiet_NaN();
  }
  // After a result of 0 the work matrix holds the unfactored copy and the
  // parity is 1.0, so this is the plain diagonal product, a signed zero.
  double d = parity;
  for (unsigned int i = 0; i < SizeRow(); ++i) {
    d = tovra_detail::product(d, work(i, i));
  }
  return d;
}

Matrix_d Matrix_d::inv() const {
  Matrix_d work(SizeRow(), SizeCol());
  Matrix_d res(SizeRow(), SizeCol());
  Vector<double> col(SizeRow());
  Seq<unsigned int> perm(SizeRow());
  double parity;
  if (LU(work, perm, parity) != 1) {
    // The permutation was never written: there is nothing to solve with.
    for (unsigned int r = 0; r < res.SizeRow(); ++r) {
      for (unsigned int c = 0; c < res.SizeCol(); ++c) {
        res(r, c) = std::numeric_limits<double>::quiet_NaN();
      }
    }
    return res;
  }
  for (unsigned int j = 0; j < SizeRow(); ++j) {
    for (unsigned int i = 0; i < SizeRow(); ++i) {
      col[i] = 0.0;
    }
    col[j] = 1.0;
    work.LUs(perm, col);
    for (unsigned int i = 0; i < SizeRow(); ++i) {
      res(i, j) = col[i];
    }
  }
  return res;
}

bool Matrix_d::IsSingular() const {
  Matrix_d work(SizeRow(), SizeCol());
  Seq<unsigned int> perm(SizeRow());
  double parity;
  return LU(work, perm, parity) == 0;
}
