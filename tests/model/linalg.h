// Reference versions of the library's numeric operations, built on the
// integer arithmetic of x87.h, with the loops in the order the library
// promises. The tests compare every bit of the library's results to these.
#ifndef TOVRA_TESTS_MODEL_LINALG_H
#define TOVRA_TESTS_MODEL_LINALG_H

#include <vector>

namespace model {

typedef std::vector<double> Vec;

struct Mat {
  unsigned r, c;
  Vec a; // row-major
  Mat(unsigned rows = 0, unsigned cols = 0, double fill = 0.0) : r(rows), c(cols), a(rows * cols, fill) {}
  double &operator()(unsigned i, unsigned j) { return a[i * c + j]; }
  double operator()(unsigned i, unsigned j) const { return a[i * c + j]; }
};

// Shape rules of the operations that write into a target.
inline bool fits_elementwise(const Mat &x, const Mat &b, const Mat &res) {
  return res.c == b.c && res.r == b.r && x.c == res.c && x.r == res.r;
}
inline bool fits_product(const Mat &x, const Mat &b, const Mat &res) {
  return x.c == b.r && x.r == res.r && b.c == res.c;
}

// Element-wise and product operations on operands whose shapes fit.
Mat sum(const Mat &x, const Mat &b);
Mat sub(const Mat &x, const Mat &b);
Mat neg(const Mat &x);
Mat scale(const Mat &x, double s);
Mat product(const Mat &x, const Mat &b);
Vec product(const Mat &x, const Vec &v);

// The factorisation of a square matrix. On code 0 the factors are the copy,
// the parity 1.0 and perm empty (the library leaves its permutation alone).
struct Lu {
  int code; // 1, 0, or -1 for a matrix that is not square
  Mat f;
  std::vector<unsigned> perm;
  double parity;
};
Lu lu(const Mat &x);
void lus(const Mat &f, const std::vector<unsigned> &perm, Vec &rhs);
double det(const Lu &d); // from a factorisation made by lu(), saving a second one
Mat inv(const Lu &d);
double det(const Mat &x);
Mat inv(const Mat &x);
bool singular(const Mat &x);

} // namespace model

#endif
