// Helpers shared by the tests: doubles compared by their bits, matrices and
// vectors written from literal rows, and objects filled with a recognisable
// bit pattern with bit-for-bit snapshots of them, so that "nothing written"
// can be checked exactly. Bits are read and written through memcpy on the
// element references, never through a double value, so that no
// floating-point load or store can touch them (an i386 load quiets a
// signalling NaN).
#ifndef TOVRA_TESTS_SUPPORT_H
#define TOVRA_TESTS_SUPPORT_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tovra.h>

namespace t {

inline std::uint64_t bits(const double &d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

inline void set_bits(double &d, std::uint64_t u) { std::memcpy(&d, &u, sizeof d); }

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

// A quiet NaN whose payload names the object (tag) and the position: no
// arithmetic result and no NaN fill of the library has these bits.
inline std::uint64_t pattern(unsigned int tag, unsigned int r, unsigned int c) {
  return 0x7ffd000000000000ULL | (std::uint64_t(tag & 0xff) << 40) | (std::uint64_t(r & 0xfffff) << 20) |
         std::uint64_t(c & 0xfffff);
}

inline void poison(Matrix_d &m, unsigned int tag) {
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      set_bits(m(r, c), pattern(tag, r, c));
    }
  }
}

inline void poison(Vector<double> &x, unsigned int tag) {
  for (unsigned int i = 0; i < x.Size(); ++i) {
    set_bits(x[i], pattern(tag, 0, i));
  }
}

inline void poison(Seq<unsigned int> &p, unsigned int tag) {
  for (unsigned int i = 0; i < p.Size(); ++i) {
    p[i] = 0xdead0000u + (tag << 8) + i;
  }
}

struct Snapshot {
  unsigned int rows, cols;
  std::vector<std::uint64_t> bits;
  bool operator==(const Snapshot &o) const { return rows == o.rows && cols == o.cols && bits == o.bits; }
};

inline Snapshot snap(const Matrix_d &m) {
  Snapshot s = {m.SizeRow(), m.SizeCol(), {}};
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      s.bits.push_back(bits(m(r, c)));
    }
  }
  return s;
}

inline Snapshot snap(const Vector<double> &x) {
  Snapshot s = {x.Size(), 1, {}};
  for (unsigned int i = 0; i < x.Size(); ++i) {
    s.bits.push_back(bits(x[i]));
  }
  return s;
}

inline Snapshot snap(const Seq<unsigned int> &p) {
  Snapshot s = {p.Size(), 0, {}};
  for (unsigned int i = 0; i < p.Size(); ++i) {
    s.bits.push_back(p[i]);
  }
  return s;
}

// Every element a quiet NaN (exponent all ones, non-zero fraction, quiet
// bit set), the fill the library chose for operators whose operands do
// not fit.
inline bool quiet_nan_bits(std::uint64_t u) {
  return (u & 0x7ff0000000000000ULL) == 0x7ff0000000000000ULL && (u & 0x0008000000000000ULL) != 0;
}

inline ::testing::AssertionResult all_quiet_nan(const Matrix_d &m) {
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      if (!quiet_nan_bits(bits(m(r, c)))) {
        return ::testing::AssertionFailure() << "element (" << r << ", " << c << ") is " << show(m(r, c));
      }
    }
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult all_quiet_nan(const Vector<double> &x) {
  for (unsigned int i = 0; i < x.Size(); ++i) {
    if (!quiet_nan_bits(bits(x[i]))) {
      return ::testing::AssertionFailure() << "entry " << i << " is " << show(x[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

inline Seq<unsigned int> perm(std::initializer_list<unsigned int> xs) {
  Seq<unsigned int> p(static_cast<unsigned int>(xs.size()));
  unsigned int i = 0;
  for (unsigned int x : xs) {
    p[i++] = x;
  }
  return p;
}

inline ::testing::AssertionResult same_perm(std::initializer_list<unsigned int> expected,
                                            const Seq<unsigned int> &p) {
  if (p.Size() != expected.size()) {
    return ::testing::AssertionFailure() << "size " << p.Size() << ", expected " << expected.size();
  }
  unsigned int i = 0;
  for (unsigned int x : expected) {
    if (p[i] != x) {
      return ::testing::AssertionFailure() << "entry " << i << " is " << p[i] << ", expected " << x;
    }
    ++i;
  }
  return ::testing::AssertionSuccess();
}

const double inf = std::numeric_limits<double>::infinity();
const double qnan = std::numeric_limits<double>::quiet_NaN();

} // namespace t

#define EXPECT_BITS(expected, actual) EXPECT_EQ(t::show(expected), t::show(actual))
#define EXPECT_SAME(expected, actual) EXPECT_TRUE(t::same_bits((expected), (actual)))

#define EXPECT_UNTOUCHED(before, object) EXPECT_TRUE((before) == t::snap(object)) << "object was written"

#endif
