// SPDX-License-Identifier: MIT
// The single steps of the fused multiply-add arithmetic (fast_fma.h): a sum,
// difference, product or quotient of two doubles, the two accumulation
// rules and the pivot test, each computed with double arithmetic and a
// fused multiply-add, proved to be the x87 result by a few exact
// operations, and handed to the integer arithmetic (soft_x87.h) when the
// proof does not go through: ties of the two grids, binade edges, subnormal
// and overflowing results, infinities and NaNs (whose payloads follow the
// x87 rules there). The steps are inline, so that the kernels' loops keep
// them in registers; the integer steps are out of line and cold.
//
// A build without a hardware fused multiply-add (the Dekker layer,
// host_state.h) takes the same steps, with the exact low part of a product
// from Veltkamp's split and Dekker's product instead (low_part), which
// holds for a narrower range of operands: the steps that need it send the
// others to the integers, and the two that use the fused step's single
// rounding say what stands in for it.
//
// The common argument. The x87 unit rounds the exact value x of a step to a
// 64-bit significand, then the store rounds that to double; the fast step
// rounds x once, to y. Both roundings are monotone, and every midpoint
// between neighbouring doubles (on the subnormal grid too, and the overflow
// threshold) has a 64-bit significand. So the two results differ only when
// x rounds to 64 bits onto a midpoint M without being M: |x - M| is then at
// most half a 64-bit unit at M, and y is a neighbour of M. With 2^k the
// binade of the double below |y| (y's own, or the one below when |y| is a
// power of two), M lies at least 2^(k-53) from y and its half unit is at
// most 2^(k-63), so |x - y| >= 2^(k-53) - 2^(k-63). Hence
//   |x - y| < 2^k * quick_half_unit   (a little less than that)
// proves y is the x87 result. A subnormal y (or the smallest normal) has no
// such k: 2^k comes out as 0 and nothing passes. A zero y has 2^k infinite
// and always passes, rightly: y = 0 means |x| <= 2^-1075, which rounds to a
// zero of x's sign on either path (an exact zero takes the sign IEEE gives
// it, on both). An infinite or NaN step leaves x - y as
// an infinity or a NaN, which fails the comparison. The steps differ only
// in how they get x - y exactly.
//
// Must be compiled with contraction off: a multiply merged into the
// following addition would skip the roundings the checks rely on.
#ifndef TOVRA_FMA_STEPS_H
#define TOVRA_FMA_STEPS_H

#include <cstdint>
#include <cstring>

#include "arith/host_state.h"
#include "arith/soft_x87.h"
#include "bitwise/double_bits.h"

#if defined(__clang__)
#pragma clang fp contract(off)
#endif

namespace tovra_detail {
namespace fast {

typedef std::uint64_t u64;

inline u64 bits_of(double x) {
  u64 b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

inline double double_of(u64 b) {
  double x;
  std::memcpy(&x, &b, sizeof x);
  return x;
}

#if defined(TOVRA_FMA_DEKKER)
const bool by_halves = true;
#else
const bool by_halves = false;

// a * b + c rounded once, by the processor's instruction. On x86-64 the
// kernels that call the steps are compiled for the baseline instruction
// set, which cannot inline a function compiled for FMA, so the instruction
// is written out; the policy runs only where the processor has it
// (fma_state_is_default). Every other target of this path has it in its
// baseline, where the builtin is the instruction. A build without the
// instruction has no such function: the builtin would be a library call,
// whose roundings near the subnormals nobody vouches for.
inline double fused(double a, double b, double c) {
#if defined(__x86_64__)
  __asm__("vfmadd231sd %2, %1, %0" : "+x"(c) : "x"(a), "x"(b));
  return c;
#else
  return __builtin_fma(a, b, c);
#endif
}
#endif

// Veltkamp's split and Dekker's product, over a double or a layer's vector
// of doubles (fma_dekker.cpp): the one rule for the exact low part of a
// product without a fused multiply-add.
//
// x = hi + lo exactly, hi of 26 significant bits and lo of 26 (its sign
// carries the 27th), as long as x * (2^27 + 1) does not overflow, that is
// |x| below about 2^997 (2^1024 / (2^27 + 1)); beyond, hi and lo are NaNs. With 2^ea and 2^eb the
// binades of a and b, the four partial products of the halves are
// multiples of 2^(ea+eb-104) of at most 53 bits, and Dekker's sums of them
// less ph (a * b rounded) stay on that grid and in range: a * b - ph comes
// out exact as long as nothing overflows and the grid is not finer than the
// subnormals', ea + eb >= -970. Operands zero or of magnitude 2^-450 or more
// (operands_not_tiny) keep it at 2^-1004 or coarser. Overflow anywhere
// leaves an infinity or a NaN, which fails every test built on it.
// (Split one operand at a time: with both splits interleaved, g++ keeps the
// row update's loop about a fifth slower on x86-64.)
template <class T> __attribute__((always_inline)) inline void split_halves(T x, T &hi, T &lo) {
  const T g = x * (0x1p27 + 1);
  hi = g - (g - x);
  lo = x - hi;
}
template <class T> __attribute__((always_inline)) inline T product_low_by_halves(T a, T b, T ph) {
  T ah, al, bh, bl;
  split_halves(a, ah, al);
  split_halves(b, bh, bl);
  return (((ah * bh - ph) + ah * bl) + al * bh) + al * bl;
}

// The quick test's bound on |x - y| for 2^k = 1: half a unit, 2^-53, less
// 2^-63 for a rounding to 64 bits at the midpoint (half a 64-bit unit of the
// binade above, when y is a power of two), less room for the error of the
// bound itself and of x - y where that is not exact (the row update).
const double quick_half_unit = 0x1p-53 - 0x1p-63 - 0x1p-82;
// The accumulation rules round the product to 64 bits first: 2^(E-64) more,
// E the product's exponent, with room for the errors.
const double quick_product_margin = 0x1p-64 + 0x1p-84;

// 2^k of the common argument for y: the exponent field of the double below
// |y| (subtracting 1 from a zero's bits sets every exponent bit: infinity).
inline double binade_below(double y) { return double_of((bits_of(y) - 1) & exponent_bits); }

// Zero, or of magnitude 2^-450 or more (the row update's operand rule,
// fma_rows.h). Shifted left, the sign drops out; 0 - 1 wraps to the top.
const u64 operand_low = u64(1023 - 450) << 52;
inline bool operand_not_tiny(u64 x) { return (x << 1) - 1 >= (operand_low << 1) - 1; }
// Both at once, without a branch for each (they are almost never tiny).
inline bool operands_not_tiny(u64 a, u64 b) {
  return (static_cast<int>(operand_not_tiny(a)) & static_cast<int>(operand_not_tiny(b))) != 0;
}

// a * b - ph, ph = a * b rounded: one fused step, exact unless a * b - ph lies
// below the normal range, where it is rounded onto the subnormal grid; or,
// without the instruction, Dekker's product, exact for the operands that
// low_part_exact lets through.
inline double low_part(double a, double b, double ph) {
#if defined(TOVRA_FMA_DEKKER)
  return product_low_by_halves(a, b, ph);
#else
  return fused(a, b, -ph);
#endif
}
inline bool low_part_exact(u64 a, u64 b) { return !by_halves || operands_not_tiny(a, b); }

#define TOVRA_COLD __attribute__((noinline, cold)) inline
TOVRA_COLD u64 soft_sum(u64 a, u64 b) { return soft::sum(a, b); }
TOVRA_COLD u64 soft_difference(u64 a, u64 b) { return soft::difference(a, b); }
TOVRA_COLD u64 soft_product(u64 a, u64 b) { return soft::product(a, b); }
TOVRA_COLD u64 soft_quotient(u64 a, u64 b) { return soft::quotient(a, b); }
TOVRA_COLD u64 soft_add_product(u64 s, u64 a, u64 b) { return soft::add_product(s, a, b); }
TOVRA_COLD u64 soft_sub_product(u64 s, u64 a, u64 b) { return soft::sub_product(s, a, b); }
TOVRA_COLD bool soft_scaled_ge(u64 s, u64 scale, u64 &best) { return soft::scaled_ge(s, scale, best, &best); }
#undef TOVRA_COLD

// a + b: the two-sum gives e = x - y exactly whenever it stays finite (an
// overflow anywhere in it leaves e infinite or NaN). e = 0 is an exact sum,
// y itself, also where the bound is 0 (subnormal sums are exact, and every
// sum is on the grid of the smallest subnormal): the bound is raised to
// that grid's unit, which only e = 0 lies below. Exact sums are common and
// come mixed with inexact ones, so no branch tells them apart.
const double smallest_subnormal = 0x1p-1074;

inline bool sum_is_rounded(double a, double b, double &y) {
  y = a + b;
  const double bb = y - a;
  const double e = (a - (y - bb)) + (b - bb);
  const double bound = binade_below(y) * quick_half_unit;
  return __builtin_fabs(e) < (bound > smallest_subnormal ? bound : smallest_subnormal);
}

inline u64 sum(u64 a, u64 b) {
  double y;
  if (__builtin_expect(sum_is_rounded(double_of(a), double_of(b), y), 1)) {
    return bits_of(y);
  }
  return soft_sum(a, b);
}

// a - b is a + (-b), signs of zeros included.
inline u64 difference(u64 a, u64 b) {
  double y;
  if (__builtin_expect(sum_is_rounded(double_of(a), -double_of(b), y), 1)) {
    return bits_of(y);
  }
  return soft_difference(a, b);
}

// a * b: the low part gives pl = x - y, exactly unless x - y lies below
// the normal range, where pl is x - y rounded to the subnormal grid. Then
// the bound is on that grid too (or y is far above it): |pl| below the
// bound still puts |x - y| below the bound of the argument.
inline bool product_is_rounded(double a, double b, double &y) {
  y = a * b;
  const double pl = low_part(a, b, y);
  return __builtin_fabs(pl) < binade_below(y) * quick_half_unit;
}

inline u64 product(u64 a, u64 b) {
  double y;
  if (__builtin_expect(low_part_exact(a, b) && product_is_rounded(double_of(a), double_of(b), y), 1)) {
    return bits_of(y);
  }
  return soft_product(a, b);
}

// a / b: the remainder r = a - y b from one fused step is exact when it is
// not below the normal range, and x - y = r / b. So the test is
// |r| < 2^k |b| quick_half_unit, whose bound is exact (2^k a power of two,
// 2^k |b| at most |a|) but for its last rounding. Below the normal range r
// and the bound are rounded to the subnormal grid, at most half its unit
// off; both on that grid, |r| below the bound is still |r| below the exact
// bound. A positive bound needs 2^k |b| of 2^-1022 or more: its rounding
// is then relative and far below the margin. A zero y (a zero a, or an
// underflow) has an infinite bound.
//
// Without the instruction r is (a - ph) - pl, with y * b = ph + pl exactly
// by Dekker's product: for a and b in the halves' range (zero or of
// magnitude 2^-450 or more), a normal y has y * b within a factor of two
// of a, so the binades of y and b add up to at least a's less two, -452
// or more, which keeps the halves exact; ph then lies within a factor of
// two of a too, so a - ph is exact (Sterbenz), and so is the last
// subtraction, whose exact value r is a double. A zero y gives r = a, as
// the fused step does, while |b| is below about 2^997 (beyond, the split's
// NaN sends the step to the integers); a subnormal one has a zero bound.
inline u64 quotient(u64 ua, u64 ub) {
  const double a = double_of(ua), b = double_of(ub);
  const double y = a / b;
#if defined(TOVRA_FMA_DEKKER)
  const double ph = y * b;
  const double r = (a - ph) - low_part(y, b, ph);
#else
  const double r = fused(-y, b, a);
#endif
  if (__builtin_expect(low_part_exact(ua, ub) &&
                           __builtin_fabs(r) < binade_below(y) * __builtin_fabs(b) * quick_half_unit,
                       1)) {
    return bits_of(y);
  }
  return soft_quotient(ua, ub);
}

// s - a * b with the product rounded to 64 bits, the difference to 64 bits
// and then to double: the row update's quick test (fma_rows.h, tier 1) on one
// element, with its operand rule. y from one fused step is x rounded once;
// rho, x - y from exact parts, has an error far below the margin; the x87
// unit rounds last a value within 2^(E-64) of x, which the bound takes off.
// s + a * b is s - (-a) * b, signs of zeros included.
//
// Without the instruction this is the row update's quick test for layers
// without one (fma_rows.h), whose argument holds here as it stands: db =
// pl + (ph + bp) is a * b + bp rounded once (ph + bp is the two-sum's exact
// -(-ph - bp)); y = h - (db - da), the exact value rounded three times, passes
// only where it is the x87 result (the test holds for any y close to the
// exact value, and the later roundings move y only near a midpoint, where
// the test fails), and is zero only for an exact zero, with the fused
// step's sign. The bound's product ep * margin is exact (ep is 2^-900 or
// more for a non-zero product of operands in range), so its one rounding
// is the fused step's.
inline bool accumulation_is_rounded(double s, double a, double b, double &y) {
  const double ph = a * b;
#if !defined(TOVRA_FMA_DEKKER)
  y = fused(-a, b, s);
#endif
  const double h = s - ph;
  const double bp = h - s;
  const double da = s - (h - bp);
#if defined(TOVRA_FMA_DEKKER)
  const double db = low_part(a, b, ph) + (ph + bp);
  y = h - (db - da);
#else
  const double db = fused(a, b, bp);
#endif
  const double rho = (h - y) + (da - db);
  const double ep = double_of(bits_of(ph) & exponent_bits);
#if defined(TOVRA_FMA_DEKKER)
  const double bound = binade_below(y) * quick_half_unit - ep * quick_product_margin;
#else
  const double bound = fused(-ep, quick_product_margin, binade_below(y) * quick_half_unit);
#endif
  return __builtin_fabs(rho) < bound;
}

inline u64 sub_product(u64 s, u64 a, u64 b) {
  double y;
  if (__builtin_expect(operands_not_tiny(a, b) &&
                           accumulation_is_rounded(double_of(s), double_of(a), double_of(b), y),
                       1)) {
    return bits_of(y);
  }
  return soft_sub_product(s, a, b);
}

inline u64 add_product(u64 s, u64 a, u64 b) {
  double y;
  if (__builtin_expect(operands_not_tiny(a, b) &&
                           accumulation_is_rounded(double_of(s), -double_of(a), double_of(b), y),
                       1)) {
    return bits_of(y);
  }
  return soft_add_product(s, a, b);
}

// The pivot test: m, |s| times scale rounded to 64 bits, compared with best
// (a double, or a NaN) unrounded; best takes m rounded to double when it
// qualifies. With ph = |s| scale rounded once: ph > best puts the exact
// product above best, and m, rounded on a grid that holds best, at or above
// it; ph < best puts the product at least half a gap between doubles below
// best, far more than half a 64-bit unit, so m stays below. Equal, the sign
// of the product's low part pl decides: positive, or +0 (an exact zero, or
// a positive part too small for the subnormals), m >= best; negative, m may
// still round up onto best, and -0 hides a negative part below the
// subnormals: the integers settle both. A NaN on either side fails, as on
// the x87 unit. The rounded m is ph where the product's test passes.
// Without the instruction the low part must be exact, sign of a zero
// included: tiny operands, whose product the x87 unit keeps far below the
// subnormals, go to the integers before it.
inline bool scaled_ge(u64 s, u64 scale, u64 &best) {
  const double a = double_of(s & magnitude_mask), c = double_of(scale), b = double_of(best);
  const double ph = a * c;
  if (__builtin_isless(ph, b)) {
    return false;
  }
  if (!low_part_exact(s, scale)) {
    return soft_scaled_ge(s, scale, best);
  }
  const double pl = low_part(a, c, ph);
  if (__builtin_isgreater(ph, b) || (ph == b && pl >= 0 && !__builtin_signbit(pl))) {
    if (__builtin_fabs(pl) < binade_below(ph) * quick_half_unit) {
      best = bits_of(ph);
      return true;
    }
  } else if (__builtin_isunordered(ph, b)) {
    return false;
  }
  return soft_scaled_ge(s, scale, best);
}

} // namespace fast
} // namespace tovra_detail

#endif
