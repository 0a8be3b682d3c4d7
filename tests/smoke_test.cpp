#include "support.h"
TEST(Smoke, SumRoundsTwice) {
  Matrix_d a = t::mat({{1.0}}), b = t::mat({{0x1.0000000000080p-53}}), r(1, 1);
  ASSERT_TRUE(a.Sum(r, b));
  EXPECT_BITS(1.0, r(0, 0));
}
