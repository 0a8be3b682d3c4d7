// SPDX-License-Identifier: MIT
// tovra-fixed-size: the fixed-size types on a small geometric transform.
// Every operator of a Matrix3x3_d keeps the fixed type, so results combine
// without conversions; members inherited from Matrix_d (inv, trasp, the
// block Sub) return a general matrix, which operator= takes back when the
// shape fits.
#include <cstdio>

#include <tovra.h>

static void print(const char *title, const Matrix_d &m) {
  std::printf("%s:\n", title);
  for (unsigned int i = 0; i < m.SizeRow(); ++i) {
    for (unsigned int j = 0; j < m.SizeCol(); ++j) {
      std::printf(" %.17g", m(i, j));
    }
    std::printf("\n");
  }
}

static void print(const char *title, const Vector<double> &v) {
  std::printf("%s:", title);
  for (unsigned int i = 0; i < v.Size(); ++i) {
    std::printf(" %.17g", v[i]);
  }
  std::printf("\n");
}

int main() {
  // A quarter turn about the z axis, then a stretch by 2 along x.
  Matrix3x3_d turn, stretch;
  turn.Zero();
  turn(0, 1) = -1;
  turn(1, 0) = 1;
  turn(2, 2) = 1;
  stretch.Identity();
  stretch(0, 0) = 2;
  const Matrix3x3_d t = stretch * turn;
  print("T = stretch * turn", t);

  Vector3<double> p;
  p[0] = 1;
  p[1] = 2;
  p[2] = 3;
  const Vector3<double> q = t * p;
  print("p", p);
  print("T p", q);

  Matrix3x3_d undo;
  undo = t.inv(); // a 3x3 Matrix_d: accepted
  print("inverse of T", undo);
  print("inverse of T applied to T p", undo * q);

  // The top-left 2x2 block fits a Matrix2x2_d; the whole 3x3 does not, and
  // the refused assignment leaves the target as it was.
  Matrix2x2_d corner;
  const bool block_taken = (corner = t.Sub(0, 0, 2, 2));
  const bool whole_taken = (corner = t);
  std::printf("Matrix2x2_d = 2x2 block: %s; Matrix2x2_d = 3x3 matrix: %s\n",
              block_taken ? "taken" : "refused", whole_taken ? "taken" : "refused");
  print("corner", corner);
  return 0;
}
