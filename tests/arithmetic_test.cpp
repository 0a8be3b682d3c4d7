// Matrix arithmetic: the shape tests of the named operations (a
// refused call writes nothing, checked bit for bit), in-place use, the
// operators' result shapes and their NaN fill, and the rounding rule of
// every kernel with its exact expected bits.
//
// Each numeric test below says which rounding mistake it catches. The
// expected values were computed with an exact rational model of "round to
// the 64-bit significand, then to double on every store"; the wrong values
// quoted in the comments are what the named mistake produces.
#include <vector>

#include "support.h"

namespace {

using t::inf;
using t::qnan;

// The scalar pair of issue 3: their product is 0x1.1d7df7de23b03|8p+1 plus
// a little, so rounded once it is ...b03; rounded to the 64-bit significand
// first it lands exactly on the midpoint ...b03|8 (the product's excess is
// below the extended half-ulp), and the tie then goes to the even ...b04.
const double A = 0x1.269191784d232p+0;
const double B = 0x1.f0394511e0728p+0;
const double P = 0x1.1d7df7de23b04p+1; // A * B rounded twice
const double P_ONCE = 0x1.1d7df7de23b03p+1;

// Rounded to extended, A * B is exactly P - 2^-52 (that midpoint).

// A row times a column, through all four product kernels that take it: the
// matrix product (named and operator) and the matrix-vector product (named
// and operator). Each must give the expected bits.
void expect_dot(double expected, const std::vector<double> &row, const std::vector<double> &col) {
  const unsigned int n = static_cast<unsigned int>(row.size());
  Matrix_d a(1, n), b(n, 1), res(1, 1);
  Vector<double> x(n), y(1);
  unsigned int k = 0;
  for (double v : row) {
    a(0, k++) = v;
  }
  k = 0;
  for (double v : col) {
    b(k, 0) = v;
    x[k++] = v;
  }
  t::poison(res, 1);
  t::poison(y, 2);
  ASSERT_TRUE(a.Molt(res, b));
  EXPECT_BITS(expected, res(0, 0)) << "Molt(Matrix_d &, const Matrix_d &)";
  ASSERT_TRUE(a.Molt(y, x));
  EXPECT_BITS(expected, y[0]) << "Molt(Vector<double> &, const Vector<double> &)";
  const Matrix_d op = a * b;
  ASSERT_EQ(1u, op.SizeRow());
  ASSERT_EQ(1u, op.SizeCol());
  EXPECT_BITS(expected, op(0, 0)) << "operator*(const Matrix_d &)";
  const Vector<double> opv = a * x;
  ASSERT_EQ(1u, opv.Size());
  EXPECT_BITS(expected, opv[0]) << "operator*(const Vector<double> &)";
}

// ---- Shape tests: refusal writes nothing ------------------------------------

struct Shape3 {
  unsigned int ar, ac, br, bc, rr, rc;
};

// Sum and Sub: each of the four tests fails alone in one case (1. res and b
// columns, 2. res and b rows, 3. *this and res columns, 4. *this and res
// rows); the last cases fail several at once.
const Shape3 sum_refusals[] = {
    {2, 3, 2, 4, 2, 3}, // test 1 alone
    {2, 3, 3, 3, 2, 3}, // test 2 alone
    {2, 4, 2, 3, 2, 3}, // test 3 alone
    {3, 3, 2, 3, 2, 3}, // test 4 alone
    {2, 3, 3, 2, 2, 3}, // tests 1 and 2
    {2, 3, 2, 3, 3, 2}, // all four
    {0, 3, 0, 3, 3, 0}, // 0x3 + 0x3 into 3x0
    {1, 1, 1, 1, 0, 0},
};

TEST(ArithmeticShapes, SumAndSubRefuseEachFailedTestAndWriteNothing) {
  for (int op = 0; op < 2; ++op) {
    for (const Shape3 &s : sum_refusals) {
      Matrix_d a(s.ar, s.ac), b(s.br, s.bc), res(s.rr, s.rc);
      t::poison(a, 1);
      t::poison(b, 2);
      t::poison(res, 3);
      const t::Snapshot sa = t::snap(a), sb = t::snap(b), sr = t::snap(res);
      const bool ok = op == 0 ? a.Sum(res, b) : a.Sub(res, b);
      SCOPED_TRACE(testing::Message() << (op == 0 ? "Sum" : "Sub") << " a " << s.ar << "x" << s.ac << ", b "
                                      << s.br << "x" << s.bc << ", res " << s.rr << "x" << s.rc);
      EXPECT_FALSE(ok);
      EXPECT_UNTOUCHED(sr, res);
      EXPECT_UNTOUCHED(sa, a);
      EXPECT_UNTOUCHED(sb, b);
    }
  }
}

TEST(ArithmeticShapes, SumAndSubAcceptEqualShapesIncludingEmptyOnes) {
  const unsigned int shapes[][2] = {{0, 0}, {0, 3}, {3, 0}, {1, 1}, {2, 3}};
  for (const auto &s : shapes) {
    Matrix_d a(s[0], s[1]), b(s[0], s[1]), res(s[0], s[1]);
    a.Zero();
    b.Zero();
    t::poison(res, 3);
    EXPECT_TRUE(a.Sum(res, b)) << s[0] << "x" << s[1];
    EXPECT_TRUE(a.Sub(res, b)) << s[0] << "x" << s[1];
  }
}

TEST(ArithmeticShapes, NegAndScalarMoltRefuseAnotherShapeAndWriteNothing) {
  const unsigned int targets[][2] = {{3, 2}, {2, 2}, {3, 3}, {0, 0}, {2, 0}, {0, 3}};
  for (const auto &t : targets) {
    Matrix_d a = t::mat({{1, 2, 3}, {4, 5, 6}});
    Matrix_d res(t[0], t[1]);
    t::poison(res, 3);
    const t::Snapshot sa = t::snap(a), sr = t::snap(res);
    EXPECT_FALSE(a.Neg(res)) << t[0] << "x" << t[1];
    EXPECT_UNTOUCHED(sr, res);
    EXPECT_FALSE(a.Molt(res, 2.0)) << t[0] << "x" << t[1];
    EXPECT_UNTOUCHED(sr, res);
    EXPECT_UNTOUCHED(sa, a);
  }
}

// The matrix product's three tests: 1. columns of *this == rows of b;
// 2. rows of res == rows of *this; 3. columns of res == columns of b.
const Shape3 molt_refusals[] = {
    {2, 3, 2, 4, 2, 4}, // test 1 alone
    {2, 3, 3, 4, 3, 4}, // test 2 alone
    {2, 3, 3, 4, 2, 5}, // test 3 alone: 2x3 by 3x4 into 2x5
    {2, 3, 4, 3, 3, 3}, // all three
    {2, 0, 0, 3, 2, 0}, // test 3 alone, empty sums
    {0, 0, 0, 0, 1, 0}, // test 2 alone
};

TEST(ArithmeticShapes, MatrixProductRefusesEachFailedTestAndWritesNothing) {
  for (const Shape3 &s : molt_refusals) {
    Matrix_d a(s.ar, s.ac), b(s.br, s.bc), res(s.rr, s.rc);
    t::poison(a, 1);
    t::poison(b, 2);
    t::poison(res, 3);
    const t::Snapshot sa = t::snap(a), sb = t::snap(b), sr = t::snap(res);
    SCOPED_TRACE(testing::Message() << "a " << s.ar << "x" << s.ac << ", b " << s.br << "x" << s.bc
                                    << ", res " << s.rr << "x" << s.rc);
    EXPECT_FALSE(a.Molt(res, b));
    EXPECT_UNTOUCHED(sr, res);
    EXPECT_UNTOUCHED(sa, a);
    EXPECT_UNTOUCHED(sb, b);
  }
}

TEST(ArithmeticShapes, VectorProductRefusesEachFailedTestAndKeepsTheTarget) {
  // 1. columns == x.Size(); 2. y.Size() == rows.
  const unsigned int cases[][4] = {              // a rows, a cols, x size, y size
                                   {2, 3, 2, 2}, // test 1 alone
                                   {2, 3, 3, 3}, // test 2 alone: y of the wrong length
                                   {2, 3, 4, 1}, // both
                                   {3, 0, 0, 2}, // test 2 alone, empty rows
                                   {0, 2, 2, 1}};
  for (const auto &c : cases) {
    Matrix_d a(c[0], c[1]);
    Vector<double> x(c[2]), y(c[3]);
    t::poison(a, 1);
    t::poison(x, 2);
    t::poison(y, 3);
    const t::Snapshot sa = t::snap(a), sx = t::snap(x), sy = t::snap(y);
    SCOPED_TRACE(testing::Message() << "a " << c[0] << "x" << c[1] << ", x " << c[2] << ", y " << c[3]);
    EXPECT_FALSE(a.Molt(y, x));
    EXPECT_EQ(c[3], y.Size()) << "y resized";
    EXPECT_UNTOUCHED(sy, y);
    EXPECT_UNTOUCHED(sx, x);
    EXPECT_UNTOUCHED(sa, a);
  }
}

// ---- In-place use ------------------------------------------------------------

TEST(ArithmeticInPlace, SumOfAWithItselfDoublesEveryElement) {
  Matrix_d a = t::mat({{1.5, -0.0, 0x1.fffffffffffffp+1023}, {-inf, 0x1p-1074, 3.0}});
  ASSERT_TRUE(a.Sum(a, a));
  EXPECT_SAME(t::mat({{3.0, -0.0, inf}, {-inf, 0x1p-1073, 6.0}}), a);
}

TEST(ArithmeticInPlace, SubOfAFromItselfGivesPositiveZeroForFiniteElements) {
  Matrix_d a = t::mat({{1.5, -0.0, 0.0}, {0x1p-1074, -7.0, inf}});
  ASSERT_TRUE(a.Sub(a, a));
  EXPECT_BITS(0.0, a(0, 0));
  EXPECT_BITS(0.0, a(0, 1)); // -0 - -0 is +0
  EXPECT_BITS(0.0, a(0, 2));
  EXPECT_BITS(0.0, a(1, 0));
  EXPECT_BITS(0.0, a(1, 1));
  EXPECT_TRUE(std::isnan(a(1, 2))); // inf - inf
}

TEST(ArithmeticInPlace, ScalarMoltAndNegIntoTheOperand) {
  Matrix_d a = t::mat({{1.5, -0.0}, {0.0, -3.0}});
  ASSERT_TRUE(a.Molt(a, 2.0));
  EXPECT_SAME(t::mat({{3.0, -0.0}, {0.0, -6.0}}), a);
  ASSERT_TRUE(a.Neg(a));
  EXPECT_SAME(t::mat({{-3.0, 0.0}, {-0.0, 6.0}}), a);
}

TEST(ArithmeticInPlace, TheRightOperandAsTarget) {
  const Matrix_d a = t::mat({{10.0, 20.0}, {30.0, 40.0}});
  Matrix_d b = t::mat({{1.0, 2.0}, {3.0, 4.0}});
  ASSERT_TRUE(a.Sum(b, b));
  EXPECT_SAME(t::mat({{11.0, 22.0}, {33.0, 44.0}}), b);
  ASSERT_TRUE(a.Sub(b, b));
  EXPECT_SAME(t::mat({{-1.0, -2.0}, {-3.0, -4.0}}), b);
  Matrix_d c = t::mat({{1.0, 2.0}, {3.0, 4.0}});
  ASSERT_TRUE(c.Sub(c, a)); // *this as target
  EXPECT_SAME(t::mat({{-9.0, -18.0}, {-27.0, -36.0}}), c);
}

// ---- Operators -----------------------------------------------------------------

TEST(ArithmeticOperators, ResultsHaveThePrescribedShapesAndTheNamedValues) {
  const Matrix_d a = t::mat({{1, 2, 3}, {4, 5, 6}});
  const Matrix_d b = t::mat({{0.5, -1, 2}, {8, 0.25, -0.0}});
  const Matrix_d c = t::mat({{1, 0, 0, 2}, {0, 1, 0, 3}, {0, 0, 1, 4}});
  const Vector<double> x = t::vec({1, 10, 100});

  Matrix_d named(2, 3);
  ASSERT_TRUE(a.Sum(named, b));
  EXPECT_SAME(named, a + b);
  ASSERT_TRUE(a.Sub(named, b));
  EXPECT_SAME(named, a - b);
  ASSERT_TRUE(a.Neg(named));
  EXPECT_SAME(named, -a);
  ASSERT_TRUE(a.Molt(named, 3.0));
  EXPECT_SAME(named, a * 3.0);
  EXPECT_SAME(t::mat({{1, 2, 3, 20}, {4, 5, 6, 47}}), a * c); // 2x3 by 3x4 is 2x4
  EXPECT_SAME(t::vec({321, 654}), a * x);
}

TEST(ArithmeticOperators, OperandsThatDoNotFitGiveThePrescribedShapeFullOfQuietNaN) {
  const Matrix_d a = t::mat({{1, 2, 3}, {4, 5, 6}}); // 2x3
  const Matrix_d b = t::mat({{1, 2}, {3, 4}});       // 2x2
  const Matrix_d c(3, 4);
  const Vector<double> x = t::vec({1, 2});

  const Matrix_d sum = a + b;
  EXPECT_EQ(2u, sum.SizeRow());
  EXPECT_EQ(3u, sum.SizeCol());
  EXPECT_TRUE(t::all_quiet_nan(sum));
  const Matrix_d dif = a - b;
  EXPECT_EQ(2u, dif.SizeRow());
  EXPECT_EQ(3u, dif.SizeCol());
  EXPECT_TRUE(t::all_quiet_nan(dif));
  // R x b.SizeCol() even though C != b.SizeRow(): 2x3 times 2x2 is 2x2.
  const Matrix_d prod = a * b;
  EXPECT_EQ(2u, prod.SizeRow());
  EXPECT_EQ(2u, prod.SizeCol());
  EXPECT_TRUE(t::all_quiet_nan(prod));
  // 3x4 times 2x3 is an (unspecified) 3x3.
  const Matrix_d ca = c * a;
  EXPECT_EQ(3u, ca.SizeRow());
  EXPECT_EQ(3u, ca.SizeCol());
  EXPECT_TRUE(t::all_quiet_nan(ca));
  const Vector<double> y = a * x;
  EXPECT_EQ(2u, y.Size());
  EXPECT_TRUE(t::all_quiet_nan(y));
  // The operands are only read.
  EXPECT_SAME(t::mat({{1, 2, 3}, {4, 5, 6}}), a);
}

TEST(ArithmeticOperators, EmptyResults) {
  const Matrix_d e03(0, 3), e30(3, 0), e20(2, 0), e02(0, 2);
  const Vector<double> none(0);
  EXPECT_SAME(Matrix_d(0, 3), e03 + e03);
  EXPECT_SAME(Matrix_d(3, 0), -e30);
  EXPECT_SAME(Matrix_d(0, 0), e02 * e20);
  EXPECT_SAME(Matrix_d(0, 3), e02 * Matrix_d(2, 3));
  const Matrix_d z = e20 * e03; // 2x0 by 0x3: empty sums
  EXPECT_SAME(t::mat({{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}), z);
  EXPECT_SAME(t::vec({0.0, 0.0, 0.0}), e30 * none);
}

// ---- The rounding rule, element-wise ------------------------------------------

// Catches a sum rounded once, straight to double (plain SSE2 double code, or
// an exact sum rounded once): 1 + 2^-53 + 2^-98 is just above the midpoint
// between 1.0 and its successor, so one rounding gives 0x1.0000000000001p+0;
// the extended rounding drops the 2^-98 and lands on the midpoint, whose tie
// goes to the even 1.0.
TEST(ArithmeticRounding, SumRoundsToExtendedThenToDouble) {
  const Matrix_d a = t::mat({{1.0, -1.0}}), b = t::mat({{0x1.0000000000080p-53, -0x1.0000000000080p-53}});
  Matrix_d r(1, 2);
  t::poison(r, 3);
  ASSERT_TRUE(a.Sum(r, b));
  EXPECT_BITS(1.0, r(0, 0));
  EXPECT_BITS(-1.0, r(0, 1));
  EXPECT_SAME(r, a + b);
  ASSERT_TRUE(b.Sum(r, a)); // the other order, same sums
  EXPECT_BITS(1.0, r(0, 0));
}

// Catches a difference rounded once: 1 - 2^-54 - 2^-99 is just below the
// midpoint between 0x1.fffffffffffffp-1 and 1.0, so one rounding gives
// 0x1.fffffffffffffp-1; extended rounding lands on the midpoint (tie to the
// even 1.0).
TEST(ArithmeticRounding, SubRoundsToExtendedThenToDouble) {
  const Matrix_d a = t::mat({{1.0, -0x1.0000000000080p-54}}), b = t::mat({{0x1.0000000000080p-54, -1.0}});
  Matrix_d r(1, 2);
  ASSERT_TRUE(a.Sub(r, b));
  EXPECT_BITS(1.0, r(0, 0));
  EXPECT_BITS(1.0, r(0, 1));
  EXPECT_SAME(r, a - b);
}

// A sum or difference of two doubles that lands in the subnormal range is
// exact (both are multiples of 2^-1074), so no double rounding can show
// there. Catches a flush of subnormal results to zero (which gives -0.0).
TEST(ArithmeticRounding, SubnormalDifferencesAreExact) {
  const Matrix_d a = t::mat({{0x1p-1022, 0x1.0000000000001p-1022}}),
                 b = t::mat({{0x1.0000000000001p-1022, -0x0.8p-1022}});
  Matrix_d r(1, 2);
  ASSERT_TRUE(a.Sub(r, b));
  EXPECT_BITS(-0x0.0000000000001p-1022, r(0, 0));
  EXPECT_BITS(0x1.8000000000001p-1022, r(0, 1));
  ASSERT_TRUE(a.Sum(r, -b));
  EXPECT_BITS(-0x0.0000000000001p-1022, r(0, 0));
}

// Catches a scalar product rounded once (SSE2, or a fused multiply-add with
// +0.0): that gives P_ONCE = 0x1.1d7df7de23b03p+1 (see A and B above).
TEST(ArithmeticRounding, ScalarProductRoundsToExtendedThenToDouble) {
  const Matrix_d b = t::mat({{B, -B}});
  Matrix_d r(1, 2);
  ASSERT_TRUE(b.Molt(r, A));
  EXPECT_BITS(P, r(0, 0));
  EXPECT_BITS(-P, r(0, 1));
  EXPECT_NE(t::bits(P_ONCE), t::bits(r(0, 0)));
  EXPECT_SAME(r, b * A);
}

// The second rounding may be to fewer than 53 bits. The exact product is
// (2.5 + 2^-66.6...) x 2^-1074: rounded once to a subnormal double it gives
// 3 x 2^-1074 (0x0.0000000000003p-1022); the extended format holds it as
// exactly 2.5 x 2^-1074 (its exponent range is wide, so it keeps 64 bits
// there), and the store's tie goes to the even 2 x 2^-1074. Catches single
// rounding into the subnormal range.
TEST(ArithmeticRounding, ScalarProductRoundsTwiceIntoTheSubnormalRange) {
  const Matrix_d b = t::mat({{0x1.3977f1c64e594p-573}});
  Matrix_d r(1, 1);
  ASSERT_TRUE(b.Molt(r, 0x1.055584098d9b5p-500));
  EXPECT_BITS(0x0.0000000000002p-1022, r(0, 0));
}

// Catches a shortcut for s == 0 or s == 1 (and a zero-filling one above
// all): 0 * inf and 0 * NaN are NaN, and the signs of zero products follow
// the factors.
TEST(ArithmeticRounding, ScalarProductTakesNoShortcut) {
  const Matrix_d a = t::mat({{inf, -inf, qnan, 1.0, -1.0, -0.0}});
  Matrix_d r(1, 6);
  ASSERT_TRUE(a.Molt(r, 0.0));
  EXPECT_TRUE(std::isnan(r(0, 0)));
  EXPECT_TRUE(std::isnan(r(0, 1)));
  EXPECT_TRUE(std::isnan(r(0, 2)));
  EXPECT_BITS(0.0, r(0, 3));
  EXPECT_BITS(-0.0, r(0, 4));
  EXPECT_BITS(-0.0, r(0, 5));
  ASSERT_TRUE(a.Molt(r, -0.0));
  EXPECT_BITS(-0.0, r(0, 3));
  EXPECT_BITS(0.0, r(0, 4));
  EXPECT_BITS(0.0, r(0, 5));
  ASSERT_TRUE(a.Molt(r, 1.0));
  EXPECT_BITS(inf, r(0, 0));
  EXPECT_BITS(-0.0, r(0, 5));
}

// Catches a negation written as 0.0 - x, which gives +0.0 for +0.0: Neg
// flips the sign bit only, also of a NaN (its payload kept).
TEST(ArithmeticRounding, NegFlipsOnlyTheSign) {
  Matrix_d a(1, 5);
  a(0, 0) = 0.0;
  a(0, 1) = -0.0;
  a(0, 2) = inf;
  a(0, 3) = 0x1p-1074;
  t::set_bits(a(0, 4), 0x7ff8000000012345ULL);
  Matrix_d r(1, 5);
  ASSERT_TRUE(a.Neg(r));
  EXPECT_BITS(-0.0, r(0, 0));
  EXPECT_BITS(0.0, r(0, 1));
  EXPECT_BITS(-inf, r(0, 2));
  EXPECT_BITS(-0x1p-1074, r(0, 3));
  EXPECT_EQ(0xfff8000000012345ULL, t::bits(r(0, 4)));
  EXPECT_SAME(r, -a);
}

// ---- The rounding rule, products -------------------------------------------------

// A row times a column through every product kernel, each case with the
// mistake it catches (A, B and P as above).
struct Dot {
  const char *catches;
  double expected;
  std::vector<double> row, col;
};
// clang-format off
const Dot dots[] = {
  // The documented example: 1e16 + 1 is exact with a 64-bit significand, so
  // a sum carried in extended ends at 1.0; rounded to double after each
  // term, the 1.0 is lost (1e16 + 1 is a tie, to the even 1e16).
  {"running sum carried in extended", 0.0, {1e16, 1.0, -1e16}, {1.0, 1.0, 1.0}},
  // Descending k cancels -1e16 + 1e16 first and gives 1.0.
  {"terms not in ascending k", 0.0, {1.0, 1e16, -1e16}, {1.0, 1.0, 1.0}},
  {"terms not in ascending k", 1.0, {1e16, -1e16, 1.0}, {1.0, 1.0, 1.0}},
  // Straight to double (SSE2), or a fused multiply-add onto +0.0: P_ONCE.
  {"product rounded once", P, {A}, {B}},
  {"product rounded once", -P, {-A}, {B}},
  // The second term makes the sum 1 + 2^-53 + 2^-98, as in
  // SumRoundsToExtendedThenToDouble.
  {"term plus running sum rounded once", 1.0, {1.0, 1.0}, {1.0, 0x1.0000000000080p-53}},
  // The first term puts -P into the sum, the second adds A * B: -2^-52. A
  // fused multiply-add keeps the whole product (-0x1.001753da3ca30p-52); a
  // product rounded to double first gives ...b03 - ...b04 = -0x1p-51.
  {"fused multiply-add", -0x1p-52, {-1.0, A}, {P, B}},
  // The first term leaves P in the sum, the second subtracts P: +0.0.
  // Carried in extended the sum is P - 2^-52 and the result -0x1p-52;
  // rounded straight to double it is ...b03 and the result -0x1p-51.
  {"running sum carried in extended, last bit", 0.0, {A, -1.0}, {B, P}},
  // A single term -0.0 * 1 added to the empty +0.0 gives +0.0; a sum
  // started from -0.0 would keep the sign.
  {"empty sum started from -0.0", 0.0, {-0.0}, {1.0}},
  {"empty sum started from -0.0", 0.0, {-0.0, -0.0}, {1.0, 1.0}},
};
// clang-format on

TEST(ArithmeticRounding, DotProductsRoundEveryTermAndSumTwice) {
  for (const Dot &d : dots) {
    SCOPED_TRACE(d.catches);
    expect_dot(d.expected, d.row, d.col);
  }
}

// The same four effects in one 2x2 matrix product, through every product
// kernel. Correct result:
//   [ +0x0p+0                   0x1.41917ad05031cp-1 ]
//   [ 0x1.41917ad05031dp-1      -0x1p-52              ]
// (elements (0, 1) and (1, 0) hold the same two terms in the two orders; the
// first rounds A * P to double before -B comes in, the second does not).
// Wrong results:
//   sum carried in extended:  [[-0x1p-52, ...1dp-1], [...1dp-1, -0x1p-52]]
//   products rounded to double first (SSE2):
//                             [[-0x1p-51, ...1cp-1], [...1cp-1, -0x1p-51]]
//   fused multiply-add:       [[-0x1p-51, ...1cp-1], [...1dp-1, -0x1.001753da3ca30p-52]]
//   terms in descending k:    [[-0x1p-52, ...1dp-1], [...1cp-1, +0x0p+0]]
TEST(ArithmeticRounding, TwoByTwoProductShowsEveryRoundingPoint) {
  const Matrix_d a = t::mat({{A, -1.0}, {-1.0, A}});
  const Matrix_d b = t::mat({{B, P}, {P, B}});
  const Matrix_d expected = t::mat({{0.0, 0x1.41917ad05031cp-1}, {0x1.41917ad05031dp-1, -0x1p-52}});
  Matrix_d r(2, 2);
  t::poison(r, 4);
  ASSERT_TRUE(a.Molt(r, b));
  EXPECT_SAME(expected, r);
  EXPECT_SAME(expected, a * b);
  for (unsigned int c = 0; c < 2; ++c) {
    const Vector<double> col = t::vec({b(0, c), b(1, c)});
    const Vector<double> y = a * col;
    for (unsigned int i = 0; i < 2; ++i) {
      EXPECT_BITS(expected(i, c), y[i]) << "column " << c;
    }
  }
}

// Catches a shortcut on zero factors in the products: 0 * inf is NaN.
TEST(ArithmeticRounding, ZeroTimesInfinityInAProductIsNaN) {
  const Matrix_d a = t::mat({{0.0, 1.0}});
  const Matrix_d b = t::mat({{inf}, {1.0}});
  const Matrix_d r = a * b;
  EXPECT_TRUE(std::isnan(r(0, 0)));
  const Vector<double> y = a * t::vec({inf, 1.0});
  EXPECT_TRUE(std::isnan(y[0]));
}

// Empty sums are +0.0: every element is written, none keeps old bits, and
// none is -0.0 (a sum started from -0.0 would keep a -0.0 term's sign).
TEST(ArithmeticRounding, EmptySumsArePositiveZero) {
  const Matrix_d a(2, 0), b(0, 3);
  Matrix_d r(2, 3);
  t::poison(r, 5);
  ASSERT_TRUE(a.Molt(r, b));
  EXPECT_SAME(t::mat({{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}), r);

  const Matrix_d c(3, 0);
  const Vector<double> x(0);
  Vector<double> y(3);
  t::poison(y, 6);
  ASSERT_TRUE(c.Molt(y, x));
  EXPECT_SAME(t::vec({0.0, 0.0, 0.0}), y);
}

} // namespace
