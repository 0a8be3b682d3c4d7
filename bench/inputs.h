// SPDX-License-Identifier: MIT
// Operands of the benchmarks: fixed pseudo-random values in [-1, 1), the
// same for every implementation measured, so that all of them do the same
// work on the same numbers.
#ifndef TOVRA_BENCH_INPUTS_H
#define TOVRA_BENCH_INPUTS_H

#include <random>

#include <tovra.h>

namespace inputs {

inline void fill(Matrix_d &m, unsigned int seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      m(r, c) = dist(gen);
    }
  }
}

inline void fill(Vector<double> &v, unsigned int seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (unsigned int i = 0; i < v.Size(); ++i) {
    v[i] = dist(gen);
  }
}

inline Matrix_d matrix(unsigned int rows, unsigned int cols, unsigned int seed) {
  Matrix_d m(rows, cols);
  fill(m, seed);
  return m;
}

inline Vector<double> vector(unsigned int n, unsigned int seed) {
  Vector<double> v(n);
  fill(v, seed);
  return v;
}

inline void copy(Vector<double> &to, const Vector<double> &from) {
  for (unsigned int i = 0; i < from.Size(); ++i) {
    to[i] = from[i];
  }
}

} // namespace inputs

#endif
