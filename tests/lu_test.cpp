// LU, LUs, det, inv and IsSingular: the documented worked values bit for
// bit, pivot tie-breaks, every result code with its outputs exactly as
// documented, zero and NaN rows, in place versus out of place, the library's
// choices (NaN det of a non-square matrix, NaN inverse when LU does not
// return 1, row j when no pivot candidate qualifies). Large random matrices
// are held bit for bit by differential_test and perf_paths_test.
//
// Expected values come from an exact rational model of the algorithms (signed
// zeros included). Each case says which mistake it catches; "rounded once"
// means a step rounded straight to double instead of to the 64-bit
// significand and then to double.
#include <cstdint>
#include <vector>

#include "support.h"

namespace {

using t::inf;
using t::qnan;

const double E20 = 1e-20; // 0x1.79ca10c924223p-67, the zero-pivot replacement

struct Worked {
  const char *name;
  std::vector<std::vector<double>> a;
  std::vector<std::vector<double>> factors;
  std::vector<unsigned int> perm;
  double parity;
  double det;
  std::vector<std::vector<double>> inverse;
};

Matrix_d from(const std::vector<std::vector<double>> &rows) {
  const unsigned int n = static_cast<unsigned int>(rows.size());
  Matrix_d m(n, n == 0 ? 0 : static_cast<unsigned int>(rows[0].size()));
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      m(r, c) = rows[r][c];
    }
  }
  return m;
}

::testing::AssertionResult perm_is(const std::vector<unsigned int> &expected, const Seq<unsigned int> &p) {
  if (p.Size() != expected.size()) {
    return ::testing::AssertionFailure() << "size " << p.Size();
  }
  for (unsigned int i = 0; i < p.Size(); ++i) {
    if (p[i] != expected[i]) {
      return ::testing::AssertionFailure() << "entry " << i << " is " << p[i] << ", expected " << expected[i];
    }
  }
  return ::testing::AssertionSuccess();
}

// clang-format off
const Worked worked[] = {
    // [[1, 2], [3, 4]]. The inverse's -0.4999999999999999
    // (-0x1.ffffffffffffep-2) catches a back-pass quotient rounded once
    // (-0x1.fffffffffffffp-2) and a multiplication by the reciprocal.
    {"[[1,2],[3,4]]", {{1, 2}, {3, 4}},
     {{3.0, 4.0}, {0x1.5555555555555p-2, 0x1.5555555555556p-1}}, {1, 1}, -1.0, -2.0,
     {{-0x1.fffffffffffffp+0, 0x1.fffffffffffffp-1}, {0x1.7ffffffffffffp+0, -0x1.ffffffffffffep-2}}},
    // Row 1's scaled magnitude 6 x (1/6 rounded) is 1 - 2^-54 unrounded and
    // loses to row 0's 1.0. Catches the scaled magnitude rounded to double
    // before the comparison (1.0 >= 1.0 would exchange the rows).
    {"[[4,3],[6,3]]", {{4, 3}, {6, 3}},
     {{4.0, 3.0}, {1.5, -1.5}}, {0, 1}, 1.0, -6.0,
     {{-0.5, 0.5}, {1.0, -0x1.5555555555555p-1}}},
    // The documented 3x3: no exchange, exact factors.
    {"[[2,1,1],[4,-6,0],[-2,7,2]]", {{2, 1, 1}, {4, -6, 0}, {-2, 7, 2}},
     {{2, 1, 1}, {2, -8, -2}, {-1, -1, 1}}, {0, 1, 2}, 1.0, -16.0,
     {{0.75, -0.3125, -0.375}, {0.5, -0.375, -0.25}, {-1.0, 1.0, 1.0}}},
    // Equal scaled magnitudes 1.0: the later row wins (>=). Then the pivot
    // of column 1 is exactly 0 and becomes 1e-20. Catches > instead of >=.
    {"[[1,1],[1,1]]", {{1, 1}, {1, 1}},
     {{1, 1}, {1, E20}}, {1, 1}, -1.0, -E20,
     {{-1e20, 1e20}, {1e20, -1e20}}},
    {"[[1,2],[2,4]]", {{1, 2}, {2, 4}},
     {{2, 4}, {0.5, E20}}, {1, 1}, -1.0, -2e-20,
     {{-2e20, 1e20}, {1e20, -5e19}}},
    // Both scaled magnitudes are 7 x (1/7 rounded) = 1 - 2^-54. The first
    // sets best to that value rounded, 1.0; the second, equal to the first
    // unrounded, is below 1.0 and does not qualify. Catches a best kept
    // unrounded (the tie would go to row 1) and a magnitude rounded before
    // the comparison (1.0 >= 1.0, row 1 again).
    {"[[7,1],[7,2]]", {{7, 1}, {7, 2}},
     {{7, 1}, {1, 1}}, {0, 1}, 1.0, 7.0,
     {{0x1.2492492492492p-2, -0x1.2492492492492p-3}, {-1.0, 1.0}}},
    // Row 0's scaled magnitude is 5 x (1/5 rounded) = 1 + 2^-54, so best
    // becomes 1.0 (rounded down); row 1's 1.0 then qualifies (1.0 >= 1.0).
    // Catches a best kept unrounded (1.0 >= 1 + 2^-54 fails, no exchange).
    {"[[5,1],[1,1]]", {{5, 1}, {1, 1}},
     {{1, 1}, {5, -4}}, {1, 1}, -1.0, 4.0,
     {{0.25, -0.25}, {-0.25, 1.25}}},
    // The pivot of column 0 is -0.0 (both candidates have magnitude 0, the
    // later wins): -0.0 == 0.0, so it becomes 1e-20. Catches a zero test
    // that looks at the bits (+0.0 only).
    {"[[0,1],[-0,1]]", {{0.0, 1.0}, {-0.0, 1.0}},
     {{E20, 1}, {0.0, 1}}, {1, 1}, -1.0, -E20,
     {{-1e20, 1e20}, {1.0, 0.0}}},
    // A zero pivot in the last column, after two exchanges.
    {"[[1,2,3],[2,4,7],[1,1,1]]", {{1, 2, 3}, {2, 4, 7}, {1, 1, 1}},
     {{1, 1, 1}, {1, 1, 2}, {2, 2, 1}}, {2, 2, 2}, 1.0, 1.0,
     {{-3, 1, 2}, {5, -2, -1}, {-2, 1, 0.0}}},
    // Found by search: each catches the mistake named, in the factors, the
    // determinant or the inverse (the checks below compare all three).
    // Multipliers formed by division instead of by the rounded reciprocal;
    // products of the accumulation rounded to double first (SSE2).
    {"[[2,9,-3],[7,-5,0],[-5,-6,-1]]", {{2, 9, -3}, {7, -5, 0}, {-5, -6, -1}},
     {{0x1.c000000000000p+2, -0x1.4000000000000p+2, 0.0},
      {-0x1.6db6db6db6db6p-1, -0x1.3249249249249p+3, -0x1.0000000000000p+0},
      {0x1.2492492492492p-2, -0x1.16ece540f4899p+0, -0x1.05bb39503d226p+2}}, {1, 2, 2}, 1.0, 0x1.12p+8,
     {{0x1.2afa64e7b5417p-6, 0x1.939ed5059b186p-4, -0x1.c077975b8fe20p-5},
      {0x1.a291c077975b9p-6, -0x1.fc43452380ef1p-5, -0x1.39ed5059b184ap-4},
      {-0x1.f4c9cf6a82cd9p-3, -0x1.ed5059b184abep-4, -0x1.10d148e03bcbbp-2}}},
    // A running sum of elimination carried in extended between terms.
    {"[[2,4,1],[-3,8,6],[5,7,-1]]", {{2, 4, 1}, {-3, 8, 6}, {5, 7, -1}},
     {{0x1.4000000000000p+2, 0x1.c000000000000p+2, -0x1.0000000000000p+0},
      {-0x1.3333333333334p-1, 0x1.8666666666667p+3, 0x1.599999999999ap+2},
      {0x1.999999999999ap-2, 0x1.92e29f79b4756p-4, 0x1.bcda3ac10c972p-1}}, {2, 1, 2}, -1.0, -0x1.a800000000002p+5,
     {{0x1.e304d4873ecadp-1, -0x1.a90e7d95bc608p-3, -0x1.3521cfb2b78c2p-2},
      {-0x1.04d4873ecade3p-1, 0x1.0e7d95bc609a8p-3, 0x1.21cfb2b78c135p-2},
      {0x1.26a439f656f18p+0, -0x1.cfb2b78c1351fp-4, -0x1.0e7d95bc609a9p-1}}},
    // The scale entry not carried with the row that moves down.
    {"[[1,-7,-3],[9,-2,-2],[-5,8,5]]", {{1, -7, -3}, {9, -2, -2}, {-5, 8, 5}},
     {{0x1.2000000000000p+3, -0x1.0000000000000p+1, -0x1.0000000000000p+1},
      {0x1.c71c71c71c71cp-4, -0x1.b1c71c71c71c7p+2, -0x1.638e38e38e38ep+1},
      {-0x1.1c71c71c71c72p-1, -0x1.04325c53ef369p+0, 0x1.10c9714fbcda4p+0}}, {1, 1, 2}, -1.0, 0x1.04p+6,
     {{0x1.7a17a17a17a17p-4, 0x1.5a95a95a95a95p-3, 0x1.f81f81f81f81ep-4},
      {-0x1.13b13b13b13b1p-1, -0x1.3b13b13b13b14p-3, -0x1.89d89d89d89d8p-2},
      {0x1.e85e85e85e85ep-1, 0x1.a95a95a95a95bp-2, 0x1.e07e07e07e07dp-1}}},
    // A fused multiply-add in the substitution (the inverse's middle
    // element -0x1.469ec8e951033p-55 is a cancellation's last bits).
    {"[[9,1,-3],[-2,-9,-1],[-6,-2,2]]", {{9, 1, -3}, {-2, -9, -1}, {-6, -2, 2}},
     {{0x1.2000000000000p+3, 0x1.0000000000000p+0, -0x1.8000000000000p+1},
      {-0x1.c71c71c71c71cp-3, -0x1.18e38e38e38e4p+3, -0x1.aaaaaaaaaaaaap+0},
      {-0x1.5555555555555p-1, 0x1.3716aefcc26e3p-3, 0x1.033d91d2a2069p-2}}, {0, 1, 2}, 1.0, -0x1.4000000000002p+4,
     {{0x1.ffffffffffffcp-1, -0x1.9999999999998p-3, 0x1.6666666666664p+0},
      {-0x1.ffffffffffffbp-2, -0x1.469ec8e951033p-55, -0x1.7fffffffffffdp-1},
      {0x1.3fffffffffffep+1, -0x1.3333333333332p-1, 0x1.f999999999997p+1}}},
    // A back-pass quotient rounded once. Its inverse holds a -0.0.
    {"[[-2,-1,-3],[-6,2,6],[-1,2,8]]", {{-2, -1, -3}, {-6, 2, 6}, {-1, 2, 8}},
     {{-0x1.8000000000000p+2, 0x1.0000000000000p+1, 0x1.8000000000000p+2},
      {0x1.5555555555555p-2, -0x1.aaaaaaaaaaaaap+0, -0x1.4000000000000p+2},
      {0x1.5555555555555p-3, -0x1.0000000000001p+0, 0x1.ffffffffffffbp+0}}, {1, 1, 2}, -1.0, -0x1.3fffffffffffdp+4,
     {{-0x1.999999999999bp-3, -0x1.9999999999998p-4, -0.0},
      {-0x1.0ccccccccccd0p+1, 0x1.e66666666666ap-1, -0x1.8000000000003p+0},
      {0x1.0000000000004p-1, -0x1.0000000000002p-2, 0x1.0000000000002p-1}}},
    // The difference of the accumulation rounded once (and, in the
    // inverse, a sum carried in extended, products rounded first, a fused
    // multiply-add, division instead of the reciprocal, and both pivot
    // mistakes).
    {"[[7,7,8],[-9,-9,6],[9,6,9]]", {{7, 7, 8}, {-9, -9, 6}, {9, 6, 9}},
     {{-0x1.2000000000000p+3, -0x1.2000000000000p+3, 0x1.8000000000000p+2},
      {-0x1.0000000000000p+0, -0x1.8000000000000p+1, 0x1.e000000000000p+3},
      {-0x1.8e38e38e38e38p-1, -0x1.5555555555555p-52, 0x1.9555555555558p+3}}, {1, 2, 2}, 1.0, 0x1.5600000000002p+8,
     {{-0x1.5e50d79435e4ep-2, -0x1.674c59d31674ap-5, 0x1.5555555555553p-2},
      {0x1.9435e50d79433p-2, -0x1.af286bca1af2dp-6, -0x1.5555555555553p-2},
      {0x1.435e50d79435cp-4, 0x1.f7047dc11f704p-5, 0x1.af286bca1af25p-56}}},
    // det multiplies from the top down, rounding to double at each step:
    // 1e300 x 1e300 overflows to inf before 1e-300 comes in. Catches a
    // product carried in extended (1e300) and the bottom-up order (1e300).
    {"diag(1e300,1e300,1e-300)", {{1e300, 0, 0}, {0, 1e300, 0}, {0, 0, 1e-300}},
     {{1e300, 0, 0}, {0, 1e300, 0}, {0, 0, 1e-300}}, {0, 1, 2}, 1.0, inf,
     {{1e-300, 0, 0}, {0, 1e-300, 0}, {0, 0, 0x1.7e43c8800759bp+996}}},
};
// clang-format on

// Failure messages name the matrix rather than dumping the struct's bytes.
void PrintTo(const Worked &w, std::ostream *os) { *os << w.name; }

class WorkedValues : public ::testing::TestWithParam<Worked> {};

TEST_P(WorkedValues, FactorsPermutationAndParityBitForBit) {
  const Worked &w = GetParam();
  SCOPED_TRACE(w.name);
  const Matrix_d a = from(w.a);
  const unsigned int n = a.SizeRow();
  Matrix_d f(n, n);
  t::poison(f, 1);
  Seq<unsigned int> p(n);
  t::poison(p, 2);
  double parity;
  t::set_bits(parity, 0x7ffd0000000000aaULL);
  ASSERT_EQ(1, a.LU(f, p, parity));
  EXPECT_SAME(from(w.factors), f);
  EXPECT_TRUE(perm_is(w.perm, p));
  EXPECT_BITS(w.parity, parity);
  EXPECT_SAME(from(w.a), a) << "the source changed";
}

TEST_P(WorkedValues, FactoringInPlaceGivesTheSameTarget) {
  const Worked &w = GetParam();
  SCOPED_TRACE(w.name);
  Matrix_d m = from(w.a);
  const unsigned int n = m.SizeRow();
  Seq<unsigned int> p(n);
  double parity = 0.0;
  ASSERT_EQ(1, m.LU(m, p, parity));
  EXPECT_SAME(from(w.factors), m);
  EXPECT_TRUE(perm_is(w.perm, p));
  EXPECT_BITS(w.parity, parity);
}

TEST_P(WorkedValues, Determinant) {
  const Worked &w = GetParam();
  SCOPED_TRACE(w.name);
  const Matrix_d a = from(w.a);
  EXPECT_BITS(w.det, a.det());
}

TEST_P(WorkedValues, InverseAndItsColumnsBySubstitution) {
  const Worked &w = GetParam();
  SCOPED_TRACE(w.name);
  const Matrix_d a = from(w.a);
  const Matrix_d expected = from(w.inverse);
  EXPECT_SAME(expected, a.inv());
  // Column j of the inverse is LUs of the j-th unit vector.
  const unsigned int n = a.SizeRow();
  Matrix_d f(n, n);
  Seq<unsigned int> p(n);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  const t::Snapshot fs = t::snap(f), ps = t::snap(p);
  for (unsigned int j = 0; j < n; ++j) {
    Vector<double> x(n);
    for (unsigned int i = 0; i < n; ++i) {
      x[i] = 0.0;
    }
    x[j] = 1.0;
    f.LUs(p, x);
    for (unsigned int i = 0; i < n; ++i) {
      EXPECT_BITS(expected(i, j), x[i]) << "column " << j << ", row " << i;
    }
  }
  EXPECT_UNTOUCHED(fs, f);
  EXPECT_UNTOUCHED(ps, p);
  EXPECT_FALSE(a.IsSingular());
}

INSTANTIATE_TEST_SUITE_P(Lu, WorkedValues, ::testing::ValuesIn(worked),
                         [](const ::testing::TestParamInfo<Worked> &info) {
                           return "case" + std::to_string(info.index);
                         });

// ---- Result codes ---------------------------------------------------------------

struct Refusal {
  unsigned int sr, sc, tr, tc, pn;
  const char *why;
};

// Each of the four tests of step 2 failing alone, then some together.
const Refusal refusals[] = {
    {2, 2, 2, 3, 2, "1: target not square"},
    {2, 2, 3, 3, 2, "2: source columns != target rows"},
    {3, 2, 2, 2, 2, "3: source not square"},
    {2, 3, 3, 3, 3, "3: a 2x3 source, 3x3 target, permutation 3"},
    {2, 2, 2, 2, 3, "4: permutation too long"},
    {2, 2, 2, 2, 0, "4: permutation empty"},
    {0, 0, 0, 0, 1, "4: 0x0 with a permutation of 1"},
    {3, 2, 3, 2, 1, "all four"},
};

TEST(LuResults, MinusOneTouchesNothing) {
  for (const Refusal &r : refusals) {
    SCOPED_TRACE(r.why);
    Matrix_d a(r.sr, r.sc), f(r.tr, r.tc);
    for (unsigned int i = 0; i < r.sr; ++i) {
      for (unsigned int j = 0; j < r.sc; ++j) {
        a(i, j) = 1.0 + i + 2.0 * j; // would factor if the shapes fitted
      }
    }
    t::poison(f, 1);
    Seq<unsigned int> p(r.pn);
    t::poison(p, 2);
    double parity;
    t::set_bits(parity, 0x7ffd0000000000bbULL);
    const t::Snapshot as = t::snap(a), fs = t::snap(f), ps = t::snap(p);
    EXPECT_EQ(-1, a.LU(f, p, parity));
    EXPECT_UNTOUCHED(fs, f);
    EXPECT_UNTOUCHED(ps, p);
    EXPECT_EQ(0x7ffd0000000000bbULL, t::bits(parity)) << "parity written";
    EXPECT_UNTOUCHED(as, a);
  }
}

TEST(LuResults, MinusOneInPlaceTouchesNothing) {
  Matrix_d m = t::mat({{1, 2, 3}, {4, 5, 6}});
  Seq<unsigned int> p(3);
  t::poison(p, 2);
  double parity = 7.0;
  const t::Snapshot ms = t::snap(m), ps = t::snap(p);
  EXPECT_EQ(-1, m.LU(m, p, parity));
  EXPECT_UNTOUCHED(ms, m);
  EXPECT_UNTOUCHED(ps, p);
  EXPECT_BITS(7.0, parity);
}

// Result 0: every row is scaled before any elimination, so the target holds
// the plain copy (bit for bit, signed zeros and NaN payloads included), the
// parity is 1.0 and the permutation is untouched, wherever the row is.
TEST(LuResults, ZeroRowGivesZeroWithTheCopyParityOneAndPermutationUntouched) {
  const double nan_payload = t::from_bits(0x7ff8000000001234ULL);
  const std::vector<std::vector<std::vector<double>>> sources = {
      {{0, 0}, {1, 1}},                                  // the documented example
      {{1, 2}, {0, 0}},                                  // zero row last
      {{2, 1, 1}, {4, -6, 0}, {-0.0, 0.0, -0.0}},        // signed zeros, after rows that would eliminate
      {{1, 2, 3}, {nan_payload, 0.0, -0.0}, {7, 8, 10}}, // zeros and a NaN: also no magnitude above 0.0
      {{qnan, qnan}, {1, 2}},                            // only NaNs
      {{0.0}},
      {{-0.0}},
      {{qnan}},
  };
  for (const auto &src : sources) {
    const Matrix_d a = from(src);
    const unsigned int n = a.SizeRow();
    SCOPED_TRACE(testing::Message() << n << "x" << n << " source, element (0, 0) " << t::show(a(0, 0)));
    Matrix_d f(n, n);
    t::poison(f, 1);
    Seq<unsigned int> p(n);
    t::poison(p, 2);
    const t::Snapshot ps = t::snap(p);
    double parity;
    t::set_bits(parity, 0x7ffd0000000000ccULL);
    EXPECT_EQ(0, a.LU(f, p, parity));
    EXPECT_TRUE(t::snap(a) == t::snap(f)) << "the target is not the plain copy";
    EXPECT_BITS(1.0, parity);
    EXPECT_UNTOUCHED(ps, p);

    Matrix_d m(a);
    t::poison(p, 3);
    const t::Snapshot ps3 = t::snap(p);
    parity = -1.0;
    EXPECT_EQ(0, m.LU(m, p, parity)) << "in place";
    EXPECT_TRUE(t::snap(a) == t::snap(m)) << "in place: the matrix changed";
    EXPECT_BITS(1.0, parity);
    EXPECT_UNTOUCHED(ps3, p);
    EXPECT_TRUE(a.IsSingular());
  }
}

TEST(LuResults, EmptyAndOneByOne) {
  const Matrix_d e(0, 0);
  Matrix_d f(0, 0);
  Seq<unsigned int> p0(0);
  double parity = -7.0;
  EXPECT_EQ(1, e.LU(f, p0, parity));
  EXPECT_BITS(1.0, parity);

  const double xs[] = {-3.5, 0x1p-1074, -0x1.fffffffffffffp+1023, inf, 1e-20};
  for (double x : xs) {
    const Matrix_d a = t::mat({{x}});
    Matrix_d g(1, 1);
    t::poison(g, 1);
    Seq<unsigned int> p(1);
    t::poison(p, 2);
    parity = -7.0;
    EXPECT_EQ(1, a.LU(g, p, parity)) << t::show(x);
    EXPECT_BITS(x, g(0, 0));
    EXPECT_EQ(0u, p[0]);
    EXPECT_BITS(1.0, parity);
  }
}

// ---- Pivot choices outside the worked table ----------------------------------------

// Both rows' largest magnitude is 2^-1074, whose reciprocal overflows: both
// scale entries are inf, so both candidates of column 0 (zeros) have scaled
// magnitude 0 x inf = NaN and none qualifies. The library's choice: row j
// itself. The zero pivot then becomes 1e-20.
TEST(LuPivot, NoQualifyingCandidateKeepsRowJ) {
  const Matrix_d a = t::mat({{0.0, 0x1p-1074}, {0.0, 0x1p-1074}});
  Matrix_d f(2, 2);
  Seq<unsigned int> p(2);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  EXPECT_TRUE(t::same_perm({0, 1}, p));
  EXPECT_BITS(1.0, parity);
  EXPECT_SAME(t::mat({{E20, 0x1p-1074}, {0.0, 0x1p-1074}}), f);
}

// NaN candidates never qualify, in either column: no exchange.
TEST(LuPivot, NaNColumnKeepsRowJ) {
  const Matrix_d a = t::mat({{qnan, 1.0}, {qnan, 1.0}});
  Matrix_d f(2, 2);
  Seq<unsigned int> p(2);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  EXPECT_TRUE(t::same_perm({0, 1}, p));
  EXPECT_BITS(1.0, parity);
  EXPECT_TRUE(std::isnan(f(0, 0)));
  EXPECT_BITS(1.0, f(0, 1));
  EXPECT_TRUE(std::isnan(f(1, 0)));
  EXPECT_TRUE(std::isnan(f(1, 1)));
}

// An infinite element makes its row's scale entry 0; inf x 0 is NaN, so
// that row never qualifies, and in column 1 (after the exchange carried the
// 0 scale entry down) no candidate does: row j stays.
TEST(LuPivot, InfiniteElement) {
  const Matrix_d a = t::mat({{inf, 1.0}, {1.0, 1.0}});
  Matrix_d f(2, 2);
  Seq<unsigned int> p(2);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  EXPECT_TRUE(t::same_perm({1, 1}, p));
  EXPECT_BITS(-1.0, parity);
  EXPECT_SAME(t::mat({{1.0, 1.0}, {inf, -inf}}), f);
}

// ---- LUs ------------------------------------------------------------------------------

void expect_solution(const Matrix_d &f, std::initializer_list<unsigned int> perm,
                     std::initializer_list<double> rhs, std::initializer_list<double> x) {
  Seq<unsigned int> p = t::perm(perm);
  Vector<double> b = t::vec(rhs);
  const t::Snapshot fs = t::snap(f), ps = t::snap(p);
  f.LUs(p, b);
  EXPECT_SAME(t::vec(x), b);
  EXPECT_UNTOUCHED(fs, f);
  EXPECT_UNTOUCHED(ps, p);
}

// The documented factors, written by hand.
TEST(LuSolve, PartWorkedValues) {
  const Matrix_d f12 = t::mat({{3.0, 4.0}, {0.3333333333333333, 0.6666666666666667}});
  expect_solution(f12, {1, 1}, {1, 0}, {-1.9999999999999998, 1.4999999999999998});
  // The second entry is -0.4999999999999999 (0.5 - 2^-53), not
  // -0.49999999999999994: the quotient is rounded to extended (onto a
  // midpoint) and then to double (tie to even). Catches a quotient rounded
  // once and a multiplication by the reciprocal.
  expect_solution(f12, {1, 1}, {0, 1}, {0.9999999999999999, -0.4999999999999999});
  const Matrix_d f43 = t::mat({{4.0, 3.0}, {1.5, -1.5}});
  expect_solution(f43, {0, 1}, {1, 0}, {-0.5, 1.0});
  expect_solution(f43, {0, 1}, {0, 1}, {0.5, -0.6666666666666666});
}

// [u] with permutation (0): b becomes b / u, rounded twice. These operands
// are those of the last step above: catches a quotient rounded once.
TEST(LuSolve, OneByOneIsTheDoubleRoundedQuotient) {
  expect_solution(t::mat({{0x1.5555555555556p-1}}), {0}, {-0x1.5555555555555p-2}, {-0x1.ffffffffffffep-2});
  expect_solution(t::mat({{-4.0}}), {0}, {0.0}, {-0.0});
  expect_solution(t::mat({{3.0}}), {0}, {1.0}, {0x1.5555555555555p-2});
}

TEST(LuSolve, EmptySystemDoesNothing) {
  const Matrix_d f(0, 0);
  Seq<unsigned int> p(0);
  Vector<double> b(0);
  f.LUs(p, b);
  EXPECT_EQ(0u, b.Size());
}

// Shapes that do not fit: silent return, nothing changed.
TEST(LuSolve, ShapesThatDoNotFitLeaveTheRightHandSideAsItWas) {
  struct Case {
    unsigned int fr, fc, pn, bn;
  };
  const Case cases[] = {
      {2, 3, 3, 3}, // 1: factors not square
      {3, 2, 2, 2}, // 1: factors not square
      {2, 2, 3, 2}, // 2: permutation too long
      {2, 2, 1, 2}, // 2: permutation too short
      {2, 2, 2, 3}, // 3: rhs too long
      {2, 2, 2, 1}, // 3: rhs too short
      {0, 0, 0, 1}, // 3
  };
  for (const Case &c : cases) {
    Matrix_d f(c.fr, c.fc);
    for (unsigned int i = 0; i < c.fr; ++i) {
      for (unsigned int j = 0; j < c.fc; ++j) {
        f(i, j) = 1.0 + i + j;
      }
    }
    Seq<unsigned int> p(c.pn);
    for (unsigned int i = 0; i < c.pn; ++i) {
      p[i] = 0; // a valid exchange list, should anything use it
    }
    Vector<double> b(c.bn);
    t::poison(b, 4);
    const t::Snapshot bs = t::snap(b), ps = t::snap(p), fs = t::snap(f);
    f.LUs(p, b);
    EXPECT_EQ(c.bn, b.Size());
    EXPECT_UNTOUCHED(bs, b) << c.fr << "x" << c.fc << ", p " << c.pn << ", b " << c.bn;
    EXPECT_UNTOUCHED(ps, p);
    EXPECT_UNTOUCHED(fs, f);
  }
}

// The forward pass forms no products for the rows before the first
// non-zero value, so infinities and NaNs in L there cannot reach the
// solution. Forming them would give inf x 0 or NaN x 0 = NaN.
TEST(LuSolve, LeadingZerosFormNoProducts) {
  const Matrix_d f2 = t::mat({{2.0, 0.0}, {qnan, 4.0}});
  expect_solution(f2, {0, 1}, {0.0, 8.0}, {0.0, 2.0});
  const Matrix_d f3 = t::mat({{1.0, 0.0, 0.0}, {inf, 1.0, 0.0}, {-inf, 2.0, 1.0}});
  expect_solution(f3, {0, 1, 2}, {0.0, 1.0, 1.0}, {0.0, 1.0, -1.0});
  // All zeros: no product at all in the forward pass.
  expect_solution(f3, {0, 1, 2}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  // The zeros may come from the exchanges: with exchanges (2, 2, 2), the
  // right-hand side (1, 0, 0) becomes (0, 1, 0) before row 1 is reduced.
  expect_solution(f3, {2, 2, 2}, {1.0, 0.0, 0.0}, {0.0, 1.0, -2.0});
}

// -0.0 counts as zero for the first non-zero index: no product for row 1.
// Forming it would turn -0.0 into -0.0 - (-1 x +0.0) = +0.0.
TEST(LuSolve, NegativeZeroCountsAsZero) {
  const Matrix_d a = t::mat({{1.0, 1.0}, {-1.0, 2.0}});
  Matrix_d f(2, 2);
  Seq<unsigned int> p(2);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  EXPECT_SAME(t::mat({{1.0, 1.0}, {-1.0, 3.0}}), f);
  Vector<double> b = t::vec({0.0, -0.0});
  f.LUs(p, b);
  EXPECT_SAME(t::vec({0.0, -0.0}), b);
}

// A NaN counts as non-zero: row 1 then forms its product with it.
TEST(LuSolve, NaNCountsAsNonZero) {
  const Matrix_d f = t::mat({{1.0, 0.0}, {2.0, 1.0}});
  Seq<unsigned int> p = t::perm({0, 1});
  Vector<double> b = t::vec({qnan, 1.0});
  f.LUs(p, b);
  EXPECT_TRUE(std::isnan(b[0]));
  EXPECT_TRUE(std::isnan(b[1])) << "row 1 did not take the NaN's term";
}

// ---- det, inv, IsSingular --------------------------------------------------------------

TEST(Determinant, SpecialShapesAndZeroRows) {
  EXPECT_BITS(1.0, Matrix_d(0, 0).det());
  EXPECT_BITS(-3.5, t::mat({{-3.5}}).det());
  // Result 0 of LU: 1.0 times the unfactored diagonal, from the top.
  EXPECT_BITS(0.0, t::mat({{2, 0}, {0, 0}}).det());
  EXPECT_BITS(-0.0, t::mat({{-2, 1}, {0, 0}}).det());
  EXPECT_BITS(0.0, t::mat({{-2, 1, 0}, {5, -3, 0}, {0, 0, 0}}).det());
  EXPECT_BITS(-0.0, t::mat({{0, 0, 0}, {5, -3, 0}, {1, 1, 1}}).det());
  // The library's choice for a non-square matrix: a quiet NaN.
  EXPECT_TRUE(t::quiet_nan_bits(t::bits(t::mat({{1, 2, 3}, {4, 5, 6}}).det())));
  const double d31 = t::mat({{1}, {2}, {3}}).det();
  EXPECT_TRUE(t::quiet_nan_bits(t::bits(d31)));
  const double d02 = Matrix_d(0, 2).det();
  EXPECT_TRUE(t::quiet_nan_bits(t::bits(d02)));
}

TEST(Inverse, SpecialShapes) {
  const Matrix_d e = Matrix_d(0, 0).inv();
  EXPECT_EQ(0u, e.SizeRow());
  EXPECT_EQ(0u, e.SizeCol());
  EXPECT_SAME(t::mat({{0.2}}), t::mat({{5.0}}).inv());
  EXPECT_SAME(t::mat({{0x1.5555555555555p-2}}), t::mat({{3.0}}).inv());
  // The library's choice when LU does not return 1: R x C quiet NaNs.
  const Matrix_d n23 = t::mat({{1, 2, 3}, {4, 5, 6}}).inv();
  EXPECT_EQ(2u, n23.SizeRow());
  EXPECT_EQ(3u, n23.SizeCol());
  EXPECT_TRUE(t::all_quiet_nan(n23));
  const Matrix_d n0 = t::mat({{1, 2}, {0, 0}}).inv();
  EXPECT_EQ(2u, n0.SizeRow());
  EXPECT_EQ(2u, n0.SizeCol());
  EXPECT_TRUE(t::all_quiet_nan(n0));
  const Matrix_d n20 = Matrix_d(2, 0).inv();
  EXPECT_EQ(2u, n20.SizeRow());
  EXPECT_EQ(0u, n20.SizeCol());
}

TEST(Singularity, ExactlyTheZeroRowTest) {
  EXPECT_FALSE(Matrix_d(0, 0).IsSingular());
  EXPECT_FALSE(t::mat({{1, 1}, {1, 1}}).IsSingular());
  EXPECT_FALSE(t::mat({{1, 2}, {2, 4}}).IsSingular());
  EXPECT_TRUE(t::mat({{2, 0}, {0, 0}}).IsSingular());
  EXPECT_TRUE(t::mat({{-2, 1}, {0, 0}}).IsSingular());
  EXPECT_TRUE(t::mat({{0, 0}, {1, 1}}).IsSingular());
  EXPECT_TRUE(t::mat({{qnan, -0.0}, {1, 1}}).IsSingular());
  EXPECT_FALSE(t::mat({{1, 2, 3}, {4, 5, 6}}).IsSingular());
  EXPECT_FALSE(t::mat({{0x1p-1074}}).IsSingular());
  EXPECT_TRUE(t::mat({{0.0}}).IsSingular());
}

TEST(Determinant, MembersLeaveTheMatrixUnchanged) {
  const Matrix_d a = t::mat({{1, 2, -0.0}, {3, 4, 5}, {6, qnan, 8}});
  const t::Snapshot before = t::snap(a);
  (void)a.det();
  (void)a.inv();
  (void)a.IsSingular();
  EXPECT_UNTOUCHED(before, a);
}

} // namespace
