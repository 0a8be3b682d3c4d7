// SPDX-License-Identifier: MIT
// The fields of a double's 64 bits, named once for every file that works on
// the bits instead of the value: the integer arithmetic, the fast path's
// tests, the scaling pass and the scan for signalling NaNs. The sign is bit
// 63, the biased exponent bits 52 to 62, the fraction bits 0 to 51; the
// fraction's top bit tells a quiet NaN from a signalling one.
#ifndef TOVRA_DOUBLE_BITS_H
#define TOVRA_DOUBLE_BITS_H

#include <cstdint>
#include <cstring>

namespace tovra_detail {

const std::uint64_t sign_bit = std::uint64_t(1) << 63;
const std::uint64_t magnitude_mask = ~sign_bit;
const std::uint64_t exponent_bits = std::uint64_t(0x7ff) << 52;
// The exponent field's lowest bit: one binade up, and the leading bit a
// normal double leaves out of its fraction.
const std::uint64_t exponent_unit = std::uint64_t(1) << 52;
const std::uint64_t fraction_bits = exponent_unit - 1;
// Every exponent bit and no fraction bit: the positive infinity.
const std::uint64_t infinity_bits = exponent_bits;
const std::uint64_t quiet_bit = std::uint64_t(1) << 51;

// True when no element is a signalling NaN. A first pass only asks whether
// any element is a NaN or an infinity: adding one to an exponent of all
// ones carries into the sign bit, and nothing else does. Shifted left by one
// (sign dropped), a signalling NaN then lies strictly between the infinity
// pattern and the quiet-bit pattern.
inline bool no_signalling_nan(const double *p, unsigned int n) {
  std::uint64_t special = 0;
  for (unsigned int i = 0; i < n; ++i) {
    std::uint64_t u;
    std::memcpy(&u, p + i, sizeof u);
    special |= (u & exponent_bits) + exponent_unit;
  }
  if ((special >> 63) == 0) {
    return true;
  }
  for (unsigned int i = 0; i < n; ++i) {
    std::uint64_t u;
    std::memcpy(&u, p + i, sizeof u);
    if ((u << 1) - ((infinity_bits << 1) + 1) < (quiet_bit << 1) - 1) {
      return false;
    }
  }
  return true;
}

} // namespace tovra_detail

#endif
