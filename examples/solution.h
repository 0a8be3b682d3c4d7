// SPDX-License-Identifier: MIT
// Solves A x = b with libtovra and prints what it found.
#ifndef TOVRA_EXAMPLES_SOLUTION_H
#define TOVRA_EXAMPLES_SOLUTION_H

#include <cstdio>
#include <string>

#include <tovra.h>

#include "system_reader.h"

// What the library says about one system. x, inverse and residual are set
// only when A is not singular.
struct Solution {
  explicit Solution(unsigned int n) : x(n), inverse(n, n), residual(n, 1) {}

  bool singular = false;
  bool zero_pivot = false; // LU replaced an exactly zero pivot by 1e-20
  double det = 0.0;
  Vector<double> x;
  Matrix_d inverse;
  Matrix_d residual; // A x - b as a column, computed in the library as well
};

// Builds A from `sys` and fills `s`, whose order must be sys.n.
void solve(const LinearSystem &sys, Solution &s);

// Empty when every number of `s` that is printed is finite; else one line
// saying that some are not and, where the input shows it, why.
std::string non_finite_warning(const LinearSystem &sys, const Solution &s);

enum class Notation { decimal, hex };

// Round-trip precision: %.17g, or %a for Notation::hex.
void print_matrix(std::FILE *out, const char *title, const Matrix_d &m, Notation notation);
void print_vector(std::FILE *out, const char *title, const Vector<double> &v, Notation notation);
void print_solution(std::FILE *out, const Solution &s, Notation notation);

// A and b of `sys` as library objects.
Matrix_d matrix_of(const LinearSystem &sys);
Vector<double> rhs_of(const LinearSystem &sys);

#endif
