// SPDX-License-Identifier: MIT
// The differential test's reference: every numeric operation of the library
// written again as textbook loops, one running sum at a time, on the integer
// model of the x87 unit (src/soft_x87.h, held to the unit by arith_test).
// It shares no loop with the library, so a fault in any of the library's
// kernels shows as a difference. Elements move as bits (memcpy), never as
// doubles: an i386 load would quiet a signalling NaN.
#ifndef TOVRA_TESTS_REFERENCE_H
#define TOVRA_TESTS_REFERENCE_H

#include <cstdint>
#include <cstring>
#include <vector>

#include <tovra.h>

#include "arith/soft_x87.h"

namespace reference {

namespace soft = tovra_detail::soft;
typedef std::uint64_t u64;
const u64 one = 0x3ff0000000000000, sign = u64(1) << 63;

inline u64 get(const double &d) {
  u64 u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}
inline void put(double &d, u64 u) { std::memcpy(&d, &u, sizeof d); }

// The operations as cases::outputs calls them.
struct Reference {
  template <class Step> static void each(const Matrix_d &a, const Matrix_d &b, Matrix_d &r, Step step) {
    for (unsigned int i = 0; i < r.SizeRow() * r.SizeCol(); ++i) {
      const unsigned int row = i / r.SizeCol(), col = i % r.SizeCol();
      put(r(row, col), step(get(a(row, col)), get(b(row, col))));
    }
  }
  static void sum(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { each(a, b, r, soft::sum); }
  static void sub(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { each(a, b, r, soft::difference); }
  static void scale(const Matrix_d &a, u64 s, Matrix_d &r) {
    each(a, a, r, [s](u64 x, u64) { return soft::product(s, x); });
  }
  static bool equal(const Matrix_d &a, const Matrix_d &b) {
    for (unsigned int i = 0; i < a.SizeRow() * a.SizeCol(); ++i) {
      if (!soft::equal(get(a(i / a.SizeCol(), i % a.SizeCol())), get(b(i / a.SizeCol(), i % a.SizeCol())))) {
        return false;
      }
    }
    return true;
  }
  static void product(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) {
    for (unsigned int i = 0; i < a.SizeRow() * b.SizeCol(); ++i) {
      const unsigned int row = i / b.SizeCol(), col = i % b.SizeCol();
      u64 s = 0;
      for (unsigned int k = 0; k < a.SizeCol(); ++k) {
        s = soft::add_product(s, get(a(row, k)), get(b(k, col)));
      }
      put(r(row, col), s);
    }
  }
  static void matvec(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) {
    for (unsigned int row = 0; row < a.SizeRow(); ++row) {
      u64 s = 0;
      for (unsigned int k = 0; k < a.SizeCol(); ++k) {
        s = soft::add_product(s, get(a(row, k)), get(x[k]));
      }
      put(y[row], s);
    }
  }
  // Crout's method with implicit pivoting: each row's scale is the
  // reciprocal of its largest magnitude (NaNs passed over; 0 returned, with
  // f the copy, when some row has none above 0.0), then column by column the
  // upper part, the lower part, the pivot search (|f(i, j)| scale[i] against
  // the best so far, unrounded, >= so the last of equal candidates wins),
  // the exchange, 1e-20 for a zero pivot and the multipliers times the
  // pivot's rounded reciprocal.
  static int lu(const Matrix_d &a, Matrix_d &f, Seq<unsigned int> &perm, double &parity) {
    const unsigned int n = a.SizeRow();
    std::vector<u64> scale(n);
    each(a, a, f, [](u64 x, u64) { return x; });
    put(parity, one);
    for (unsigned int i = 0; i < n; ++i) {
      u64 big = 0;
      for (unsigned int j = 0; j < n; ++j) {
        big = soft::greater(soft::magnitude(get(a(i, j))), big) ? soft::magnitude(get(a(i, j))) : big;
      }
      if (big == 0) {
        return 0;
      }
      scale[i] = soft::quotient(one, big);
    }
    for (unsigned int j = 0; j < n; ++j) {
      for (unsigned int i = 0; i < n; ++i) {
        u64 s = get(f(i, j));
        for (unsigned int k = 0; k < (i < j ? i : j); ++k) {
          s = soft::sub_product(s, get(f(i, k)), get(f(k, j)));
        }
        put(f(i, j), s);
      }
      u64 best = 0;
      unsigned int p = j;
      for (unsigned int i = j; i < n; ++i) {
        p = soft::scaled_ge(get(f(i, j)), scale[i], best, &best) ? i : p;
      }
      for (unsigned int k = 0; p != j && k < n; ++k) {
        const u64 t = get(f(p, k));
        put(f(p, k), get(f(j, k)));
        put(f(j, k), t);
      }
      put(parity, get(parity) ^ (p != j ? sign : 0));
      scale[p] = scale[j];
      perm[j] = p;
      if (soft::is_zero(get(f(j, j)))) {
        put(f(j, j), get(1e-20));
      }
      const u64 reciprocal = soft::quotient(one, get(f(j, j)));
      for (unsigned int i = j + 1; i < n; ++i) {
        put(f(i, j), soft::product(get(f(i, j)), reciprocal));
      }
    }
    return 1;
  }
  // Forward and back substitution of x in place. Terms below x's first
  // non-zero entry (after the exchanges) are zero and never formed, so that
  // an infinity or a NaN in L cannot reach the solution through them.
  static void lus(const Matrix_d &f, const Seq<unsigned int> &perm, Vector<double> &x) {
    const unsigned int n = f.SizeRow();
    unsigned int first = n;
    for (unsigned int i = 0; i < n; ++i) {
      const u64 t = get(x[perm[i]]);
      put(x[perm[i]], get(x[i]));
      put(x[i], t);
      for (unsigned int k = first; k < i; ++k) {
        put(x[i], soft::sub_product(get(x[i]), get(f(i, k)), get(x[k])));
      }
      first = first == n && !soft::is_zero(get(x[i])) ? i : first;
    }
    for (unsigned int i = n; i-- > 0;) {
      for (unsigned int k = i + 1; k < n; ++k) {
        put(x[i], soft::sub_product(get(x[i]), get(f(i, k)), get(x[k])));
      }
      put(x[i], soft::quotient(get(x[i]), get(f(i, i))));
    }
  }
  // det, inv and IsSingular on LU's result, whatever it returned: the
  // determinant is the parity times the diagonal, from the top down.
  struct Factors {
    explicit Factors(const Matrix_d &a) : f(a.SizeRow(), a.SizeRow()), perm(a.SizeRow()) {
      code = lu(a, f, perm, parity);
    }
    Matrix_d f;
    Seq<unsigned int> perm;
    double parity;
    int code;
  };
  static u64 det(const Matrix_d &a) {
    const Factors lu(a);
    u64 d = get(lu.parity);
    for (unsigned int i = 0; i < a.SizeRow(); ++i) {
      d = soft::product(d, get(lu.f(i, i)));
    }
    return d;
  }
  static Matrix_d inv(const Matrix_d &a) {
    const unsigned int n = a.SizeRow();
    const Factors lu(a);
    Matrix_d x(n, n);
    for (unsigned int j = 0; lu.code == 1 && j < n; ++j) {
      Vector<double> col(n);
      for (unsigned int i = 0; i < n; ++i) {
        put(col[i], i == j ? one : 0);
      }
      lus(lu.f, lu.perm, col);
      for (unsigned int i = 0; i < n; ++i) {
        put(x(i, j), get(col[i]));
      }
    }
    return x;
  }
  static bool singular(const Matrix_d &a) { return Factors(a).code == 0; }
};

} // namespace reference

#endif
