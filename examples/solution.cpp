// SPDX-License-Identifier: MIT
#include "solution.h"

#include <cmath>

Matrix_d matrix_of(const LinearSystem &sys) {
  Matrix_d a(sys.n, sys.n);
  for (unsigned int i = 0; i < sys.n; ++i) {
    for (unsigned int j = 0; j < sys.n; ++j) {
      a(i, j) = sys.a[static_cast<std::size_t>(i) * sys.n + j];
    }
  }
  return a;
}

Vector<double> rhs_of(const LinearSystem &sys) {
  Vector<double> b(sys.n);
  for (unsigned int i = 0; i < sys.n; ++i) {
    b[i] = sys.b[i];
  }
  return b;
}

// True when LU, factoring a into `factors`, replaced an exactly zero pivot by
// 1e-20. A diagonal element of 1e-20 may also be a genuine pivot, so -a is
// factored as well. Rounding to nearest is symmetric, so until a pivot is
// replaced the factors of -a are those of a with every non-zero value
// negated, and the pivot rows are the same (they are chosen by magnitude): a
// genuine pivot of 1e-20 shows there as -1e-20, while the first zero pivot,
// replaced in both, is +1e-20 in both. What follows it does not matter.
static bool zero_pivot_replaced(const Matrix_d &a, const Matrix_d &factors) {
  const unsigned int n = a.SizeRow();
  bool suspect = false;
  for (unsigned int i = 0; i < n; ++i) {
    suspect = suspect || factors(i, i) == 1e-20;
  }
  if (!suspect) {
    return false;
  }
  const Matrix_d negated = -a;
  Matrix_d negated_factors(n, n);
  Seq<unsigned int> permutation(n);
  double parity;
  if (negated.LU(negated_factors, permutation, parity) != 1) {
    return false; // cannot happen: -a has no zero row when a has none
  }
  for (unsigned int i = 0; i < n; ++i) {
    if (factors(i, i) == 1e-20 && negated_factors(i, i) == 1e-20) {
      return true;
    }
  }
  return false;
}

void solve(const LinearSystem &sys, Solution &s) {
  const unsigned int n = sys.n;
  const Matrix_d a = matrix_of(sys);
  s.singular = a.IsSingular();
  s.det = a.det();
  if (s.singular) {
    // LU refuses A and leaves its permutation unwritten, so LUs and inv()
    // have nothing to work with.
    return;
  }

  Matrix_d factors(n, n);
  Seq<unsigned int> permutation(n);
  double parity;
  a.LU(factors, permutation, parity); // 1: A is square and has no zero row
  s.zero_pivot = zero_pivot_replaced(a, factors);
  s.x = rhs_of(sys);
  factors.LUs(permutation, s.x);
  s.inverse = a.inv();

  // The residual is left to the library too, so that it is the same on
  // every build rather than whatever this program's own arithmetic gives.
  Matrix_d xcol(n, 1), bcol(n, 1);
  for (unsigned int i = 0; i < n; ++i) {
    xcol(i, 0) = s.x[i];
    bcol(i, 0) = sys.b[i];
  }
  s.residual = a * xcol - bcol;
}

static bool finite(const Matrix_d &m) {
  for (unsigned int i = 0; i < m.SizeRow() * m.SizeCol(); ++i) {
    if (!std::isfinite(m(i / m.SizeCol(), i % m.SizeCol()))) {
      return false;
    }
  }
  return true;
}

std::string non_finite_warning(const LinearSystem &sys, const Solution &s) {
  bool all = std::isfinite(s.det);
  for (unsigned int i = 0; !s.singular && i < s.x.Size(); ++i) {
    all = all && std::isfinite(s.x[i]);
  }
  if (all && (s.singular || (finite(s.inverse) && finite(s.residual)))) {
    return "";
  }
  std::string why = "the results hold NaNs or infinities";
  // LU scales each row by the reciprocal of its largest magnitude and
  // multiplies by the reciprocal of each pivot. Of a value at most 2^-1024
  // (a subnormal) that reciprocal overflows to infinity, of an infinity it
  // is 0; either way a 0 times infinity follows, and its NaN spreads.
  for (std::size_t k = 0; k < sys.a.size(); ++k) {
    const double v = std::fabs(sys.a[k]);
    const std::string where = "row " + std::to_string(k / sys.n + 1) + " of A holds ";
    if (std::isinf(v)) {
      return why + ": " + where + "an infinity, whose reciprocal, 0, LU takes as the row's scale";
    }
    if (v != 0 && v <= 0x1p-1024) {
      char number[32];
      std::snprintf(number, sizeof number, "%.17g", sys.a[k]);
      return why + ": " + where + "the subnormal " + number +
             ", whose reciprocal (LU's scale of the row, or of a pivot) overflows double";
    }
  }
  for (const std::vector<double> *v : {&sys.a, &sys.b}) {
    for (double e : *v) {
      if (!std::isfinite(e)) {
        return why + ": the input holds a NaN or an infinity";
      }
    }
  }
  return why + ": a step of the library's arithmetic overflowed double";
}

// A NaN is written by hand: C libraries differ in whether they show its
// sign (glibc writes "-nan", MinGW's "nan"), and the sign is part of the
// result.
static void print_number(std::FILE *out, double v, Notation notation) {
  if (std::isnan(v)) {
    std::fputs(std::signbit(v) ? " -nan" : " nan", out);
    return;
  }
  std::fprintf(out, notation == Notation::hex ? " %a" : " %.17g", v);
}

void print_matrix(std::FILE *out, const char *title, const Matrix_d &m, Notation notation) {
  std::fprintf(out, "%s:\n", title);
  for (unsigned int i = 0; i < m.SizeRow(); ++i) {
    std::fputs(" ", out);
    for (unsigned int j = 0; j < m.SizeCol(); ++j) {
      print_number(out, m(i, j), notation);
    }
    std::fputs("\n", out);
  }
}

void print_vector(std::FILE *out, const char *title, const Vector<double> &v, Notation notation) {
  std::fprintf(out, "%s:\n", title);
  for (unsigned int i = 0; i < v.Size(); ++i) {
    std::fputs(" ", out);
    print_number(out, v[i], notation);
    std::fputs("\n", out);
  }
}

void print_solution(std::FILE *out, const Solution &s, Notation notation) {
  std::fprintf(out, "IsSingular: %s\n", s.singular ? "true" : "false");
  std::fputs("det:", out);
  print_number(out, s.det, notation);
  std::fputs("\n", out);
  if (s.singular) {
    std::fputs("no solution and no inverse: a row of A has no non-zero element\n", out);
    return;
  }
  print_vector(out, "x", s.x, notation);
  print_matrix(out, "inverse", s.inverse, notation);
  print_matrix(out, "residual A x - b", s.residual, notation);
}
