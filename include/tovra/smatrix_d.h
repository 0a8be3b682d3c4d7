// SPDX-License-Identifier: MIT
/// \file
/// Fixed-size square matrices of order 2, 3 and 4 whose operators keep their
/// type: the sum of two Matrix3x3_d is a Matrix3x3_d, a Matrix3x3_d times a
/// Vector3<double> is a Vector3<double>.
///
/// They do no arithmetic of their own: each operator builds its result object
/// and has the named Matrix_d operation (Sum, Sub, Neg, Molt) fill it, so the
/// numerics are exactly those of Matrix_d. The result object itself is
/// returned, never a second copy of it. Assignment goes through Dup: from a
/// general matrix of another shape it returns false and changes nothing.
/// operator*(v) with a vector whose length is no longer N (after Redim or a
/// resizing Dup) returns a vector of length N holding quiet NaNs.
///
/// The members inherited from Matrix_d that return a matrix by value (trasp,
/// inv, block Sub) return a Matrix_d; bring it back with operator=.
///
/// This header must stay usable from C++98 host programs.
#ifndef TOVRA_SMATRIX_D_H
#define TOVRA_SMATRIX_D_H

#include "matrix_d.h"
#include "vectorn.h"

/// \def TOVRA_FIXED_MATRIX
/// Declares one fixed-size matrix class. The three classes differ only in
/// their name, order N and vector type, so their shape is written once here;
/// the macro is undefined again at the end of this header. A failed
/// allocation (std::bad_alloc) in any member releases the temporary first and
/// leaves the operands unchanged.
#define TOVRA_FIXED_MATRIX(Name, VectorType)                                                                 \
  /** A square Matrix_d of order N, the N of its name, whose operators keep its type. */                     \
  class Name : public Matrix_d {                                                                             \
  public:                                                                                                    \
    /** N x N unset elements. */                                                                             \
    Name();                                                                                                  \
    /** Deep copy. */                                                                                        \
    Name(const Name &m);                                                                                     \
    ~Name();                                                                                                 \
    /** Sum, through Matrix_d::Sum; never refused. */                                                        \
    Name operator+(const Name &m) const;                                                                     \
    /** Difference, through Matrix_d::Sub; never refused. */                                                 \
    Name operator-(const Name &m) const;                                                                     \
    /** Negation, through Matrix_d::Neg; never refused. */                                                   \
    Name operator-() const;                                                                                  \
    /** Product, through Matrix_d::Molt; never refused. */                                                   \
    Name operator*(const Name &m) const;                                                                     \
    /** N x N times v, through Matrix_d::Molt; N quiet NaNs when v's length is no longer N. */               \
    VectorType operator*(const VectorType &v) const;                                                         \
    /** s times every element, through Matrix_d::Molt; never refused. */                                     \
    Name operator*(double s) const;                                                                          \
    /** Dup(m); always true. */                                                                              \
    TOVRA_NODISCARD bool operator=(const Name &m);                                                           \
    /** Dup(m): false, and nothing changed, unless m is N x N. */                                            \
    TOVRA_NODISCARD bool operator=(const Matrix_d &m);                                                       \
  }

TOVRA_FIXED_MATRIX(Matrix2x2_d, Vector2<double>);
TOVRA_FIXED_MATRIX(Matrix3x3_d, Vector3<double>);
TOVRA_FIXED_MATRIX(Matrix4x4_d, Vector4<double>);

#undef TOVRA_FIXED_MATRIX

#endif
