// SPDX-License-Identifier: MIT
// A program from outside the project, built against an installed libtovra
// by the README's own command lines: it must compile with the installed
// headers alone, link, load the installed shared object and get the
// library's exact results.
#include <cstdio>
#include <cstring>

#include <tovra.h>

static int failures = 0;

static void expect(const char *what, double got, double want) {
  if (std::memcmp(&got, &want, sizeof got) != 0) {
    std::printf("%s: got %.17g, want %.17g\n", what, got, want);
    ++failures;
  }
}

int main() {
  static const double a[3][3] = {{2, 1, 1}, {4, -6, 0}, {-2, 7, 2}};
  static const double a_inv[3][3] = {{0.75, -0.3125, -0.375}, {0.5, -0.375, -0.25}, {-1, 1, 1}};
  Matrix3x3_d m;
  for (unsigned int i = 0; i < 3; ++i) {
    for (unsigned int j = 0; j < 3; ++j) {
      m(i, j) = a[i][j];
    }
  }
  Matrix3x3_d r;
  if (!(r = m.inv())) {
    std::printf("a 3x3 inverse was refused by Matrix3x3_d\n");
    ++failures;
  }
  for (unsigned int i = 0; i < 3; ++i) {
    for (unsigned int j = 0; j < 3; ++j) {
      expect("inverse of the 3x3", r(i, j), a_inv[i][j]);
    }
  }
  expect("det of the 3x3", m.det(), -16.0);

  // Its last entry is decided by the rounding to extended precision before
  // the rounding to double: a single rounding would give -0.49999999999999994.
  Matrix2x2_d b;
  b(0, 0) = 1;
  b(0, 1) = 2;
  b(1, 0) = 3;
  b(1, 1) = 4;
  Matrix_d b_inv = b.inv();
  expect("inverse of [[1, 2], [3, 4]] at (1, 1)", b_inv(1, 1), -0.49999999999999989);

  if (failures == 0) {
    std::printf("consumer: ok\n");
  }
  return failures == 0 ? 0 : 1;
}
