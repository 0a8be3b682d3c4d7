#include "solution.h"

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

static void print_number(std::FILE *out, double v, Notation notation) {
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
