// SPDX-License-Identifier: MIT
// Seeded cases that reach the corners of the numerics, and every numeric
// result of one case as bits, grouped by operation: what the golden file,
// the host-state runs, the differential test and tovra-solve --self-test
// compare.
#ifndef TOVRA_EXAMPLES_CASES_H
#define TOVRA_EXAMPLES_CASES_H

#include <cstdint>
#include <string>
#include <vector>

#include <tovra.h>

namespace cases {

typedef std::uint64_t u64;

enum Family {
  SmallInt,
  Uniform,
  WideRange,      // +-2^1000: products overflow and underflow; some inf, NaN, signed zeros
  NearSingular,   // pivots that cancel to exactly zero, or nearly
  DuplicateRows,  // equal, opposite and doubled rows
  PivotTies,      // equal scaled magnitudes
  ZeroRow,        // a row of zeros (and NaNs)
  NearUnderflow,  // products around the smallest normals; subnormal elements
  DoubleRounding, // steps whose extended result is a tie at the double grid
  Payloads,       // quiet and signalling NaNs with payloads, both signs
  kFamilies
};
extern const char *const family_name[kFamilies];

// Square operands a, b, a vector x, a right-hand side rhs, a scalar s: bits.
struct Inputs {
  unsigned n;
  std::vector<u64> a, b, x, rhs;
  u64 s;
};
Inputs generate(Family f, unsigned n, u64 seed);

enum Op { Sum, Sub, Scale, Product, MatVec, Equal, Factor, Solve, Det, Inverse, Singular, kOps };
extern const char *const op_name[kOps];
typedef std::vector<u64> Outputs[kOps];

Matrix_d matrix(unsigned n, const std::vector<u64> &bits);
Vector<double> vector(const std::vector<u64> &bits);
void append(std::vector<u64> &out, const Matrix_d &m);
void append(std::vector<u64> &out, const Vector<double> &v);
u64 bits_of(const double &d);
double from_bits(u64 u);

// Every numeric result of a case, computed by E: the library's public
// members (Library below), or the kernels on one arithmetic.
template <class E> void outputs(const Inputs &in, Outputs &out) {
  const unsigned n = in.n;
  const Matrix_d a = matrix(n, in.a), b = matrix(n, in.b);
  Matrix_d r(n, n);
  E::sum(a, b, r), append(out[Sum], r);
  E::sub(a, b, r), append(out[Sub], r);
  E::scale(a, in.s, r), append(out[Scale], r);
  E::product(a, b, r), append(out[Product], r);
  Vector<double> y(n);
  E::matvec(a, vector(in.x), y), append(out[MatVec], y);
  out[Equal].push_back(E::equal(a, b) * 2 + E::equal(a, a));
  Seq<unsigned int> perm(n);
  double parity = 7.0;
  const int code = E::lu(a, r, perm, parity);
  out[Factor].push_back(static_cast<u64>(code + 1));
  out[Factor].push_back(bits_of(parity));
  append(out[Factor], r);
  out[Singular].push_back(E::singular(a));
  out[Det].push_back(E::det(a));
  if (code == 1) {
    for (unsigned i = 0; i < n; ++i) {
      out[Factor].push_back(perm[i]);
    }
    Vector<double> x = vector(in.rhs);
    E::lus(r, perm, x), append(out[Solve], x);
    append(out[Inverse], E::inv(a));
  }
}

struct Library {
  static void sum(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { a.Sum(r, b); }
  static void sub(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { a.Sub(r, b); }
  static void scale(const Matrix_d &a, u64 s, Matrix_d &r) { a.Molt(r, from_bits(s)); }
  static void product(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { a.Molt(r, b); }
  static void matvec(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) { a.Molt(y, x); }
  static bool equal(const Matrix_d &a, const Matrix_d &b) { return a == b; }
  static int lu(const Matrix_d &a, Matrix_d &f, Seq<unsigned int> &p, double &d) { return a.LU(f, p, d); }
  static void lus(const Matrix_d &f, Seq<unsigned int> &p, Vector<double> &x) { f.LUs(p, x); }
  static u64 det(const Matrix_d &a) { return bits_of(a.det()); }
  static Matrix_d inv(const Matrix_d &a) { return a.inv(); }
  static bool singular(const Matrix_d &a) { return a.IsSingular(); }
};

// 64-bit FNV-1a of a group of outputs.
u64 hash(const std::vector<u64> &v);
// The first differing output of two groups, "" when they agree.
std::string first_difference(const std::vector<u64> &want, const std::vector<u64> &got);

} // namespace cases

#endif
