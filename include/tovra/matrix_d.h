// SPDX-License-Identifier: MIT
/// \file
/// Matrix_d: the dense matrix of doubles of any shape.
///
/// Shape rules. A matrix keeps the shape it was built with for its whole life.
/// Operations that write into a caller-supplied target (Dup, operator=, Sum,
/// Sub, Neg, Molt) test every shape condition first and return false, with the
/// target bit-for-bit untouched, when one fails; they never allocate.
///
/// Numerics. Every arithmetic step is formed as the x87 unit forms it in its
/// default state, in the 80-bit extended format (64-bit significand, rounded
/// to nearest), and rounded to double whenever it is stored into an element,
/// a vector entry or a double variable. Running sums are doubles and so are
/// rounded after every term. Results are bit-identical across CPUs, compilers
/// and optimisation levels, whatever the host has done to the floating-point
/// state: where there is no x87 unit, or the host changed its control word or
/// MXCSR, the same steps are computed with integers, and the inner loops of
/// the product, the elimination and the inverse with a fused multiply-add
/// where the processor has one, checked element by element so that no result
/// depends on it.
///
/// Failures. The library throws nothing of its own and catches nothing. A
/// refused call (a named operation or assignment whose shapes do not fit, LU
/// returning -1, LUs with lengths that do not fit) changes nothing at all. The
/// only exception that can leave a call is the free store's std::bad_alloc: a
/// constructor then leaves no object and no storage behind; a value-returning
/// member (the operators, trasp, the block Sub, det, inv, IsSingular) releases
/// every object it had built, in reverse order, and delivers no result; LU
/// fails only when its scale vector cannot be made, before target, permutation
/// and parity are touched. A failed call never changes an operand. The named
/// operations into a target, Dup, operator=, Zero, Identity, the comparisons
/// and LUs allocate nothing and cannot fail.
///
/// Threads. The library has no shared state: calls on different objects may
/// run at once, and any number of calls may read one object at once as long
/// as no call writes it.
///
/// Indices are unchecked (see table.h). This class is not a general linear
/// algebra toolkit: it has no views and no expression templates, and no
/// shortcut that would change a sum's order or a rounding (vector
/// instructions are used only where they give the same bits), because its
/// point is that every result is reproducible to the last bit.
///
/// This header must stay usable from C++98 host programs.
#ifndef TOVRA_MATRIX_D_H
#define TOVRA_MATRIX_D_H

#include "seq.h"
#include "table.h"

/// \def TOVRA_NODISCARD
/// [[nodiscard]] on the members whose result says whether they did their
/// work (Dup, operator=, Sum, Sub, Neg, Molt, LU), so that the compiler
/// reports a call that ignores a refusal. Opt-in, because ignoring a result
/// that cannot be false is common in existing hosts: it is active only when
/// the host defines TOVRA_WARN_UNUSED_RESULT before including tovra.h and
/// compiles as C++17 or later; otherwise it is empty and nothing changes.
#if defined(TOVRA_WARN_UNUSED_RESULT) && __cplusplus >= 201703L
#define TOVRA_NODISCARD [[nodiscard]]
#else
#define TOVRA_NODISCARD
#endif

/// The dense matrix of doubles of any shape; its whole state is the Table<double> it derives from.
class Matrix_d : public Table<double> {
public:
  /// rows x cols unset elements.
  Matrix_d(unsigned int rows, unsigned int cols);
  /// Fresh rows of m's shape, then every element copied from m.
  Matrix_d(const Matrix_d &m);
  /// Releases the rows; references from operator() die with the matrix.
  ~Matrix_d();

  /// \name Object
  /// @{

  /// True when both row counts and then both column counts agree.
  bool CmpMatrixSize(const Matrix_d &m) const;
  /// Every element +0.0 (all bits zero, so -0.0 becomes +0.0).
  void Zero();
  /// Zero(), then 1.0 on the leading diagonal of length min(rows, cols).
  void Identity();
  /// Copies m element by element; false, and nothing changed, when the shapes
  /// differ. Never reshapes. Dup(*this) returns true and changes nothing.
  TOVRA_NODISCARD bool Dup(const Matrix_d &m);
  /// Dup(m). Returns its flag rather than a reference: assignments do not chain.
  TOVRA_NODISCARD bool operator=(const Matrix_d &m);
  /// Same shape and every pair equal under IEEE equality (+0.0 == -0.0; a NaN
  /// equals nothing, so a matrix holding a NaN does not equal itself).
  bool operator==(const Matrix_d &m) const;
  /// !operator==: true also when the shapes differ or an element is NaN.
  bool operator!=(const Matrix_d &m) const;
  /// @}

  /// \name Arithmetic into a target
  /// @{

  /// res = *this + b, element by element, each sum rounded to double once.
  /// Tests, in order: res and b have equal columns, equal rows; *this and res
  /// equal columns, equal rows. The target may be *this, b or both.
  TOVRA_NODISCARD bool Sum(Matrix_d &res, const Matrix_d &b) const;
  /// res = *this - b; same tests and aliasing as Sum.
  TOVRA_NODISCARD bool Sub(Matrix_d &res, const Matrix_d &b) const;
  /// res = -*this (a sign flip, exact: -(+0.0) is -0.0). res may be *this.
  TOVRA_NODISCARD bool Neg(Matrix_d &res) const;
  /// res = s * *this, each product rounded once; no shortcut for 0 or 1, so
  /// 0 * inf is NaN. res may be *this.
  TOVRA_NODISCARD bool Molt(Matrix_d &res, double s) const;
  /// res = *this times b. Each element is a double running sum from +0.0 with
  /// the terms added in ascending k, rounded to double after every term.
  /// Tests, in order: columns of *this == rows of b; rows of res == rows of
  /// *this; columns of res == columns of b.
  /// res must be neither *this nor b: the sharing is not detected, and the
  /// result is then wrong.
  TOVRA_NODISCARD bool Molt(Matrix_d &res, const Matrix_d &b) const;
  /// y = *this times x, summed like the matrix product. Tests, in order:
  /// columns == x.Size(); y.Size() == rows. y must not be x (not detected).
  TOVRA_NODISCARD bool Molt(Vector<double> &y, const Vector<double> &x) const;
  /// @}

  /// \name Arithmetic by value
  /// Each returns a result of one shape whatever the operands: R x C,
  /// R x b.SizeCol() for the matrix product, length R for the vector product.
  /// When the operands do not fit, every element of that result is a quiet NaN.
  /// Failure: std::bad_alloc for the result passes through; operands unchanged.
  /// @{

  /// As Sum; R x C quiet NaNs when the shapes differ.
  Matrix_d operator+(const Matrix_d &b) const;
  /// As Sub; R x C quiet NaNs when the shapes differ.
  Matrix_d operator-(const Matrix_d &b) const;
  /// As Neg; never refused.
  Matrix_d operator-() const;
  /// R x b.SizeCol(), summed as Molt; quiet NaNs when SizeCol() != b.SizeRow().
  Matrix_d operator*(const Matrix_d &b) const;
  /// Length R; quiet NaNs when x.Size() != SizeCol().
  Vector<double> operator*(const Vector<double> &x) const;
  /// As Molt(res, s); never refused.
  Matrix_d operator*(double s) const;
  /// @}

  /// \name Transpose and block
  /// @{

  /// SizeCol() x SizeRow(), element (j, i) = element (i, j).
  Matrix_d trasp() const;
  /// The block of rows row0 <= i < row1 and columns col0 <= j < col1 (half-open
  /// ranges), so Sub(0, 0, SizeRow(), SizeCol()) is the whole matrix. Arguments
  /// outside 0 <= row0 <= row1 <= SizeRow(), 0 <= col0 <= col1 <= SizeCol()
  /// give a 0 x 0 matrix: nothing is read and no wrapped-around size is built.
  Matrix_d Sub(unsigned int row0, unsigned int col0, unsigned int row1, unsigned int col1) const;
  /// @}

  /// \name LU family
  /// @{

  /// Crout factorisation with implicit (row-scaled) partial pivoting of this
  /// n x n matrix into target, in packed form: below the diagonal the
  /// multipliers of the unit lower factor L, on and above it the upper factor
  /// U, with L U equal to the source with its rows exchanged.
  /// - permutation entry j: the row exchanged with row j at step j (j itself
  ///   when none); the exchanges are applied in order j = 0, 1, ...
  /// - parity: +1.0 for an even number of exchanges, -1.0 for an odd one.
  ///
  /// Scale vector: before any elimination, entry i is 1.0 divided by the
  /// largest magnitude in row i of the source, rounded to double. When two
  /// rows are exchanged, the entry of the row that moves down goes with it.
  ///
  /// Pivot rule, for column j once its elements in rows j to n-1 are reduced:
  /// best starts at 0.0 and the pivot row at j; for each row i = j, ..., n-1
  /// in turn, m = |element (i, j)| times scale entry i, the product formed in
  /// the extended format, is compared unrounded with best (a double); when
  /// m >= best, row i becomes the pivot row and best becomes m rounded to
  /// double. So of candidates with equal m the last (highest row) wins, and
  /// two candidates whose m round to the same double are still told apart:
  /// in [[4, 3], [6, 3]] row 1 scores 6 times the double nearest 1/6, which is
  /// 1 - 2^-54 before rounding, so row 0 (score 1.0) stays. A NaN m never
  /// qualifies; when no candidate qualifies, row j itself is the pivot row.
  /// An exactly zero pivot (+0.0 or -0.0) becomes 1e-20 and the call still
  /// returns 1. The elements below each pivot are multiplied by the pivot's
  /// reciprocal rounded to double, not divided by the pivot.
  ///
  /// Results:
  /// - 1: factored;
  /// - 0: some row has no element of magnitude above 0.0 (zeros and NaNs):
  ///   target holds an unfactored copy, parity is 1.0, permutation untouched;
  /// - -1: shapes do not fit (target not square, target rows != source
  ///   columns, source not square, permutation size != source columns, in
  ///   that order): nothing touched.
  ///
  /// target may be *this (factoring in place). Allocates one scale vector.
  TOVRA_NODISCARD int LU(Matrix_d &target, Seq<unsigned int> &permutation, double &parity) const;
  /// Solves A x = b in place in rhs, called on the factors that LU wrote with
  /// the permutation of the same call. Returns silently, rhs untouched, when
  /// the factors are not square or the permutation or rhs length differs from
  /// their order. Permutation entries are not checked: pass only one written
  /// by an LU call that returned 1. The permutation is not changed.
  void LUs(Seq<unsigned int> &permutation, Vector<double> &rhs) const;
  /// Parity times the diagonal of U, multiplied from the top down. A pivot
  /// replaced by 1e-20 enters as 1e-20; for a matrix with a zero row it is the
  /// product of the unfactored diagonal (a signed zero for finite elements).
  /// A non-square matrix gives a quiet NaN.
  double det() const;
  /// The inverse, column j being LUs applied to the j-th unit vector. When LU
  /// does not return 1 (non-square, or a row without any element of magnitude
  /// above 0.0), an R x C matrix of quiet NaNs. A singular matrix without a
  /// zero row is inverted through its 1e-20 pivot (entries near 1e20).
  Matrix_d inv() const;
  /// True exactly when LU returns 0: a zero (or zero-and-NaN) row. This is not
  /// a rank test: two equal rows give false. A non-square matrix gives false.
  bool IsSingular() const;
  /// @}
};

#endif
