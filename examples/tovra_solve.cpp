// Builds, fills, copies and prints a matrix; then solves a small system.
#include <cstdio>

#include <tovra.h>

static void print(const char *name, const Matrix_d &m) {
  std::printf("%s (%u x %u):\n", name, m.SizeRow(), m.SizeCol());
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      std::printf(" %.17g", m(r, c));
    }
    std::printf("\n");
  }
}

int main() {
  Matrix_d a(3, 3);
  const double values[3][3] = {{2, 1, 1}, {4, -6, 0}, {-2, 7, 2}};
  for (unsigned int r = 0; r < 3; ++r) {
    for (unsigned int c = 0; c < 3; ++c) {
      a(r, c) = values[r][c];
    }
  }
  Matrix_d copy(a);
  print("A", copy);
  print("inverse of A", a.inv());
  std::printf("det(A) = %.17g\n", a.det());
  return 0;
}
