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
#ifndef TOVRA_SOFT_X87_H
#define TOVRA_SOFT_X87_H

#include <cstdint>

namespace tovra_detail {
namespace soft {

typedef std::uint64_t u64;

namespace core {

typedef std::uint32_t u32;

const u64 sign_bit = u64(1) << 63;
const u64 quiet_bit = u64(1) << 51;
const u64 frac_mask = (u64(1) << 52) - 1;
const u64 inf_bits = u64(0x7ff) << 52;
const u64 indefinite = u64(0xfff8) << 48;

inline int clz64(u64 x) { // x != 0
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

inline bool is_nan(u64 u) { return (u << 1) > (inf_bits << 1); }
// Neither a zero nor an infinity nor a NaN.
inline bool is_finite_nonzero(u64 u) { return (u << 1) - 1 < (inf_bits << 1) - 1; }

// The result of a step with at least one NaN operand. Comparing the doubles
// shifted left compares their significands, since both exponent fields are
// all ones; the quiet bit takes part, but both are quiet by then.
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

// A nonzero finite extended value: (-1)^sign * m * 2^e, bit 63 of m set.
struct Ext {
  u64 m;
  int e;
  u64 sign; // 0 or sign_bit
};

// A nonzero finite double, exactly; a subnormal is normalised, so the low
// 11 bits of m are zero for every double.
inline Ext unpack(u64 u) {
  Ext x;
  x.sign = u & sign_bit;
  const int biased = static_cast<int>(u >> 52 & 0x7ff);
  const u64 f = u & frac_mask;
  if (biased != 0) {
    x.m = (f | u64(1) << 52) << 11;
    x.e = biased - 1086;
  } else {
    const int n = clz64(f);
    x.m = f << n;
    x.e = -1074 - n;
  }
  return x;
}

// m (with the bits below it in rest, the first of them worth half a unit of
// m) rounded to nearest, ties to even, as the 64-bit extended significand.
// Adding just under half a unit, or exactly half to an odd m, carries into
// m exactly when it rounds up: no branch on the direction, which is random.
inline Ext round_ext(u64 m, u64 rest, int e, u64 sign) {
  const u64 bias = (sign_bit - 1) + (m & 1);
  m += static_cast<u64>(rest + bias < bias);
  if (m == 0) {
    m = sign_bit;
    ++e;
  }
  Ext x = {m, e, sign};
  return x;
}

// The store: an extended value rounded to double. Below the normal range the
// 64-bit significand is rounded once onto the subnormal grid.
inline u64 pack(const Ext &x) {
  const int top = x.e + 63; // exponent of the leading bit
  if (static_cast<unsigned>(top + 1022) <= 2045) {
    const u64 t = x.m >> 11, r = x.m & 0x7ff;
    // t carries the hidden bit, which adds one to the biased exponent, and a
    // carry out of the rounding moves on into the exponent (up to infinity).
    return x.sign | ((static_cast<u64>(top + 1022) << 52) + t + (r + (t & 1) > 0x400));
  }
  if (top > 1023) {
    return x.sign | inf_bits;
  }
  const int sh = -1011 - top; // at least 12: the grid is 2^-1074
  if (sh >= 64) {
    // Under half the smallest subnormal: zero. From a half (sh = 64) up to
    // it: the smallest subnormal, but exactly a half is a tie, and zero is
    // the even neighbour.
    return x.sign | (sh == 64 && x.m > sign_bit ? 1 : 0);
  }
  const u64 t = x.m >> sh, r = x.m << (64 - sh);
  // A carry into bit 52 gives the smallest normal, which is the right bits.
  return x.sign | (t + (r > sign_bit || (r == sign_bit && (t & 1)) ? 1 : 0));
}

// The product of two doubles (the low 11 bits of both m are zero), rounded
// to extended. The 53 x 53 bit product is formed from 32-bit halves: the
// high halves have 21 bits, so the middle sum cannot overflow.
inline Ext mul(const Ext &a, const Ext &b) {
  const u64 x = a.m >> 11, y = b.m >> 11;
  const u32 xl = static_cast<u32>(x), xh = static_cast<u32>(x >> 32);
  const u32 yl = static_cast<u32>(y), yh = static_cast<u32>(y >> 32);
  const u64 ll = static_cast<u64>(xl) * yl;
  const u64 mid = static_cast<u64>(xl) * yh + static_cast<u64>(xh) * yl + (ll >> 32);
  const u64 lo = mid << 32 | static_cast<u32>(ll), hi = static_cast<u64>(xh) * yh + (mid >> 32);
  // x * y = hi * 2^64 + lo lies in [2^104, 2^106).
  const int sh = 23 - static_cast<int>(hi >> 41);
  return round_ext(hi << sh | lo >> (64 - sh), lo << sh, a.e + b.e + 86 - sh, a.sign ^ b.sign);
}

// The sum of two extended values rounded to extended, then stored; an exact
// cancellation gives +0. The smaller term is aligned to a 128-bit window
// under the larger one's leading bit. Bits that fall out of the window are
// folded into its lowest bit: that keeps the sum strictly between the same
// two multiples of 2 window units, and every rounding decision below is
// taken at a multiple of 2^62, so it decides as the exact sum would.
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

// The quotient of two doubles to 64 bits, and one bit more with the
// remainder, by long division in 11-bit digits: the remainder stays under
// the 53-bit divisor, so a digit step never overflows 64 bits.
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
  // q holds 64 bits. A quotient of 53-bit integers is never exactly halfway
  // between two 64-bit values, but the tie rule costs nothing.
  r <<= 1;
  if (r > y || (r == y && (q & 1))) {
    if (++q == 0) {
      q = sign_bit;
      ++e;
    }
  }
  const Ext z = {q, e - 63, a.sign ^ b.sign};
  return pack(z);
}

// IEEE order of two doubles that are not NaNs, as unsigned integers: the
// negative ones complemented below the positive ones. -0 and +0 map apart
// and are told equal by the callers.
inline u64 order_key(u64 u) { return (u & sign_bit) ? ~u : u | sign_bit; }
inline bool both_zero(u64 a, u64 b) { return ((a | b) << 1) == 0; }

// m >= b for an extended value and a nonzero finite double.
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

inline bool greater(u64 a, u64 b) {
  return !core::is_nan(a) && !core::is_nan(b) && !core::both_zero(a, b) &&
         core::order_key(a) > core::order_key(b);
}

inline bool equal(u64 a, u64 b) {
  return !core::is_nan(a) && !core::is_nan(b) && (a == b || core::both_zero(a, b));
}

inline bool is_zero(u64 a) { return (a << 1) == 0; }

inline u64 magnitude(u64 a) { return a & ~core::sign_bit; }

inline u64 sum(u64 a, u64 b) {
  using namespace core;
  if (is_finite_nonzero(a) && is_finite_nonzero(b)) {
    return add(unpack(a), unpack(b));
  }
  if (is_nan(a) || is_nan(b)) {
    return nan_of(a, b);
  }
  const bool inf_a = (a << 1) == (inf_bits << 1), inf_b = (b << 1) == (inf_bits << 1);
  if (inf_a) {
    return inf_b && a != b ? indefinite : a;
  }
  if (inf_b) {
    return b;
  }
  if (both_zero(a, b)) {
    return a & b; // -0 only when both are -0
  }
  return is_zero(a) ? b : a;
}

inline u64 difference(u64 a, u64 b) {
  // The unit returns a NaN subtrahend as it is, sign and all.
  return core::is_nan(b) ? core::nan_of(a, b) : sum(a, b ^ core::sign_bit);
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
  if ((a << 1) == (inf_bits << 1) || (b << 1) == (inf_bits << 1)) {
    return is_zero(a) || is_zero(b) ? indefinite : sign | inf_bits;
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
  const bool inf_a = (a << 1) == (inf_bits << 1), inf_b = (b << 1) == (inf_bits << 1);
  if ((inf_a && inf_b) || (is_zero(a) && is_zero(b))) {
    return indefinite;
  }
  return inf_a || is_zero(b) ? sign | inf_bits : sign;
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
  s &= ~sign_bit;
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
