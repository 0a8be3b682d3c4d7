// Transpose and sub-matrix: shapes, every element copied bit for
// bit, the half-open block ranges, and the library's choice for block
// arguments outside 0 <= row0 <= row1 <= SizeRow(), 0 <= col0 <= col1 <=
// SizeCol(): a 0x0 result, nothing read, no wrapped-around size.
#include <climits>

#include "support.h"

namespace {

using t::inf;

// A 4x5 matrix whose elements are all different, with awkward values among
// them (signed zeros, a subnormal, infinities, a NaN with a payload), so a
// copy that goes through arithmetic or picks the wrong element shows.
Matrix_d sample45() {
  Matrix_d a(4, 5);
  for (unsigned int r = 0; r < 4; ++r) {
    for (unsigned int c = 0; c < 5; ++c) {
      a(r, c) = 10.0 * r + c + 0.5;
    }
  }
  a(0, 0) = -0.0;
  a(1, 1) = 0x1p-1074;
  a(2, 3) = -inf;
  a(3, 4) = inf;
  t::set_bits(a(2, 2), 0x7ff8000000abcdefULL);
  return a;
}

::testing::AssertionResult is_block(const Matrix_d &a, unsigned int row0, unsigned int col0,
                                    const Matrix_d &b) {
  for (unsigned int i = 0; i < b.SizeRow(); ++i) {
    for (unsigned int j = 0; j < b.SizeCol(); ++j) {
      if (t::bits(b(i, j)) != t::bits(a(row0 + i, col0 + j))) {
        return ::testing::AssertionFailure() << "element (" << i << ", " << j << ") is " << t::show(b(i, j))
                                             << ", expected " << t::show(a(row0 + i, col0 + j));
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(Transpose, TwoByThreeBecomesThreeByTwoBitForBit) {
  const Matrix_d a = t::mat({{1.0, -0.0, 0x1p-1074}, {-inf, 5.0, 6.25}});
  const Matrix_d b = a.trasp();
  ASSERT_EQ(3u, b.SizeRow());
  ASSERT_EQ(2u, b.SizeCol());
  for (unsigned int i = 0; i < 2; ++i) {
    for (unsigned int j = 0; j < 3; ++j) {
      EXPECT_EQ(t::bits(a(i, j)), t::bits(b(j, i))) << i << ", " << j;
    }
  }
}

TEST(Transpose, KeepsNaNPayloadsAndSignedZeros) {
  const Matrix_d a = sample45();
  const Matrix_d b = a.trasp();
  ASSERT_EQ(5u, b.SizeRow());
  ASSERT_EQ(4u, b.SizeCol());
  for (unsigned int i = 0; i < 4; ++i) {
    for (unsigned int j = 0; j < 5; ++j) {
      EXPECT_EQ(t::bits(a(i, j)), t::bits(b(j, i))) << i << ", " << j;
    }
  }
  // Twice gives the original, bit for bit (operator== would fail on the NaN).
  EXPECT_SAME(a, b.trasp());
}

TEST(Transpose, EmptyAndOneByOne) {
  const Matrix_d e04(0, 4), e40(4, 0), e00(0, 0);
  const Matrix_d t04 = e04.trasp(), t40 = e40.trasp(), t00 = e00.trasp();
  EXPECT_EQ(4u, t04.SizeRow());
  EXPECT_EQ(0u, t04.SizeCol());
  EXPECT_EQ(0u, t40.SizeRow());
  EXPECT_EQ(4u, t40.SizeCol());
  EXPECT_EQ(0u, t00.SizeRow());
  EXPECT_EQ(0u, t00.SizeCol());
  const Matrix_d one = t::mat({{-0.0}});
  EXPECT_SAME(one, one.trasp());
  const Matrix_d a = t::mat({{1, 2, 3}, {4, 5, 6}});
  EXPECT_TRUE(a == a.trasp().trasp());
}

TEST(Block, WholeMatrix) {
  const Matrix_d a = sample45();
  EXPECT_SAME(a, a.Sub(0, 0, 4, 5));
}

TEST(Block, HalfOpenRanges) {
  const Matrix_d a = sample45();
  const Matrix_d b = a.Sub(1, 1, 3, 4);
  ASSERT_EQ(2u, b.SizeRow());
  ASSERT_EQ(3u, b.SizeCol());
  EXPECT_EQ(t::bits(a(1, 1)), t::bits(b(0, 0)));
  EXPECT_EQ(t::bits(a(2, 3)), t::bits(b(1, 2)));
  EXPECT_TRUE(is_block(a, 1, 1, b));
  // Every block of every size, including the NaN and the signed zero.
  for (unsigned int r0 = 0; r0 <= 4; ++r0) {
    for (unsigned int r1 = r0; r1 <= 4; ++r1) {
      for (unsigned int c0 = 0; c0 <= 5; ++c0) {
        for (unsigned int c1 = c0; c1 <= 5; ++c1) {
          const Matrix_d s = a.Sub(r0, c0, r1, c1);
          ASSERT_EQ(r1 - r0, s.SizeRow()) << r0 << " " << c0 << " " << r1 << " " << c1;
          ASSERT_EQ(c1 - c0, s.SizeCol()) << r0 << " " << c0 << " " << r1 << " " << c1;
          ASSERT_TRUE(is_block(a, r0, c0, s)) << r0 << " " << c0 << " " << r1 << " " << c1;
        }
      }
    }
  }
}

TEST(Block, EmptyAndSingleElementBlocks) {
  const Matrix_d a = sample45();
  const Matrix_d rows0 = a.Sub(2, 0, 2, 5);
  EXPECT_EQ(0u, rows0.SizeRow());
  EXPECT_EQ(5u, rows0.SizeCol());
  const Matrix_d cols0 = a.Sub(0, 3, 4, 3);
  EXPECT_EQ(4u, cols0.SizeRow());
  EXPECT_EQ(0u, cols0.SizeCol());
  const Matrix_d corner = a.Sub(4, 5, 4, 5); // both ranges empty at the far edge
  EXPECT_EQ(0u, corner.SizeRow());
  EXPECT_EQ(0u, corner.SizeCol());
  for (unsigned int k = 0; k < 4; ++k) {
    const Matrix_d one = a.Sub(k, k, k + 1, k + 1);
    ASSERT_EQ(1u, one.SizeRow());
    ASSERT_EQ(1u, one.SizeCol());
    EXPECT_EQ(t::bits(a(k, k)), t::bits(one(0, 0))) << k;
  }
  const Matrix_d e00(0, 0);
  const Matrix_d whole = e00.Sub(0, 0, 0, 0);
  EXPECT_EQ(0u, whole.SizeRow());
  EXPECT_EQ(0u, whole.SizeCol());
}

// Arguments outside the limits: a 0x0 result. Unrefused, they would read
// outside the matrix (row1 > SizeRow(), col1 > SizeCol()) or build a
// wrapped-around size: rows (1, 0) give 0 - 1 = UINT_MAX rows, and rows
// (UINT_MAX, 0) give 0 - UINT_MAX = 1 row, read from row UINT_MAX.
TEST(Block, ArgumentsOutsideTheLimitsGiveZeroByZero) {
  const Matrix_d a = sample45();
  const t::Snapshot before = t::snap(a);
  const unsigned int M = UINT_MAX;
  const unsigned int bad[][4] = {
      {0, 0, 5, 5}, // row1 > SizeRow()
      {0, 0, 4, 6}, // col1 > SizeCol()
      {4, 0, 5, 5}, // row1 > SizeRow(), even with row0 == SizeRow()
      {0, 5, 4, 6}, // col1 > SizeCol(), col0 == SizeCol()
      {5, 0, 6, 5}, // row0 > SizeRow()
      {0, 6, 4, 7}, // col0 > SizeCol()
      {3, 0, 1, 5}, // reversed rows
      {0, 4, 4, 2}, // reversed columns
      {1, 0, 0, 5}, // reversed by one: 0 - 1 wraps to UINT_MAX rows
      {0, 1, 4, 0}, // reversed by one in the columns
      {2, 3, 2, 1}, // reversed columns while the rows are empty
      {3, 2, 1, 2}, // reversed rows while the columns are empty
      {M, 0, 0, 5}, // 0 - UINT_MAX wraps to 1 row, read from row UINT_MAX
      {0, M, 4, 0}, // the same in the columns
      {0, 0, M, M}, // huge ends
      {M, M, M, M}, // huge, equal: empty ranges, but outside the matrix
      {1, 1, 3, M}, // one bad argument among good ones
  };
  for (const auto &b : bad) {
    const Matrix_d s = a.Sub(b[0], b[1], b[2], b[3]);
    EXPECT_EQ(0u, s.SizeRow()) << b[0] << " " << b[1] << " " << b[2] << " " << b[3];
    EXPECT_EQ(0u, s.SizeCol()) << b[0] << " " << b[1] << " " << b[2] << " " << b[3];
  }
  const Matrix_d e00(0, 0), e30(3, 0);
  const Matrix_d s1 = e00.Sub(0, 0, 1, 1), s2 = e30.Sub(0, 0, 3, 1), s3 = e30.Sub(1, 0, 4, 0);
  EXPECT_EQ(0u, s1.SizeRow() + s1.SizeCol());
  EXPECT_EQ(0u, s2.SizeRow() + s2.SizeCol());
  EXPECT_EQ(0u, s3.SizeRow() + s3.SizeCol());
  EXPECT_UNTOUCHED(before, a);
}

} // namespace
