// Fixed-size square matrices of order 2, 3 and 4 whose operators keep their
// type: the sum of two Matrix3x3_d is a Matrix3x3_d, a Matrix3x3_d times a
// Vector3<double> is a Vector3<double>.
//
// They do no arithmetic of their own: each operator builds its result object
// and has the named Matrix_d operation (Sum, Sub, Neg, Molt) fill it, so the
// numerics are exactly those of Matrix_d. The result object itself is
// returned, never a second copy of it. Assignment goes through Dup: from a
// general matrix of another shape it returns false and changes nothing.
// operator*(v) with a vector whose length is no longer N (after Redim or a
// resizing Dup) returns a vector of length N holding quiet NaNs.
//
// The members inherited from Matrix_d that return a matrix by value (trasp,
// inv, block Sub) return a Matrix_d; bring it back with operator=.
//
// This header must stay usable from C++98 host programs.
#ifndef TOVRA_SMATRIX_D_H
#define TOVRA_SMATRIX_D_H

#include "matrix_d.h"
#include "vectorn.h"

// The three classes differ only in their name, order and vector type, so
// their shape is written once here. For each Name of order N:
//   Name()                 N x N unset elements;  Name(const Name &): deep copy;
//   + - (both), * (Name), * (double): through Sum / Sub / Neg / Molt, never refused;
//   * (VectorType v)       N x N times v; N quiet NaNs when v's length is no longer N;
//   operator=(const Name &)      Dup, always true;
//   operator=(const Matrix_d &m) Dup; false and nothing changed unless m is N x N.
// A failed allocation (std::bad_alloc) releases the temporary first and leaves
// the operands unchanged.
#define TOVRA_FIXED_MATRIX(Name, VectorType)                                                                 \
  class Name : public Matrix_d {                                                                             \
  public:                                                                                                    \
    Name();                                                                                                  \
    Name(const Name &m);                                                                                     \
    ~Name();                                                                                                 \
    Name operator+(const Name &m) const;                                                                     \
    Name operator-(const Name &m) const;                                                                     \
    Name operator-() const;                                                                                  \
    Name operator*(const Name &m) const;                                                                     \
    VectorType operator*(const VectorType &v) const;                                                         \
    Name operator*(double s) const;                                                                          \
    bool operator=(const Name &m);                                                                           \
    bool operator=(const Matrix_d &m);                                                                       \
  }

TOVRA_FIXED_MATRIX(Matrix2x2_d, Vector2<double>);
TOVRA_FIXED_MATRIX(Matrix3x3_d, Vector3<double>);
TOVRA_FIXED_MATRIX(Matrix4x4_d, Vector4<double>);

#undef TOVRA_FIXED_MATRIX

#endif
