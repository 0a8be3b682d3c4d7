// Signalling NaNs through every operation that only moves or negates values:
// their bits must come out unchanged (Neg: the sign bit flipped, nothing
// else), on i386 as on x86-64. An x87 load and store sets the quiet bit, so a
// copy that goes through a floating-point register shows here. Values are
// read and written through references only: passing a double by value could
// itself quiet it on i386 and hide or fake a fault.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "support.h"

namespace {

using t::bits;
using t::set_bits;

const std::uint64_t snan_pos = 0x7ff4000000000001ULL;
const std::uint64_t snan_neg = 0xfff4000000000002ULL;
const std::uint64_t sign = 0x8000000000000000ULL;

std::string hex(std::uint64_t u) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%016" PRIx64, u);
  return buf;
}

// The bits of an element, by reference, in hexadecimal for readable failures.
std::string bits_of(const double &d) { return hex(bits(d)); }

// A 2x3 matrix with both signalling NaNs among ordinary values.
Matrix_d sample() {
  Matrix_d m = t::mat({{1.5, 2.0, -3.0}, {4.0, 5.0, 6.0}});
  set_bits(m(0, 1), snan_pos);
  set_bits(m(1, 2), snan_neg);
  return m;
}

::testing::AssertionResult exact(const Matrix_d &expected, const Matrix_d &actual) {
  if (expected.SizeRow() != actual.SizeRow() || expected.SizeCol() != actual.SizeCol()) {
    return ::testing::AssertionFailure() << "shape differs";
  }
  for (unsigned int r = 0; r < actual.SizeRow(); ++r) {
    for (unsigned int c = 0; c < actual.SizeCol(); ++c) {
      if (bits(expected(r, c)) != bits(actual(r, c))) {
        return ::testing::AssertionFailure()
               << "element (" << r << ", " << c << ") is " << bits_of(actual(r, c)) << ", expected "
               << bits_of(expected(r, c));
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(SignallingNan, CopiesOfAMatrixKeepTheBits) {
  const Matrix_d a = sample();
  ASSERT_EQ(hex(snan_pos), bits_of(a(0, 1)));

  const Matrix_d copy(a);
  EXPECT_TRUE(exact(a, copy));

  Matrix_d dup(2, 3);
  EXPECT_TRUE(dup.Dup(a));
  EXPECT_TRUE(exact(a, dup));

  Matrix_d assigned(2, 3);
  EXPECT_TRUE(assigned = a);
  EXPECT_TRUE(exact(a, assigned));

  Matrix_d self = sample();
  EXPECT_TRUE(self.Dup(self));
  EXPECT_TRUE(exact(a, self));
}

TEST(SignallingNan, TransposeAndBlockKeepTheBits) {
  const Matrix_d a = sample();
  const Matrix_d tr = a.trasp();
  ASSERT_EQ(3u, tr.SizeRow());
  EXPECT_EQ(hex(snan_pos), bits_of(tr(1, 0)));
  EXPECT_EQ(hex(snan_neg), bits_of(tr(2, 1)));

  const Matrix_d block = a.Sub(0, 1, 2, 3);
  ASSERT_EQ(2u, block.SizeCol());
  EXPECT_EQ(hex(snan_pos), bits_of(block(0, 0)));
  EXPECT_EQ(hex(snan_neg), bits_of(block(1, 1)));
}

TEST(SignallingNan, NegFlipsTheSignBitOnly) {
  const Matrix_d a = sample();
  Matrix_d expected = sample();
  for (unsigned int r = 0; r < 2; ++r) {
    for (unsigned int c = 0; c < 3; ++c) {
      set_bits(expected(r, c), bits(a(r, c)) ^ sign);
    }
  }
  Matrix_d res(2, 3);
  EXPECT_TRUE(a.Neg(res));
  EXPECT_TRUE(exact(expected, res));
  EXPECT_TRUE(exact(expected, -a));

  // In place: the target is the operand.
  Matrix_d b = sample();
  EXPECT_TRUE(b.Neg(b));
  EXPECT_TRUE(exact(expected, b));
}

TEST(SignallingNan, SequencesAndVectorsKeepTheBits) {
  Vector<double> x(3);
  set_bits(x[0], snan_pos);
  x[1] = 2.0;
  set_bits(x[2], snan_neg);

  const Vector<double> copy(x);
  EXPECT_EQ(hex(snan_pos), bits_of(copy[0]));
  EXPECT_EQ(hex(snan_neg), bits_of(copy[2]));

  Seq<double> dup(1); // resized by Dup
  dup.Dup(x);
  ASSERT_EQ(3u, dup.Size());
  EXPECT_EQ(hex(snan_pos), bits_of(dup[0]));
  EXPECT_EQ(hex(snan_neg), bits_of(dup[2]));

  Vector<double> assigned(3);
  assigned = x;
  EXPECT_EQ(hex(snan_pos), bits_of(assigned[0]));
  EXPECT_EQ(hex(snan_neg), bits_of(assigned[2]));

  x.Dup(x);
  EXPECT_EQ(hex(snan_pos), bits_of(x[0]));
  EXPECT_EQ(hex(snan_neg), bits_of(x[2]));

  Vector2<double> v2;
  set_bits(v2[1], snan_neg);
  v2[0] = 0.0;
  const Vector2<double> v2copy(v2);
  EXPECT_EQ(hex(snan_neg), bits_of(v2copy[1]));
}

TEST(SignallingNan, FixedSizeCopiesKeepTheBits) {
  Matrix2x2_d a;
  t::fill(a, {{1.0, 2.0}, {3.0, 4.0}});
  set_bits(a(0, 0), snan_neg);
  set_bits(a(1, 1), snan_pos);

  const Matrix2x2_d copy(a);
  EXPECT_TRUE(exact(a, copy));
  Matrix2x2_d assigned;
  EXPECT_TRUE(assigned = a);
  EXPECT_TRUE(exact(a, assigned));
  Matrix2x2_d from_general;
  EXPECT_TRUE(from_general = static_cast<const Matrix_d &>(a));
  EXPECT_TRUE(exact(a, from_general));

  const Matrix2x2_d neg = -a;
  EXPECT_EQ(hex(snan_neg ^ sign), bits_of(neg(0, 0)));
  EXPECT_EQ(hex(snan_pos ^ sign), bits_of(neg(1, 1)));
}

// Rows 0 and 1 scale to 1 in column 0 (the NaN is passed over by the row
// scaling), and the last of equal candidates wins: row 1 is the pivot. It
// becomes row 0 of U, whose elements take no term, so its sNaN must arrive
// as it was; element (1, 1) = 1 - 0.5 sNaN is arithmetic and quiet.
TEST(SignallingNan, LuExchangeMovesTheBits) {
  Matrix_d a = t::mat({{1.0, 1.0}, {2.0, 0.0}});
  set_bits(a(1, 1), snan_neg);
  Matrix_d f(2, 2);
  Seq<unsigned int> perm(2);
  double parity = 0.0;
  ASSERT_EQ(1, a.LU(f, perm, parity));
  EXPECT_EQ(1u, perm[0]);
  EXPECT_EQ(-1.0, parity);
  EXPECT_EQ(hex(0x4000000000000000ULL), bits_of(f(0, 0)));
  EXPECT_EQ(hex(snan_neg), bits_of(f(0, 1)));
  EXPECT_EQ(hex(0x3fe0000000000000ULL), bits_of(f(1, 0)));
  EXPECT_EQ(hex(snan_neg | 0x0008000000000000ULL), bits_of(f(1, 1)));
}

} // namespace
