// Moving values between the library's objects and the model's, and finding
// the first element where two results differ in their bits (every NaN
// counting as the same value: payloads are not part of the contract).
#ifndef TOVRA_TESTS_MODEL_BRIDGE_H
#define TOVRA_TESTS_MODEL_BRIDGE_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <tovra.h>

#include "linalg.h"

namespace model {

inline std::uint64_t bits_of(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}
inline bool same(double x, double y) { return bits_of(x) == bits_of(y) || (x != x && y != y); }

inline void copy_into(Matrix_d &m, const Mat &x) {
  for (unsigned i = 0; i < x.r; ++i) {
    for (unsigned j = 0; j < x.c; ++j) {
      m(i, j) = x(i, j);
    }
  }
}
inline Matrix_d to_lib(const Mat &x) {
  Matrix_d m(x.r, x.c);
  copy_into(m, x);
  return m;
}
inline Vector<double> to_lib(const Vec &x) {
  Vector<double> v(static_cast<unsigned>(x.size()));
  for (unsigned i = 0; i < x.size(); ++i) {
    v[i] = x[i];
  }
  return v;
}
inline Mat of_lib(const Matrix_d &m) {
  Mat x(m.SizeRow(), m.SizeCol());
  for (unsigned i = 0; i < x.r; ++i) {
    for (unsigned j = 0; j < x.c; ++j) {
      x(i, j) = m(i, j);
    }
  }
  return x;
}
inline Vec of_lib(const Vector<double> &v) {
  Vec x(v.Size());
  for (unsigned i = 0; i < x.size(); ++i) {
    x[i] = v[i];
  }
  return x;
}

// Empty when equal; otherwise where and how the two differ.
inline std::string hex(double d) {
  char b[24];
  std::snprintf(b, sizeof b, "%016llx", static_cast<unsigned long long>(bits_of(d)));
  return b;
}
inline std::string differ(const Vec &want, const Vec &got, unsigned cols = 0) {
  if (want.size() != got.size()) {
    return "size " + std::to_string(got.size()) + ", model " + std::to_string(want.size());
  }
  for (unsigned i = 0; i < want.size(); ++i) {
    if (!same(want[i], got[i])) {
      const std::string at = cols ? "(" + std::to_string(i / cols) + ", " + std::to_string(i % cols) + ")"
                                  : "[" + std::to_string(i) + "]";
      return "element " + at + ": library " + hex(got[i]) + ", model " + hex(want[i]);
    }
  }
  return "";
}
inline std::string differ(const Mat &want, const Mat &got) {
  if (want.r != got.r || want.c != got.c) {
    return "shape " + std::to_string(got.r) + "x" + std::to_string(got.c) + ", model " +
           std::to_string(want.r) + "x" + std::to_string(want.c);
  }
  return differ(want.a, got.a, want.c);
}

} // namespace model

#endif
