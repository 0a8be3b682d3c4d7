// SPDX-License-Identifier: MIT
// The numeric loops behind the arithmetic and the LU family, called once the
// shapes have been tested. Each is a template over the arithmetic policy A
// (arith.h), so every arithmetic path runs the very same loops; only the
// reordered set hands whole row updates to the policy (A::update_rows), which
// the fused multiply-add path does its own way.
//
// Two kernel sets give the same bits, and the build compiles one of them
// (the CMake option TOVRA_KERNELS): the plain one (plain.cpp) runs the loops
// in the textbook order, one running sum at a time; the reordered one
// (reordered_products.cpp, reordered_lu.cpp, reordered_tile.h), the default,
// reorders them so that many independent sums are in flight, while every
// element still receives the same terms, in the same ascending order, with
// the same rounding points. Both share the element-wise loops
// (elementwise.cpp) and the scaling pass, the pivot step and the
// determinant (pivot.cpp).
#ifndef TOVRA_KERNELS_H
#define TOVRA_KERNELS_H

#include "tovra/matrix_d.h"

namespace tovra_detail {

// res(r, c) = a(r, c) + b(r, c) (or -), element by element; res may be a or b.
template <class A> void add(const Matrix_d &a, const Matrix_d &b, Matrix_d &res);
template <class A> void subtract(const Matrix_d &a, const Matrix_d &b, Matrix_d &res);
// res = s a; res may be a.
template <class A> void scale(const Matrix_d &a, const double &s, Matrix_d &res);
// IEEE equality of every pair of elements of two matrices of one shape.
template <class A> bool equal(const Matrix_d &a, const Matrix_d &b);
// res = a b; res is neither a nor b.
template <class A> void multiply(const Matrix_d &a, const Matrix_d &b, Matrix_d &res);
// y = a x; y is not x.
template <class A> void multiply(const Matrix_d &a, const Vector<double> &x, Vector<double> &y);
// The factorisation of a, already a copy of the source: the scaling pass
// into scale (0 when some row has no element of magnitude above 0.0, with a
// untouched), then the elimination (1). parity is 1.0 on entry.
template <class A> int factor(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale);
// Pivot step of column j, whose elements from row j down are complete: the
// search (|a(i, j)| times scale[i] compared unrounded, >= so the last of equal
// candidates wins, row j when none qualifies), the whole-row exchange with
// the scale entry carried, perm[j], the 1e-20 replacement of an exactly zero
// pivot, and the multipliers below it times the rounded reciprocal.
template <class A>
void pivot(Matrix_d &a, unsigned int j, Seq<unsigned int> &perm, double &parity, Vector<double> &scale);
// Elimination of the scaled copy in a (every scale entry set): pivot
// search, exchanges, multipliers and updates, column by column.
template <class A>
void eliminate(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale);
// Forward and back substitution of one right-hand side in place.
template <class A> void substitute(const Matrix_d &factors, const Seq<unsigned int> &perm, Vector<double> &b);
// Column j of x = the solution for the j-th unit vector, exactly as
// substitute computes it; col is the column scratch vector.
template <class A>
void invert(const Matrix_d &factors, const Seq<unsigned int> &perm, Matrix_d &x, Vector<double> &col);
// d = parity times the diagonal of f, from the top down, rounded at every
// step; d may be parity.
template <class A> void determinant(const Matrix_d &f, const double &parity, double &d);

} // namespace tovra_detail

#endif
