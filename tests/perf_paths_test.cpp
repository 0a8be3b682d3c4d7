// The reordered kernels against the straightforward loops (the benchmark
// baseline, compiled in), bit for bit, on shapes that reach every tiling
// edge: row tiles of 4 and 8 with 1, 2 and 3 rows left over, column
// stretches of 128, elimination blocks of 32, and values that take the
// unusual branches: NaN and infinite elements, exact zero pivots inside a
// block, exactly tied pivot candidates, zero rows, zero leading right-hand
// sides.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "baseline.h"
#include "support.h"

namespace {

enum Kind { uniform, unusual, integer_ties, repeated_rows };

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

Matrix_d make(unsigned int rows, unsigned int cols, Kind kind, unsigned int seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::uniform_int_distribution<int> small(-2, 2);
  Matrix_d m(rows, cols);
  for (unsigned int r = 0; r < rows; ++r) {
    for (unsigned int c = 0; c < cols; ++c) {
      m(r, c) = kind == integer_ties || kind == repeated_rows ? small(gen) : dist(gen);
      if (kind == unusual && gen() % 97 == 0) {
        const double odd[] = {nan, inf, -inf, 0.0, -0.0, 1e300, 1e-310};
        m(r, c) = odd[gen() % 7];
      }
    }
    // Every row carries a non-zero, so the factorisation goes the full way
    // (the zero-row refusal has its own case).
    if (kind != unusual && cols == rows && rows > 0) {
      m(r, (r * 7) % cols) += 4.0;
    }
  }
  // Copies of earlier rows give exact zero pivots wherever they fall.
  if (kind == repeated_rows) {
    for (unsigned int r = 3; r < rows; r += 5) {
      for (unsigned int c = 0; c < cols; ++c) {
        m(r, c) = m(r / 2, c);
      }
    }
  }
  return m;
}

Vector<double> make_vector(unsigned int n, unsigned int zeros, unsigned int seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  Vector<double> v(n);
  for (unsigned int i = 0; i < n; ++i) {
    v[i] = i < zeros ? 0.0 : dist(gen);
  }
  return v;
}

::testing::AssertionResult same_perm(const Seq<unsigned int> &a, const Seq<unsigned int> &b) {
  for (unsigned int i = 0; i < a.Size(); ++i) {
    if (a[i] != b[i]) {
      return ::testing::AssertionFailure() << "permutation entry " << i << ": " << a[i] << " vs " << b[i];
    }
  }
  return ::testing::AssertionSuccess();
}

// Past 66 only a few kinds: the straightforward loops are slow under
// emulation, and the large sizes are there for the column stretches (the
// inverse's second one starts at 128, the elimination's at 160).
struct Square {
  unsigned int n;
  unsigned int kinds;
  bool inverse;
};
const Square squares[] = {
    {0, 4, true},  {1, 4, true},  {2, 4, true},  {3, 4, true},  {4, 4, true},   {5, 4, true},   {6, 4, true},
    {7, 4, true},  {8, 4, true},  {9, 4, true},  {10, 4, true}, {11, 4, true},  {15, 4, true},  {16, 4, true},
    {17, 4, true}, {31, 4, true}, {32, 4, true}, {33, 4, true}, {34, 4, true},  {35, 4, true},  {63, 4, true},
    {64, 4, true}, {65, 4, true}, {66, 4, true}, {97, 2, true}, {130, 1, true}, {161, 2, false}};
const Kind kinds[] = {uniform, repeated_rows, unusual, integer_ties};

TEST(PerfPaths, ProductsMatchTheTextbookLoops) {
  const unsigned int dims[] = {0, 1, 2, 3, 5, 8, 9, 10, 11, 127, 128, 129, 130};
  unsigned int seed = 1;
  for (unsigned int rows : dims) {
    for (unsigned int cols : {1u, 3u, 130u}) {
      for (unsigned int depth : {0u, 1u, 5u}) {
        const Kind kind = kinds[seed % 4];
        const Matrix_d a = make(rows, depth, kind, seed++), b = make(depth, cols, kind, seed++);
        Matrix_d fast(rows, cols), plain(rows, cols);
        ASSERT_TRUE(a.Molt(fast, b));
        ASSERT_TRUE(baseline::molt(a, plain, b));
        EXPECT_SAME(plain, fast) << rows << "x" << depth << " times " << depth << "x" << cols;
      }
    }
    for (unsigned int cols : {0u, 1u, 2u, 7u, 9u, 130u}) {
      const Matrix_d a = make(rows, cols, kinds[seed % 4], seed);
      const Vector<double> x = make_vector(cols, 0, seed++);
      Vector<double> fast(rows), plain(rows);
      ASSERT_TRUE(a.Molt(fast, x));
      ASSERT_TRUE(baseline::molt(a, plain, x));
      EXPECT_SAME(plain, fast) << rows << "x" << cols << " times a vector";
    }
  }
}

TEST(PerfPaths, FactorisationSolutionDeterminantAndInverseMatch) {
  unsigned int seed = 100;
  for (const Square &sq : squares) {
    const unsigned int n = sq.n;
    for (unsigned int which = 0; which < sq.kinds; ++which) {
      // uniform first, then repeated rows (zero pivots), then the others.
      const Kind kind = kinds[which];
      SCOPED_TRACE(testing::Message() << "n = " << n << ", kind " << kind);
      const Matrix_d a = make(n, n, kind, seed++);
      Matrix_d fast(n, n), plain(n, n);
      Seq<unsigned int> pf(n), pp(n);
      double qf = 0.0, qp = 0.0;
      const int rf = a.LU(fast, pf, qf), rp = baseline::lu(a, plain, pp, qp);
      ASSERT_EQ(rp, rf);
      EXPECT_SAME(plain, fast);
      EXPECT_BITS(qp, qf);
      if (rp != 1) {
        continue;
      }
      EXPECT_TRUE(same_perm(pp, pf));
      // Right-hand sides whose leading entries are zero start the forward
      // pass late, at every offset around the row tiles.
      for (unsigned int zeros : {0u, 1u, 2u, 3u, 4u, 5u, n / 2, n}) {
        if (zeros > n) {
          continue;
        }
        Vector<double> xf = make_vector(n, zeros, seed), xp = make_vector(n, zeros, seed);
        ++seed;
        fast.LUs(pf, xf);
        baseline::lus(plain, pp, xp);
        EXPECT_SAME(xp, xf) << zeros << " leading zeros";
      }
      EXPECT_BITS(baseline::det(a), a.det());
      if (sq.inverse) {
        EXPECT_SAME(baseline::inv(a), a.inv());
      }
    }
  }
}

TEST(PerfPaths, RefusedAndDegenerateFactorisationsMatch) {
  // A zero row (and a row of zeros and NaNs) is refused before elimination;
  // a NaN column leaves every pivot search without a qualifying row.
  for (unsigned int n : {3u, 33u, 66u}) {
    Matrix_d zero_row = make(n, n, uniform, n), nan_column = make(n, n, uniform, n + 1);
    for (unsigned int c = 0; c < n; ++c) {
      zero_row(n - 2, c) = c % 2 ? nan : 0.0;
    }
    for (unsigned int r = 0; r < n; ++r) {
      nan_column(r, n / 2) = nan;
    }
    for (const Matrix_d *a : {&zero_row, &nan_column}) {
      Matrix_d fast(n, n), plain(n, n);
      Seq<unsigned int> pf(n), pp(n);
      double qf = 0.0, qp = 0.0;
      ASSERT_EQ(baseline::lu(*a, plain, pp, qp), a->LU(fast, pf, qf));
      EXPECT_SAME(plain, fast);
      EXPECT_BITS(qp, qf);
      EXPECT_BITS(baseline::det(*a), a->det());
    }
    EXPECT_SAME(baseline::inv(nan_column), nan_column.inv());
  }
}

TEST(PerfPaths, AllZeroRightHandSideFormsNoProducts) {
  // Infinities in L must not reach a zero solution through 0 * inf.
  const unsigned int n = 37;
  Matrix_d f = make(n, n, uniform, 7);
  for (unsigned int r = 1; r < n; ++r) {
    f(r, 0) = inf;
  }
  Seq<unsigned int> perm(n);
  for (unsigned int i = 0; i < n; ++i) {
    perm[i] = i + 3 < n ? i + 3 : i;
  }
  Vector<double> xf = make_vector(n, n, 0), xp = make_vector(n, n, 0);
  f.LUs(perm, xf);
  baseline::lus(f, perm, xp);
  EXPECT_SAME(xp, xf);
}

} // namespace
