// SPDX-License-Identifier: MIT
// What a value-returning member hands out when it cannot compute its result
// (operands that do not fit, a matrix LU refuses): the shape it promises,
// every element a quiet NaN, rather than whatever fresh storage held. Only
// that path pays for the fill.
#ifndef TOVRA_NAN_FILL_H
#define TOVRA_NAN_FILL_H

#include <limits>

#include "tovra/matrix_d.h"

namespace tovra_detail {

const double refused_value = std::numeric_limits<double>::quiet_NaN();

inline void fill_nan(Matrix_d &m) {
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      m(r, c) = refused_value;
    }
  }
}

inline void fill_nan(Vector<double> &x) {
  for (unsigned int i = 0; i < x.Size(); ++i) {
    x[i] = refused_value;
  }
}

} // namespace tovra_detail

#endif
