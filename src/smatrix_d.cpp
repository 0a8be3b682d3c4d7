// SPDX-License-Identifier: MIT
// Members of Matrix2x2_d, Matrix3x3_d and Matrix4x4_d.
//
// No arithmetic here: each operator builds its result object, lets the named
// Matrix_d operation fill it, and returns that same object, so an operator
// makes exactly the allocations of its result. The target is always fresh,
// never an operand, so a * a and a - a are right.
#include "tovra/smatrix_d.h"

// Refuses builds with floating-point shortcuts, in every source of the library.
#include "fp_guard.h"
#include "nan_fill.h"

namespace {

// Only a vector whose length was changed after construction can be refused.
template <class V> void nan_unless(bool written, V &y) {
  if (!written) {
    tovra_detail::fill_nan(y);
  }
}

} // namespace

// The destructors do nothing beyond destroying the Matrix_d part; they are
// defined here rather than in the header so that the library exports them.
#define TOVRA_FIXED_MATRIX_MEMBERS(Name, N, VectorType)                                                      \
  Name::Name() : Matrix_d(N, N) {}                                                                           \
  Name::Name(const Name &m) : Matrix_d(m) {}                                                                 \
  Name::~Name() {}                                                                                           \
  Name Name::operator+(const Name &m) const {                                                                \
    Name res;                                                                                                \
    Sum(res, m);                                                                                             \
    return res;                                                                                              \
  }                                                                                                          \
  Name Name::operator-(const Name &m) const {                                                                \
    Name res;                                                                                                \
    Sub(res, m);                                                                                             \
    return res;                                                                                              \
  }                                                                                                          \
  Name Name::operator-() const {                                                                             \
    Name res;                                                                                                \
    Neg(res);                                                                                                \
    return res;                                                                                              \
  }                                                                                                          \
  Name Name::operator*(const Name &m) const {                                                                \
    Name res;                                                                                                \
    Molt(res, m);                                                                                            \
    return res;                                                                                              \
  }                                                                                                          \
  VectorType Name::operator*(const VectorType &v) const {                                                    \
    VectorType res;                                                                                          \
    nan_unless(Molt(res, v), res);                                                                           \
    return res;                                                                                              \
  }                                                                                                          \
  Name Name::operator*(double s) const {                                                                     \
    Name res;                                                                                                \
    Molt(res, s);                                                                                            \
    return res;                                                                                              \
  }                                                                                                          \
  bool Name::operator=(const Name &m) { return Dup(m); }                                                     \
  bool Name::operator=(const Matrix_d &m) { return Dup(m); }

TOVRA_FIXED_MATRIX_MEMBERS(Matrix2x2_d, 2, Vector2<double>)
TOVRA_FIXED_MATRIX_MEMBERS(Matrix3x3_d, 3, Vector3<double>)
TOVRA_FIXED_MATRIX_MEMBERS(Matrix4x4_d, 4, Vector4<double>)
