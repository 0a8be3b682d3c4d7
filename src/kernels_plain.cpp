// The plain kernels: each loop nest in its textbook order, one running sum
// at a time. Selected with -DTOVRA_PLAIN_KERNELS, for targets where the
// reordered kernels do not pay, and as the reference the reordered ones are
// tested against.
#include "kernels.h"

#if defined(TOVRA_PLAIN_KERNELS)

#include "bits.h"
#include "xprec.h"

namespace tovra_detail {

void multiply(const Matrix_d &a, const Matrix_d &b, Matrix_d &res) {
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < b.SizeCol(); ++c) {
      double s = 0.0;
      for (unsigned int k = 0; k < b.SizeRow(); ++k) {
        s = add_product(s, a(r, k), b(k, c));
      }
      res(r, c) = s;
    }
  }
}

void multiply(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) {
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    double s = 0.0;
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      s = add_product(s, a(r, c), x[c]);
    }
    y[r] = s;
  }
}

void eliminate(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale) {
  const unsigned int n = a.SizeRow();
  for (unsigned int j = 0; j < n; ++j) {
    // An element that takes no term (row 0 here, column 0 below) is not
    // written back: a store of the value read would be a copy, and a copy
    // must move bits, which this one, through a double, may not.
    for (unsigned int i = 1; i < j; ++i) {
      double s = a(i, j);
      for (unsigned int k = 0; k < i; ++k) {
        s = sub_product(s, a(i, k), a(k, j));
      }
      a(i, j) = s;
    }

    // Column j from row j down; the pivot step then reads the stored sums.
    if (j != 0) {
      for (unsigned int i = j; i < n; ++i) {
        double s = a(i, j);
        for (unsigned int k = 0; k < j; ++k) {
          s = sub_product(s, a(i, k), a(k, j));
        }
        a(i, j) = s;
      }
    }
    pivot(a, j, perm, parity, scale);
  }
}

void substitute(const Matrix_d &f, const Seq<unsigned int> &perm, Vector<double> &b) {
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
      double s = b[i];
      for (int k = first; k < i; ++k) {
        s = sub_product(s, f(i, k), b[k]);
      }
      b[i] = s;
    } else if (b[i] != 0.0) { // a NaN counts as non-zero, -0.0 as zero
      first = i;
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int k = i + 1; k < n; ++k) {
      s = sub_product(s, f(i, k), b[k]);
    }
    // A true division, rounded to extended and then to double.
    b[i] = quotient(s, f(i, i));
  }
}

void invert(const Matrix_d &factors, const Seq<unsigned int> &perm, Matrix_d &x, Vector<double> &col) {
  const unsigned int n = factors.SizeRow();
  for (unsigned int j = 0; j < n; ++j) {
    for (unsigned int i = 0; i < n; ++i) {
      col[i] = 0.0;
    }
    col[j] = 1.0;
    substitute(factors, perm, col);
    for (unsigned int i = 0; i < n; ++i) {
      move_bits(x(i, j), col[i]);
    }
  }
}

} // namespace tovra_detail

#endif
