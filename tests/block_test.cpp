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

// Shapes swap and every element moves bit for bit, on empty shapes too;
// twice gives the original (operator== would fail on the NaN).
TEST(Transpose, EveryElementBitForBit) {
  for (const Matrix_d &a : {t::mat({{1.0, -0.0, 0x1p-1074}, {-inf, 5.0, 6.25}}), sample45(), Matrix_d(0, 4),
                            Matrix_d(4, 0), Matrix_d(0, 0), t::mat({{-0.0}})}) {
    SCOPED_TRACE(::testing::Message() << a.SizeRow() << "x" << a.SizeCol());
    const Matrix_d b = a.trasp();
    ASSERT_EQ(a.SizeCol(), b.SizeRow());
    ASSERT_EQ(a.SizeRow(), b.SizeCol());
    for (unsigned int i = 0; i < a.SizeRow(); ++i) {
      for (unsigned int j = 0; j < a.SizeCol(); ++j) {
        EXPECT_EQ(t::bits(a(i, j)), t::bits(b(j, i))) << i << ", " << j;
      }
    }
    EXPECT_SAME(a, b.trasp());
  }
}

// Every block of every size, the half-open ranges included: the whole
// matrix, single elements, the NaN and the signed zero, and empty ranges up
// to the far edge.
TEST(Block, EveryBlockBitForBit) {
  const Matrix_d a = sample45();
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
  const Matrix_d whole = Matrix_d(0, 0).Sub(0, 0, 0, 0);
  EXPECT_EQ(0u, whole.SizeRow() + whole.SizeCol());
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
  for (const Matrix_d &s : {e00.Sub(0, 0, 1, 1), e30.Sub(0, 0, 3, 1), e30.Sub(1, 0, 4, 0)}) {
    EXPECT_EQ(0u, s.SizeRow() + s.SizeCol());
  }
  EXPECT_UNTOUCHED(before, a);
}

} // namespace
