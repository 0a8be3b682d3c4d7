// SPDX-License-Identifier: MIT
// The plain kernels: each loop nest in its textbook order, one running sum
// at a time. Built instead of the reordered set (reordered_*.cpp) with
// -DTOVRA_KERNELS=plain, for compilers where the reordered loops do not pay.
#include "kernels/kernels.h"

#include "arith/arith.h"
#include "bitwise/moves.h"

namespace tovra_detail {

template <class A> void multiply(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < b.SizeCol(); ++c) {
      // The sum lives in the element itself, from +0.0, an empty sum; the
      // factors are held in registers, as no scan for signalling NaNs
      // precedes a product.
      double &s = res(r, c);
      s = 0.0;
      for (unsigned int k = 0; k < b.SizeRow(); ++k) {
        A::add_product_into(s, A::held(a(r, k)), A::held(b(k, c)));
      }
    }
  }
}

template <class A> void multiply(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) {
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    double &s = y[r];
    s = 0.0;
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      A::add_product_into(s, A::held(a(r, c)), A::held(x[c]));
    }
  }
}

template <class A>
void eliminate(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale) {
  const unsigned int n = a.SizeRow();
  for (unsigned int j = 0; j < n; ++j) {
    // An element that takes no term (row 0 here, column 0 below) is not
    // touched: it keeps the bits of the copy.
    for (unsigned int i = 1; i < j; ++i) {
      for (unsigned int k = 0; k < i; ++k) {
        A::sub_product_into(a(i, j), A::get(a(i, k)), A::get(a(k, j)));
      }
    }
    // Column j from row j down; the pivot step then reads the stored sums.
    if (j != 0) {
      for (unsigned int i = j; i < n; ++i) {
        for (unsigned int k = 0; k < j; ++k) {
          A::sub_product_into(a(i, j), A::get(a(i, k)), A::get(a(k, j)));
        }
      }
    }
    pivot<A>(a, j, perm, parity, scale);
  }
}

template <class A> void substitute(const Matrix_d &f, const Seq<unsigned int> &perm, Vector<double> &b) {
  // Signed indices, so that a 0 x 0 system runs no loop at all.
  const int n = static_cast<int>(f.SizeCol());
  // -1 while every forward value so far was zero: terms below the first
  // non-zero one are known to vanish and are never formed, so infinities or
  // NaNs in L cannot reach a solution through them.
  int first = -1;
  for (int i = 0; i < n; ++i) {
    // The exchange moves bits: an entry before the first non-zero one takes
    // no term, and the first non-zero one is stored as it came.
    swap_bits(&b[i], &b[perm[i]], 1);
    if (first >= 0) {
      for (int k = first; k < i; ++k) {
        A::sub_product_into(b[i], A::get(f(i, k)), A::get(b[k]));
      }
    } else if (!A::is_zero(A::get(b[i]))) { // a NaN counts as non-zero, -0.0 as zero
      first = i;
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    for (int k = i + 1; k < n; ++k) {
      A::sub_product_into(b[i], A::get(f(i, k)), A::get(b[k]));
    }
    // A quotient, not a product with the reciprocal as in the elimination:
    // the two round differently.
    A::quotient_into(b[i], A::get(b[i]), A::get(f(i, i)));
  }
}

template <class A>
void invert(const Matrix_d &factors, const Seq<unsigned int> &perm, Matrix_d &x, Vector<double> &col) {
  const unsigned int n = factors.SizeRow();
  for (unsigned int j = 0; j < n; ++j) {
    for (unsigned int i = 0; i < n; ++i) {
      col[i] = 0.0;
    }
    col[j] = 1.0;
    substitute<A>(factors, perm, col);
    for (unsigned int i = 0; i < n; ++i) {
      move_bits(x(i, j), col[i]);
    }
  }
}

#define TOVRA_INSTANTIATE(A)                                                                                 \
  template void multiply<A>(const Matrix_d &, const Matrix_d &, Matrix_d &);                                 \
  template void multiply<A>(const Matrix_d &, const Vector<double> &, Vector<double> &);                     \
  template void eliminate<A>(Matrix_d &, Seq<unsigned int> &, double &, Vector<double> &);                   \
  template void substitute<A>(const Matrix_d &, const Seq<unsigned int> &, Vector<double> &);                \
  template void invert<A>(const Matrix_d &, const Seq<unsigned int> &, Matrix_d &, Vector<double> &);
TOVRA_FOR_EACH_ARITHMETIC(TOVRA_INSTANTIATE)

} // namespace tovra_detail
