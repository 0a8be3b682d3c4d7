// Small helpers shared by the tests: doubles compared by their bits, and
// matrices and vectors written from literal rows.
#ifndef TOVRA_TESTS_SUPPORT_H
#define TOVRA_TESTS_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>
#include <tovra.h>

namespace t {

inline std::uint64_t bits(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

inline double from_bits(std::uint64_t u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

// "0x1.8p+0 (0x3ff8000000000000)": readable and exact in failure messages.
std::string show(double d);

// Fills an existing matrix (of any fixed or general type) row by row.
template <class M> M &fill(M &m, std::initializer_list<std::initializer_list<double>> rows) {
  unsigned int r = 0;
  for (const auto &row : rows) {
    unsigned int c = 0;
    for (double x : row) {
      m(r, c++) = x;
    }
    ++r;
  }
  return m;
}

Matrix_d mat(std::initializer_list<std::initializer_list<double>> rows);
Vector<double> vec(std::initializer_list<double> xs);

// Bit-for-bit equality of shapes and every element (NaN equals NaN of the
// same bits, +0.0 differs from -0.0).
::testing::AssertionResult same_bits(const Matrix_d &expected, const Matrix_d &actual);
::testing::AssertionResult same_bits(const Vector<double> &expected, const Vector<double> &actual);

} // namespace t

#define EXPECT_BITS(expected, actual) EXPECT_EQ(t::show(expected), t::show(actual))
#define EXPECT_SAME(expected, actual) EXPECT_TRUE(t::same_bits((expected), (actual)))

#endif
