// SPDX-License-Identifier: MIT
// One arithmetic step of the x87 unit in its default state, computed with
// integers only, on the bit patterns of doubles: each operand loaded exactly
// into the extended format, the exact result rounded once to a 64-bit
// significand (nearest, ties to even), that value rounded again to double
// (nearest, ties to even, gradual underflow, overflow to infinity). The
// extended exponent range is so wide that no product, sum or quotient of
// doubles underflows or overflows there, so only the store to double can.
//
// Why integers: the same bits must come out on CPUs without an x87 unit and
// whatever floating-point state the host has set. Nothing here touches a
// floating-point register, and no 128-bit integer type is used: wide
// products are built from 32-bit halves, so the code is exact on 32- and
// 64-bit targets of either byte order.
//
// NaNs follow the unit with both operands loaded into registers first: a
// signalling NaN is quieted by the load; of two NaNs the one with the larger
// significand survives, and of two with equal significands the positive one;
// an invalid operation gives the negative quiet "indefinite" NaN.
//
// Every rounding, to the extended significand and to double alike, normal or
// subnormal, is decided by one function, rounds_up(), from the bits kept and
// a word for what lies below it. A step only has to make that word compare
// with half a unit as its exact remainder does: the remainder's bits, with a
// sticky bit standing for any it did not keep, or for the quotient, a
// difference that carries the same comparison.
#ifndef TOVRA_SOFT_X87_H
#define TOVRA_SOFT_X87_H

#include <cstdint>

#include "bitwise/double_bits.h"

namespace tovra_detail {
namespace soft {

typedef std::uint64_t u64;

// The steps' parts. They take values already sorted by class (finite and
// nonzero, NaN, ...) by the functions after this namespace, which take any
// 64-bit pattern; each function states what it relies on.
namespace core {

typedef std::uint32_t u32;

// The unit's answer to an invalid operation: the negative quiet NaN with no
// payload.
const u64 indefinite = sign_bit | infinity_bits | quiet_bit;

// The number of zero bits above the leading one bit; x != 0.
inline int clz64(u64 x) {
#if defined(__GNUC__)
  return __builtin_clzll(x);
#else
  int n = 0;
  for (; !(x & sign_bit); x <<= 1) {
    ++n;
  }
  return n;
#endif
}

// Shifted left by one, the sign drops out and the exponent and fraction
// order as the magnitude does, NaNs above infinity.
inline bool is_nan(u64 u) { return (u << 1) > (infinity_bits << 1); }
inline bool is_infinite(u64 u) { return (u << 1) == (infinity_bits << 1); }
// Neither a zero nor an infinity nor a NaN: the zeros wrap round to the top.
inline bool is_finite_nonzero(u64 u) { return (u << 1) - 1 < (infinity_bits << 1) - 1; }

// The result of a step with a NaN operand: a or b is a NaN (either may be
// signalling), the other any double. Comparing the doubles shifted left
// compares their significands, since both exponent fields are all ones; the
// quiet bit plays a role, but both are quiet by then.
inline u64 nan_of(u64 a, u64 b) {
  if (!is_nan(b)) {
    return a | quiet_bit;
  }
  if (!is_nan(a)) {
    return b | quiet_bit;
  }
  a |= quiet_bit;
  b |= quiet_bit;
  return (a << 1) > (b << 1) ? a : (b << 1) > (a << 1) ? b : a & b;
}

// A nonzero finite extended value, (-1)^sign * m * 2^e: the binary point
// lies below bit 0 of m, and bit 63 of m is set (m in [2^63, 2^64)). The
// exponent never comes near the range of an int: a double gives e in
// [-1137, 960], and a step at most adds two of them and a few units.
struct Ext {
  u64 m;
  int e;
  u64 sign; // 0 or sign_bit
};

// u exactly; u must be finite and nonzero (is_finite_nonzero). A subnormal
// is normalised here. The low 11 bits of m come out zero, so m / 2^11 is an
// integer in [2^52, 2^53) (with trailing zeros for a subnormal), and e lies
// in [-1137, 960].
inline Ext unpack(u64 u) {
  Ext x;
  x.sign = u & sign_bit;
  const int biased = static_cast<int>(u >> 52 & 0x7ff);
  const u64 f = u & fraction_bits;
  if (biased != 0) {
    x.m = (f | exponent_unit) << 11;
    x.e = biased - 1086;
  } else {
    const int n = clz64(f);
    x.m = f << n;
    x.e = -1074 - n;
  }
  return x;
}

// Round to nearest, ties to even, for every rounding of this file: 1 when a
// value rounds up to the next multiple of its unit, else 0. kept is the value
// kept, counted in units (only its lowest bit is read, for the tie). rest is
// what lies below one unit, left-aligned in 64 bits: its top bit is worth
// half a unit. rest may stand for a longer exact tail with the bits beyond
// its width folded into its lowest bit (sticky), provided it compares with
// 2^63 as the exact tail does with half a unit. Adding just under half a
// unit, or exactly half to an odd kept value, carries out of 64 bits exactly
// when the value rounds up: no branch on the direction, which is random.
inline u64 rounds_up(u64 kept, u64 rest) {
  const u64 bias = (sign_bit - 1) + (kept & 1);
  return static_cast<u64>(rest + bias < bias);
}

// The exact value (m + rest / 2^64) * 2^e, of the given sign, rounded to the
// 64-bit extended significand. m has bit 63 set; rest holds the bits below
// m as rounds_up() takes them. Rounding up from a significand of all ones
// carries out of m: the result is then 2^63 at e + 1.
inline Ext round_ext(u64 m, u64 rest, int e, u64 sign) {
  m += rounds_up(m, rest);
  if (m == 0) {
    m = sign_bit;
    ++e;
  }
  Ext x = {m, e, sign};
  return x;
}

// m / 2^sh rounded to an integer, to nearest, ties to even, for 1 <= sh <=
// 64; m is exact (nothing below it was dropped). The result is at most
// 2^(64 - sh): a rounding that carries gives that power, which the caller
// lets run on into the field above.
inline u64 round_at(u64 m, int sh) {
  const u64 kept = m >> (sh - 1) >> 1; // in two steps: m >> 64 is undefined
  return kept + rounds_up(kept, m << (64 - sh));
}

// The store: x, an extended value (any exponent), rounded to double once, to
// nearest, ties to even; beyond the largest double, infinity. Below the
// normal range the 64-bit significand is rounded straight onto the subnormal
// grid 2^-1074, not first to 53 bits, as the unit stores it.
inline u64 pack(const Ext &x) {
  const int top = x.e + 63; // exponent of the leading bit
  if (static_cast<unsigned>(top + 1022) <= 2045) {
    // 53 bits kept, the hidden one among them, which adds one to the biased
    // exponent; a carry out of the rounding moves on into the exponent (up to
    // infinity).
    return x.sign | ((static_cast<u64>(top + 1022) << 52) + round_at(x.m, 11));
  }
  if (top > 1023) {
    return x.sign | infinity_bits;
  }
  // The grid's unit is bit sh of m, at least bit 12. From sh = 65 on, all of
  // x is below half of it: zero. A carry into bit 52 gives the smallest
  // normal, which is the right bits.
  const int sh = -1011 - top;
  return x.sign | (sh > 64 ? 0 : round_at(x.m, sh));
}

// The product of two doubles as unpack() gives them (the low 11 bits of
// both m zero), rounded to extended. x = a.m / 2^11 and y = b.m / 2^11 are
// integers in [2^52, 2^53), so x * y lies in [2^104, 2^106): it is built as
// hi * 2^64 + lo from 32-bit halves (the high halves have 21 bits, so the
// middle sum cannot overflow), then shifted left by sh so that its leading
// bit is bit 127. All 106 bits fit: the top word is m and the bottom word
// the exact rest.
inline Ext mul(const Ext &a, const Ext &b) {
  const u64 x = a.m >> 11, y = b.m >> 11;
  const u32 xl = static_cast<u32>(x), xh = static_cast<u32>(x >> 32);
  const u32 yl = static_cast<u32>(y), yh = static_cast<u32>(y >> 32);
  const u64 ll = static_cast<u64>(xl) * yl;
  const u64 mid = static_cast<u64>(xl) * yh + static_cast<u64>(xh) * yl + (ll >> 32);
  const u64 lo = mid << 32 | static_cast<u32>(ll), hi = static_cast<u64>(xh) * yh + (mid >> 32);
  const int sh = 23 - static_cast<int>(hi >> 41); // 22 or 23
  return round_ext(hi << sh | lo >> (64 - sh), lo << sh, a.e + b.e + 86 - sh, a.sign ^ b.sign);
}

// The sum of two extended values (any bits of m set, as a product leaves
// them) rounded to extended, then stored; an exact cancellation gives +0.
// The smaller term is aligned to a 128-bit window h:l under the larger one's
// leading bit, so that h is on the larger one's scale and l holds the bits
// below it. Bits that fall out of the window are folded into its lowest bit:
// that keeps the sum strictly between the same two multiples of 2 window
// units, and every rounding decision below is taken at a multiple of 2^62,
// so it decides as the exact sum would.
inline u64 add(Ext a, Ext b) {
  if (a.e < b.e || (a.e == b.e && a.m < b.m)) {
    const Ext t = a;
    a = b;
    b = t;
  }
  const unsigned d = static_cast<unsigned>(a.e - b.e);
  u64 bh = 0, bl;
  if (d == 0) {
    bh = b.m;
    bl = 0;
  } else if (d < 64) {
    bh = b.m >> d;
    bl = b.m << (64 - d);
  } else if (d == 64) {
    bl = b.m;
  } else if (d < 128) {
    bl = b.m >> (d - 64) | ((b.m << (128 - d)) != 0 ? 1 : 0);
  } else {
    bl = 1;
  }
  u64 h, l;
  int e = a.e;
  if (a.sign == b.sign) {
    h = a.m + bh;
    l = bl;
    if (h < bh) {
      l = h << 63 | l >> 1 | (l & 1);
      h = h >> 1 | sign_bit;
      ++e;
    }
  } else {
    // |a| >= |b|, and when the window lost bits (d > 64) the difference
    // keeps at least 126 of its 128 bits, so the shift below is at most 1.
    l = 0 - bl;
    h = a.m - bh - (bl != 0 ? 1 : 0);
    if (h == 0) {
      if (l == 0) {
        return 0;
      }
      h = l;
      l = 0;
      e -= 64;
    }
    const int n = clz64(h);
    if (n != 0) {
      h = h << n | l >> (64 - n);
      l <<= n;
      e -= n;
    }
  }
  return pack(round_ext(h, l, e, a.sign));
}

inline Ext negated(Ext x) {
  x.sign ^= sign_bit;
  return x;
}

// The quotient of two doubles as unpack() gives them, rounded to extended,
// then stored. x = a.m / 2^11 and y = b.m / 2^11 are integers in [2^52,
// 2^53); with x doubled when it is below y, x / y lies in [1, 2), and the
// quotient is q * 2^(e - 63) with q its first 64 bits, found by long division
// in 11-bit digits (the last of 8: 1 + 5 * 11 + 8 = 64). The remainder r
// stays below the 53-bit divisor, so a digit step never overflows 64 bits.
// What lies below q, r / y units, goes to the common rounding as 2^63 +
// 2r - y, which compares with 2^63 as r / y does with one half (and never
// wraps: 2r < 2y < 2^54). A quotient of 53-bit integers is never exactly
// halfway between two 64-bit values, so the tie rule is never asked here;
// nor does the rounding carry out of q, which stays below 2^64 - 2^10.
inline u64 divide(const Ext &a, const Ext &b) {
  u64 x = a.m >> 11;
  const u64 y = b.m >> 11;
  int e = a.e - b.e;
  if (x < y) {
    x <<= 1;
    --e;
  }
  u64 q = 1, r = x - y;
  for (int i = 0; i < 6; ++i) {
    const int k = i < 5 ? 11 : 8;
    r <<= k;
    const u64 digit = r / y;
    r -= digit * y;
    q = q << k | digit;
  }
  const u64 rest = sign_bit + (r << 1) - y;
  return pack(round_ext(q, rest, e - 63, a.sign ^ b.sign));
}

// IEEE order of two doubles that are not NaNs, as unsigned integers: the
// negative ones complemented below the positive ones. -0 and +0 map apart
// and are told equal by the callers.
inline u64 order_key(u64 u) { return (u & sign_bit) ? ~u : u | sign_bit; }
inline bool both_zero(u64 a, u64 b) { return ((a | b) << 1) == 0; }

// m >= b, exactly, for an extended value and a double as unpack() gives it.
// Both are normalised, so equal values have equal exponents and significands.
inline bool ext_ge(const Ext &m, const Ext &b) {
  if (m.sign != b.sign) {
    return b.sign != 0;
  }
  if (m.e == b.e && m.m == b.m) {
    return true;
  }
  const bool above = m.e > b.e || (m.e == b.e && m.m > b.m);
  return above != (m.sign != 0);
}

} // namespace core

// The steps and comparisons the kernels use. Each takes any 64-bit patterns
// as its doubles and gives the bits the unit would store.
inline bool greater(u64 a, u64 b) {
  return !core::is_nan(a) && !core::is_nan(b) && !core::both_zero(a, b) &&
         core::order_key(a) > core::order_key(b);
}

inline bool equal(u64 a, u64 b) {
  return !core::is_nan(a) && !core::is_nan(b) && (a == b || core::both_zero(a, b));
}

inline bool is_zero(u64 a) { return (a << 1) == 0; }

inline u64 magnitude(u64 a) { return a & magnitude_mask; }

inline u64 sum(u64 a, u64 b) {
  using namespace core;
  if (is_finite_nonzero(a) && is_finite_nonzero(b)) {
    return add(unpack(a), unpack(b));
  }
  if (is_nan(a) || is_nan(b)) {
    return nan_of(a, b);
  }
  if (is_infinite(a)) {
    return is_infinite(b) && a != b ? indefinite : a;
  }
  if (is_infinite(b)) {
    return b;
  }
  if (both_zero(a, b)) {
    return a & b; // -0 only when both are -0
  }
  return is_zero(a) ? b : a;
}

inline u64 difference(u64 a, u64 b) {
  // The unit returns a NaN subtrahend as it is, sign and all.
  return core::is_nan(b) ? core::nan_of(a, b) : sum(a, b ^ sign_bit);
}

inline u64 product(u64 a, u64 b) {
  using namespace core;
  if (is_finite_nonzero(a) && is_finite_nonzero(b)) {
    return pack(mul(unpack(a), unpack(b)));
  }
  if (is_nan(a) || is_nan(b)) {
    return nan_of(a, b);
  }
  const u64 sign = (a ^ b) & sign_bit;
  if (is_infinite(a) || is_infinite(b)) {
    return is_zero(a) || is_zero(b) ? indefinite : sign | infinity_bits;
  }
  return sign; // a zero times a finite value
}

inline u64 quotient(u64 a, u64 b) {
  using namespace core;
  if (is_finite_nonzero(a) && is_finite_nonzero(b)) {
    return divide(unpack(a), unpack(b));
  }
  if (is_nan(a) || is_nan(b)) {
    return nan_of(a, b);
  }
  const u64 sign = (a ^ b) & sign_bit;
  if ((is_infinite(a) && is_infinite(b)) || (is_zero(a) && is_zero(b))) {
    return indefinite;
  }
  return is_infinite(a) || is_zero(b) ? sign | infinity_bits : sign;
}

// (a * b) + s: the product rounded to extended, then the sum.
inline u64 add_product(u64 s, u64 a, u64 b) {
  using namespace core;
  if (!is_finite_nonzero(a) || !is_finite_nonzero(b)) {
    // A zero, infinite or NaN product is exact as a double.
    return sum(product(a, b), s);
  }
  const Ext p = mul(unpack(a), unpack(b));
  if (is_finite_nonzero(s)) {
    return add(p, unpack(s));
  }
  if (is_zero(s)) {
    return pack(p);
  }
  return is_nan(s) ? s | quiet_bit : s;
}

// s - (a * b): the product rounded to extended, then the difference.
inline u64 sub_product(u64 s, u64 a, u64 b) {
  using namespace core;
  if (!is_finite_nonzero(a) || !is_finite_nonzero(b)) {
    return difference(s, product(a, b));
  }
  const Ext p = negated(mul(unpack(a), unpack(b)));
  if (is_finite_nonzero(s)) {
    return add(unpack(s), p);
  }
  if (is_zero(s)) {
    return pack(p);
  }
  return is_nan(s) ? s | quiet_bit : s;
}

// The pivot test: m = |s| * scale rounded to extended, compared unrounded
// with best, so that candidates which round to the same double are still
// told apart. False when m or best is a NaN; when true, *rounded = m stored
// as a double.
inline bool scaled_ge(u64 s, u64 scale, u64 best, u64 *rounded) {
  using namespace core;
  s &= magnitude_mask;
  if (is_nan(s) || is_nan(scale) || is_nan(best)) {
    return false;
  }
  if (!is_finite_nonzero(s) || !is_finite_nonzero(scale)) {
    const u64 m = product(s, scale); // exact: zero, infinity or indefinite
    if (!(greater(m, best) || equal(m, best))) {
      return false;
    }
    *rounded = m;
    return true;
  }
  const Ext m = mul(unpack(s), unpack(scale));
  bool ge;
  if (is_finite_nonzero(best)) {
    ge = ext_ge(m, unpack(best));
  } else if (is_zero(best)) {
    ge = m.sign == 0;
  } else {
    ge = (best & sign_bit) != 0; // only -infinity lies below
  }
  if (ge) {
    *rounded = pack(m);
  }
  return ge;
}

} // namespace soft
} // namespace tovra_detail

#endif
