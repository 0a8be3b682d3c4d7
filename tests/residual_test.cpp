// Normwise residuals of the LU family, the way reference linear-algebra
// suites check a factorisation (LAPACK's xGET01, xGET02, xGET03), on seeded
// random and classic matrices up to n = 100:
//
//   factorisation  ||P A - L U||   / (n ||A|| eps)
//   solution       ||b - A x||     / (||A|| ||x|| eps)
//   inverse        ||I - A inv(A)|| / (n ||A|| ||inv(A)|| eps)
//
// each below 30, with 1-norms and eps = 2^-53. This is the one place where a
// tolerance is right: the bit tests pin the last bit on small cases, these
// catch gross errors (a wrong term, a lost exchange, a broken block edge)
// that only show on larger matrices. The residuals themselves are formed in
// long double.
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support.h"

namespace {

const long double eps = 0x1p-53L;
const long double threshold = 30.0L;

typedef std::vector<std::vector<long double>> LMat;

long double norm1(const LMat &m) {
  long double best = 0.0L;
  const size_t n = m.size();
  for (size_t c = 0; n > 0 && c < m[0].size(); ++c) {
    long double s = 0.0L;
    for (size_t r = 0; r < n; ++r) {
      s += std::fabs(m[r][c]);
    }
    if (s > best) {
      best = s;
    }
  }
  return best;
}

LMat widen(const Matrix_d &m) {
  LMat w(m.SizeRow(), std::vector<long double>(m.SizeCol()));
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      w[r][c] = m(r, c);
    }
  }
  return w;
}

struct Ratios {
  long double factor, solve, inverse;
};

Ratios residuals(const Matrix_d &a, const Vector<double> &b) {
  const unsigned int n = a.SizeRow();
  Ratios out = {0, 0, 0};
  const LMat A = widen(a);
  const long double na = norm1(A);

  // P A - L U.
  Matrix_d f(n, n);
  Seq<unsigned int> p(n);
  double parity;
  EXPECT_EQ(1, a.LU(f, p, parity));
  LMat pa = A;
  for (unsigned int j = 0; j < n; ++j) {
    std::swap(pa[j], pa[p[j]]);
  }
  LMat diff(n, std::vector<long double>(n));
  for (unsigned int i = 0; i < n; ++i) {
    for (unsigned int j = 0; j < n; ++j) {
      long double s = 0.0L;
      const unsigned int kmax = i < j ? i : j;
      for (unsigned int k = 0; k < kmax; ++k) {
        s += static_cast<long double>(f(i, k)) * f(k, j);
      }
      s += i <= j ? static_cast<long double>(f(i, j)) : static_cast<long double>(f(i, j)) * f(j, j);
      diff[i][j] = pa[i][j] - s;
    }
  }
  out.factor = norm1(diff) / (n * na * eps);

  // b - A x.
  Vector<double> x(b);
  f.LUs(p, x);
  long double nr = 0.0L, nx = 0.0L;
  for (unsigned int i = 0; i < n; ++i) {
    long double s = b[i];
    for (unsigned int k = 0; k < n; ++k) {
      s -= A[i][k] * x[k];
    }
    nr += std::fabs(s);
    nx += std::fabs(static_cast<long double>(x[i]));
  }
  out.solve = nr / (na * nx * eps);

  // I - A inv(A).
  const Matrix_d xi = a.inv();
  const LMat X = widen(xi);
  for (unsigned int i = 0; i < n; ++i) {
    for (unsigned int j = 0; j < n; ++j) {
      long double s = i == j ? 1.0L : 0.0L;
      for (unsigned int k = 0; k < n; ++k) {
        s -= A[i][k] * X[k][j];
      }
      diff[i][j] = s;
    }
  }
  out.inverse = norm1(diff) / (n * na * norm1(X) * eps);
  return out;
}

struct Rng {
  std::uint64_t s;
  std::uint64_t next() {
    s += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = s;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in (-1, 1), 53 random bits.
  double uniform() { return (static_cast<double>(next() >> 11) * 0x1p-53) * 2.0 - 1.0; }
};

void check(const std::string &name, const Matrix_d &a, Rng &rng) {
  const unsigned int n = a.SizeRow();
  Vector<double> b(n);
  for (unsigned int i = 0; i < n; ++i) {
    b[i] = rng.uniform();
  }
  const Ratios r = residuals(a, b);
  std::printf("%-30s n = %3u   factor %7.3Lf   solve %7.3Lf   inverse %7.3Lf\n", name.c_str(), n, r.factor,
              r.solve, r.inverse);
  for (long double ratio : {r.factor, r.solve, r.inverse}) {
    EXPECT_LT(ratio, threshold) << name << ", n = " << n;
  }
}

Matrix_d random_matrix(unsigned int n, Rng &rng, double scale) {
  Matrix_d a(n, n);
  for (unsigned int i = 0; i < n; ++i) {
    for (unsigned int j = 0; j < n; ++j) {
      a(i, j) = rng.uniform() * scale;
    }
  }
  return a;
}

TEST(Residual, SeededRandomMatrices) {
  Rng rng = {2024};
  const unsigned int sizes[] = {1, 2, 3, 4, 7, 10, 20, 33, 50, 64, 100};
  for (unsigned int n : sizes) {
    check("random", random_matrix(n, rng, 1.0), rng);
  }
}

// Rows and columns of very different magnitudes: the implicit scaling of
// the pivot search is what keeps these accurate.
TEST(Residual, RandomMatricesWithBadlyScaledRows) {
  Rng rng = {77};
  const unsigned int sizes[] = {5, 30, 70};
  for (unsigned int n : sizes) {
    Matrix_d a = random_matrix(n, rng, 1.0);
    for (unsigned int i = 0; i < n; ++i) {
      const double row_scale = std::ldexp(1.0, static_cast<int>(rng.next() % 61) - 30);
      for (unsigned int j = 0; j < n; ++j) {
        a(i, j) *= row_scale;
      }
    }
    check("random, rows scaled 2^+-30", a, rng);
  }
}

TEST(Residual, HilbertMatrices) {
  Rng rng = {5};
  const unsigned int sizes[] = {2, 4, 8, 12, 16, 30, 100};
  for (unsigned int n : sizes) {
    Matrix_d h(n, n);
    for (unsigned int i = 0; i < n; ++i) {
      for (unsigned int j = 0; j < n; ++j) {
        h(i, j) = 1.0 / (i + j + 1.0);
      }
    }
    check("Hilbert", h, rng);
  }
}

TEST(Residual, VandermondeMatrices) {
  Rng rng = {6};
  const unsigned int sizes[] = {3, 6, 10, 20, 50, 100};
  for (unsigned int n : sizes) {
    Matrix_d v(n, n);
    // Points in [-1, 1], then points 1 .. n: rows from 1 to n^(n-1), up to
    // 1e198 at n = 100.
    for (bool unit : {true, false}) {
      for (unsigned int i = 0; i < n; ++i) {
        const double x = unit ? -1.0 + 2.0 * i / (n - 1.0) : i + 1.0;
        double power = 1.0;
        for (unsigned int j = 0; j < n; ++j) {
          v(i, j) = power;
          power *= x;
        }
      }
      check(unit ? "Vandermonde, points in [-1,1]" : "Vandermonde, points 1..n", v, rng);
    }
  }
}

// Scaled so that the elements sit near the ends of the exponent range: the
// scale entries, multipliers and inverse are then near the other end.
TEST(Residual, ScaledNearUnderflowAndOverflow) {
  Rng rng = {99};
  const unsigned int sizes[] = {3, 10, 40, 100};
  for (unsigned int n : sizes) {
    check("random x 2^-1000", random_matrix(n, rng, 0x1p-1000), rng);
    check("random x 2^+1000", random_matrix(n, rng, 0x1p+1000), rng);
  }
  check("random x 2^-1018", random_matrix(10, rng, 0x1p-1018), rng);
  check("random x 2^+1018", random_matrix(10, rng, 0x1p+1018), rng);
}

} // namespace
