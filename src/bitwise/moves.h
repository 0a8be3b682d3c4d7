// SPDX-License-Identifier: MIT
// The one place that says how a double is moved without arithmetic: by its
// 64 bits, never through a floating-point register.
//
// Why: on i386 a plain "d = s" between doubles may be compiled to an x87
// load and store, and the load sets the quiet bit of a signalling NaN, where
// x86-64 moves the same value through SSE unchanged. Copies, exchanges and
// negation must give the same bits on both, so they are written on the
// integer representation (or as byte copies), which no compiler routes
// through the x87 unit. Doubles are passed by pointer or reference only: a
// double returned by value travels in an x87 register on i386.
#ifndef TOVRA_BITWISE_MOVES_H
#define TOVRA_BITWISE_MOVES_H

#include <cstdint>
#include <cstring>

#include "bitwise/double_bits.h"

namespace tovra_detail {

// dst = src, bit for bit; dst may be src.
inline void move_bits(double &dst, const double &src) {
  std::uint64_t u;
  std::memcpy(&u, &src, sizeof u);
  std::memcpy(&dst, &u, sizeof dst);
}

// dst[0 .. n) = src[0 .. n), bit for bit; the ranges may overlap.
inline void move_bits(double *dst, const double *src, unsigned int n) {
  if (n != 0 && dst != src) {
    std::memmove(dst, src, n * sizeof(double));
  }
}

// dst = -src with only the sign bit changed (a NaN keeps its payload and its
// quiet bit); dst may be src.
inline void negate_bits(double &dst, const double &src) {
  std::uint64_t u;
  std::memcpy(&u, &src, sizeof u);
  u ^= sign_bit;
  std::memcpy(&dst, &u, sizeof dst);
}

// Exchanges a[0 .. n) with b[0 .. n), bit for bit; a and b are either the
// same range or disjoint.
inline void swap_bits(double *a, double *b, unsigned int n) {
  for (unsigned int k = 0; k < n; ++k) {
    std::uint64_t x, y;
    std::memcpy(&x, a + k, sizeof x);
    std::memcpy(&y, b + k, sizeof y);
    std::memcpy(a + k, &y, sizeof y);
    std::memcpy(b + k, &x, sizeof x);
  }
}

} // namespace tovra_detail

#endif
