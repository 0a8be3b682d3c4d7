// The numeric loops behind Molt, LU, LUs and inv, called once the shapes
// have been tested. Two implementations give the same bits: the plain one
// (kernels_plain.cpp, built with -DTOVRA_PLAIN_KERNELS) runs the loops in
// the textbook order, one running sum at a time; the default one
// (kernels_products.cpp, kernels_lu.cpp) reorders the loops so that many
// independent sums are in flight, while every element still receives the
// same terms, in the same ascending order, with the same rounding points.
#ifndef TOVRA_KERNELS_H
#define TOVRA_KERNELS_H

#include "tovra/matrix_d.h"

namespace tovra_detail {

// res = a b; res is neither a nor b.
void multiply(const Matrix_d &a, const Matrix_d &b, Matrix_d &res);
// y = a x; y is not x.
void multiply(const Matrix_d &a, const Vector<double> &x, Vector<double> &y);
// Pivot step of column j, whose elements from row j down are complete: the
// search (|a(i, j)| times scale[i] compared unrounded, >= so the last of equal
// candidates wins, row j when none qualifies), the whole-row exchange with
// the scale entry carried, perm[j], the 1e-20 replacement of an exactly zero
// pivot, and the multipliers below it times the rounded reciprocal.
void pivot(Matrix_d &a, unsigned int j, Seq<unsigned int> &perm, double &parity, Vector<double> &scale);
// Elimination of the scaled copy in a (every scale entry set): pivot
// search, exchanges, multipliers and updates, column by column.
void eliminate(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale);
// Forward and back substitution of one right-hand side in place.
void substitute(const Matrix_d &factors, const Seq<unsigned int> &perm, Vector<double> &b);
// Column j of x = the solution for the j-th unit vector, exactly as
// substitute computes it; col is the column scratch vector.
void invert(const Matrix_d &factors, const Seq<unsigned int> &perm, Matrix_d &x, Vector<double> &col);

} // namespace tovra_detail

#endif
