// SPDX-License-Identifier: MIT
// The yardstick of every benchmark: the operations written the plain way,
// one loop nest per operation with its loops in the textbook order, one
// running sum per element, each rounding point a single store and reload
// through the library's own rounding helper. Figures are reported as ratios
// to these functions, measured in the same run.
#ifndef TOVRA_BENCH_BASELINE_H
#define TOVRA_BENCH_BASELINE_H

#include <tovra.h>

namespace baseline {

bool sum(const Matrix_d &a, Matrix_d &res, const Matrix_d &b);
bool sub(const Matrix_d &a, Matrix_d &res, const Matrix_d &b);
bool neg(const Matrix_d &a, Matrix_d &res);
bool molt(const Matrix_d &a, Matrix_d &res, double s);
bool molt(const Matrix_d &a, Matrix_d &res, const Matrix_d &b);
bool molt(const Matrix_d &a, Vector<double> &y, const Vector<double> &x);
int lu(const Matrix_d &source, Matrix_d &a, Seq<unsigned int> &perm, double &parity);
void lus(const Matrix_d &factors, Seq<unsigned int> &perm, Vector<double> &b);
double det(const Matrix_d &m);
Matrix_d inv(const Matrix_d &m);

} // namespace baseline

#endif
