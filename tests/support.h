// SPDX-License-Identifier: MIT
// Helpers of the unit tests, in namespace bitwise: they see doubles as their
// bits. Doubles are compared by their bits, read through
// memcpy on references and never as double values (an i386 load quiets a
// signalling NaN). A snapshot lists an object's shape and each element's
// bits and value: equal snapshots mean the same object bit for bit, and a
// failure shows the values readably.
#ifndef TOVRA_TESTS_SUPPORT_H
#define TOVRA_TESTS_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tovra.h>

namespace bitwise {

typedef std::uint64_t u64;
typedef std::vector<std::string> Snap;
const double inf = std::numeric_limits<double>::infinity(), qnan = std::numeric_limits<double>::quiet_NaN();
const u64 snan = 0x7ff4000000000001, snan_neg = 0xfff4000000000002, quiet = 0x7ff8000000000000;
const u64 marker = 0x7ffd00000000abcd; // a quiet NaN that no operation produces

inline u64 bits(const double &d) {
  u64 u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}
inline void set_bits(double &d, u64 u) { std::memcpy(&d, &u, sizeof d); }
inline std::string show(const double &d) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%016llx %a", static_cast<unsigned long long>(bits(d)), d);
  return buf;
}
inline std::string show(const unsigned int &u) { return std::to_string(u); }

inline Snap snap(const double &d) { return Snap(1, show(d)); }
inline Snap snap(const Matrix_d &m) {
  Snap s(1, std::to_string(m.SizeRow()) + "x" + std::to_string(m.SizeCol()));
  for (unsigned int i = 0; i < m.SizeRow() * m.SizeCol(); ++i) {
    s.push_back(show(m(i / m.SizeCol(), i % m.SizeCol())));
  }
  return s;
}
template <class T> Snap snap(const SeqBase<T> &x) {
  Snap s(1, "size " + std::to_string(x.Size()));
  for (unsigned int i = 0; i < x.Size(); ++i) {
    s.push_back(show(x[i]));
  }
  return s;
}

// A k x n matrix from k rows of n elements.
inline Matrix_d mat(std::initializer_list<std::initializer_list<double>> rows) {
  Matrix_d m(static_cast<unsigned int>(rows.size()),
             rows.size() ? static_cast<unsigned int>(rows.begin()->size()) : 0);
  for (unsigned int i = 0; i < m.SizeRow() * m.SizeCol(); ++i) {
    m(i / m.SizeCol(), i % m.SizeCol()) = rows.begin()[i / m.SizeCol()].begin()[i % m.SizeCol()];
  }
  return m;
}
inline Vector<double> vec(std::initializer_list<double> xs) {
  Vector<double> v(static_cast<unsigned int>(xs.size()));
  for (unsigned int i = 0; i < v.Size(); ++i) {
    v[i] = xs.begin()[i];
  }
  return v;
}

// Every element set to the marker, so that "nothing written" shows in the bits.
inline void poison(Matrix_d &m) {
  for (unsigned int i = 0; i < m.SizeRow() * m.SizeCol(); ++i) {
    set_bits(m(i / m.SizeCol(), i % m.SizeCol()), marker);
  }
}
template <class T> void poison(SeqBase<T> &x) {
  for (unsigned int i = 0; i < x.Size(); ++i) {
    std::memset(&x[i], 0x7d, sizeof(T));
  }
}

} // namespace bitwise

#define EXPECT_SAME(expected, actual) EXPECT_EQ(bitwise::snap(expected), bitwise::snap(actual))
#define EXPECT_BITS(expected, actual) EXPECT_EQ(bitwise::show(expected), bitwise::show(actual))

#endif
