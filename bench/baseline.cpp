// SPDX-License-Identifier: MIT
#include "baseline.h"

#include <cmath>
#include <limits>

#include "arith/arith.h"

namespace {

// The baseline computes as the library's default path does where it runs:
// on the x87 unit, or with the integer arithmetic where there is none.
#if TOVRA_HAVE_X87
typedef tovra_detail::X87 B;
#else
typedef tovra_detail::Soft B;
#endif

double add_product(double s, double a, double b) {
  B::add_product_into(s, B::get(a), B::get(b));
  return s;
}
double sub_product(double s, double a, double b) {
  B::sub_product_into(s, B::get(a), B::get(b));
  return s;
}
// One step of B from two doubles, rounded into a double.
template <void (*Step)(double &, B::value, B::value)> double step(double a, double b) {
  double r;
  Step(r, B::get(a), B::get(b));
  return r;
}

} // namespace

namespace baseline {

namespace {

template <class Op> bool elementwise(const Matrix_d &a, Matrix_d &res, const Matrix_d &b, Op op) {
  if (res.SizeCol() != b.SizeCol() || res.SizeRow() != b.SizeRow() || a.SizeCol() != res.SizeCol() ||
      a.SizeRow() != res.SizeRow()) {
    return false;
  }
  for (unsigned int r = 0; r < res.SizeRow(); ++r) {
    for (unsigned int c = 0; c < res.SizeCol(); ++c) {
      res(r, c) = op(a(r, c), b(r, c));
    }
  }
  return true;
}

} // namespace

bool sum(const Matrix_d &a, Matrix_d &res, const Matrix_d &b) {
  return elementwise(a, res, b, step<B::sum_into>);
}

bool sub(const Matrix_d &a, Matrix_d &res, const Matrix_d &b) {
  return elementwise(a, res, b, step<B::difference_into>);
}

bool neg(const Matrix_d &a, Matrix_d &res) {
  if (!a.CmpMatrixSize(res)) {
    return false;
  }
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      res(r, c) = -a(r, c);
    }
  }
  return true;
}

bool molt(const Matrix_d &a, Matrix_d &res, double s) {
  if (!a.CmpMatrixSize(res)) {
    return false;
  }
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      res(r, c) = step<B::product_into>(s, a(r, c));
    }
  }
  return true;
}

bool molt(const Matrix_d &a, Matrix_d &res, const Matrix_d &b) {
  if (a.SizeCol() != b.SizeRow() || a.SizeRow() != res.SizeRow() || b.SizeCol() != res.SizeCol()) {
    return false;
  }
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    for (unsigned int c = 0; c < b.SizeCol(); ++c) {
      double s = 0.0;
      for (unsigned int k = 0; k < b.SizeRow(); ++k) {
        s = add_product(s, a(r, k), b(k, c));
      }
      res(r, c) = s;
    }
  }
  return true;
}

bool molt(const Matrix_d &a, Vector<double> &y, const Vector<double> &x) {
  if (a.SizeCol() != x.Size() || y.Size() != a.SizeRow()) {
    return false;
  }
  for (unsigned int r = 0; r < a.SizeRow(); ++r) {
    double s = 0.0;
    for (unsigned int c = 0; c < a.SizeCol(); ++c) {
      s = add_product(s, a(r, c), x[c]);
    }
    y[r] = s;
  }
  return true;
}

int lu(const Matrix_d &source, Matrix_d &a, Seq<unsigned int> &perm, double &parity) {
  Vector<double> scale(source.SizeRow());
  if (a.SizeCol() != a.SizeRow() || source.SizeCol() != a.SizeRow() || source.SizeCol() != source.SizeRow() ||
      source.SizeCol() != perm.Size()) {
    return -1;
  }
  a = source;
  const unsigned int n = a.SizeRow();
  parity = 1.0;
  for (unsigned int i = 0; i < n; ++i) {
    double big = 0.0;
    for (unsigned int c = 0; c < n; ++c) {
      const double t = std::fabs(a(i, c));
      if (t > big) {
        big = t;
      }
    }
    if (big == 0.0) {
      return 0;
    }
    scale[i] = step<B::quotient_into>(1.0, big);
  }
  for (unsigned int j = 0; j < n; ++j) {
    for (unsigned int i = 0; i < j; ++i) {
      double s = a(i, j);
      for (unsigned int k = 0; k < i; ++k) {
        s = sub_product(s, a(i, k), a(k, j));
      }
      a(i, j) = s;
    }
    double best = 0.0;
    unsigned int p = j;
    for (unsigned int i = j; i < n; ++i) {
      double s = a(i, j);
      for (unsigned int k = 0; k < j; ++k) {
        s = sub_product(s, a(i, k), a(k, j));
      }
      a(i, j) = s;
      B::value bv = B::get(best);
      if (B::scaled_ge(B::get(s), B::get(scale[i]), bv)) {
        B::put(best, bv);
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
      scale[p] = scale[j];
    }
    perm[j] = p;
    if (a(j, j) == 0.0) {
      a(j, j) = 1e-20;
    }
    if (j != n - 1) {
      const double r = step<B::quotient_into>(1.0, a(j, j));
      for (unsigned int i = j + 1; i < n; ++i) {
        a(i, j) = step<B::product_into>(a(i, j), r);
      }
    }
  }
  return 1;
}

void lus(const Matrix_d &f, Seq<unsigned int> &perm, Vector<double> &b) {
  if (f.SizeCol() != f.SizeRow() || f.SizeCol() != perm.Size() || f.SizeCol() != b.Size()) {
    return;
  }
  const int n = static_cast<int>(f.SizeCol());
  int first = -1;
  for (int i = 0; i < n; ++i) {
    const unsigned int p = perm[i];
    double s = b[p];
    b[p] = b[i];
    if (first >= 0) {
      for (int k = first; k < i; ++k) {
        s = sub_product(s, f(i, k), b[k]);
      }
    } else if (s != 0.0) {
      first = i;
    }
    b[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int k = i + 1; k < n; ++k) {
      s = sub_product(s, f(i, k), b[k]);
    }
    b[i] = step<B::quotient_into>(s, f(i, i));
  }
}

double det(const Matrix_d &m) {
  Matrix_d work(m.SizeRow(), m.SizeCol());
  Seq<unsigned int> perm(m.SizeRow());
  double parity;
  if (lu(m, work, perm, parity) == -1) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  double d = parity;
  for (unsigned int i = 0; i < m.SizeRow(); ++i) {
    d = step<B::product_into>(d, work(i, i));
  }
  return d;
}

Matrix_d inv(const Matrix_d &m) {
  Matrix_d work(m.SizeRow(), m.SizeCol());
  Matrix_d res(m.SizeRow(), m.SizeCol());
  Vector<double> col(m.SizeRow());
  Seq<unsigned int> perm(m.SizeRow());
  double parity;
  if (lu(m, work, perm, parity) != 1) {
    for (unsigned int r = 0; r < res.SizeRow(); ++r) {
      for (unsigned int c = 0; c < res.SizeCol(); ++c) {
        res(r, c) = std::numeric_limits<double>::quiet_NaN();
      }
    }
    return res;
  }
  for (unsigned int j = 0; j < m.SizeRow(); ++j) {
    for (unsigned int i = 0; i < m.SizeRow(); ++i) {
      col[i] = 0.0;
    }
    col[j] = 1.0;
    lus(work, perm, col);
    for (unsigned int i = 0; i < m.SizeRow(); ++i) {
      res(i, j) = col[i];
    }
  }
  return res;
}

} // namespace baseline
