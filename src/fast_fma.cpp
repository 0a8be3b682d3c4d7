// SPDX-License-Identifier: MIT
// The fast path of the inner loop: the vector fused multiply-add does the
// work, and every element where it could round differently from the x87
// unit is recomputed with the integer arithmetic. x86-64 (AVX2 and FMA, in
// the functions that need them only, so that the library itself still runs
// on any x86-64) and aarch64 (NEON, always present). Must be compiled with
// contraction off: a multiply merged into the following addition would skip
// the very roundings the method relies on.
//
// Every element is s - a * b (add is subtract with -a: the signs of zeros
// come out the same). Three tiers, each exact where its test passes:
//
// 1. The quick test. y = s - a * b from one fused multiply-add is the exact
//    value rounded once to double. The x87 unit rounds the product to 64
//    bits, the difference to 64 bits, then to double: the value it rounds
//    last lies within 2^(E-64) + 2^(F-64) of the exact one (E the exponent
//    of the product, F that of the difference), so its result is y unless
//    the exact value lies that close to a rounding boundary of y. The
//    distance rho = s - a * b - y comes from exact parts (a two-sum of s
//    and -ph, whose last part merges with the product's remainder in one
//    fused step) with an error far below that margin; |rho| below half a
//    unit of y (of the binade below when y is a power of two: the boundary
//    under y is nearer) less the margin means y is the x87 result. Almost
//    every element of ordinary data passes.
//
// 2. The constructive method, for the stretches where some element failed:
//      ph = a * b, pl = a * b - ph     exact
//      q  = pl on the grid 2^(E-63)    ph + q is the product rounded to 64
//                                      bits
//      h + e = s - ph                  exact (two-sum)
//      t  = q - e                      checked exact where it matters
//      r  = t on the grid 2^(K-63)     K the exponent of h (see below)
//      result = h - r                  one rounding to double
//    h is a multiple of twice that grid, so rounding h - t on the grid is
//    h - (t rounded on the grid), ties included; and when s - (ph + q) lies
//    in h's binade, that grid is the one of a 64-bit significand there, so
//    h - r is the difference rounded to 64 bits, and the last subtraction
//    rounds it to double (gradual underflow and overflow included) as the
//    store does. Checked instead of assumed:
//    - ph a power of two with pl != 0: the exact product may lie below ph's
//      binade, where the 64-bit grid is finer;
//    - K = max(exponent of h, E - 40). When the product is 2^2 or more
//      times h, the two-sum is exact (e = 0, Sterbenz) and h - q is a
//      multiple of 2^(E-63) shorter than 64 bits: r = q exactly and the
//      result is h - q rounded once, whatever the binade; E - 40 keeps the
//      grid fine enough for that (and defined when h is zero);
//    - t not exact and on a midpoint of the grid: a tie the rounding of
//      q - e may have created (an exact tie is rounded to even, correctly,
//      because h's 64-bit significand is even there);
//    - t != 0 and h within two units of its binade's ends, where the
//      product is less than 2^2 times h: s - (ph + q) may leave h's binade
//      (|t| is at most 1.5 units of h there), and the grid would change
//      with it;
//    - |h| < 2^1000: nothing overflows before the last step.
//
// 3. The integer arithmetic, for what is left: edges of binades, ties that
//    cannot be told apart, subnormal results, overflow, infinities, NaNs.
//
// Operand ranges. The quick test needs each of a and b to be zero or of
// magnitude 2^-450 or more (a is checked once per row, b per element):
// then a non-zero product is far above the subnormals, and s - a * b is a
// multiple of the smallest subnormal, so that a zero y means an exact zero;
// overflow anywhere shows as an infinity or a NaN in rho and fails the
// test. The constructive method also needs them below 2^450, so that its
// remainder pl is exact and every grid it uses is made of normal numbers.
#include "fast_fma.h"

#include <cstdint>
#include <cstring>

#include "double_bits.h"
#include "soft_x87.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

#if defined(__clang__)
#pragma clang fp contract(off)
#endif

// A test driver may define this to count the elements that go past the
// quick test (tier 2) and to the integer arithmetic (tier 3).
#ifndef TOVRA_FAST_FMA_COUNT
#define TOVRA_FAST_FMA_COUNT(tier, n)
#endif

namespace tovra_detail {
namespace fast {
namespace {

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

// The vector path's operand tests; without that path only
// the integer steps below are built.
#if TOVRA_HAVE_FAST_FMA
// Operands: zero, or of magnitude within [2^-450, 2^450]. The row's
// multiplier is tested on its bits, so that no floating-point comparison
// runs before the state is known to be usable.
const u64 operand_low = u64(1023 - 450) << 52;
const u64 operand_high = u64(1023 + 450) << 52;
const double operand_min = 0x1p-450;
const double operand_max = 0x1p450;

inline bool operand_in_range(double x) {
  const u64 m = bits_of(x) & magnitude_mask;
  return m == 0 || (m >= operand_low && m <= operand_high);
}

inline bool operand_not_tiny(double x) {
  const u64 m = bits_of(x) & magnitude_mask;
  return m == 0 || m >= operand_low;
}

// The quick test's bound on |rho|, for y's binade (or the one below) at
// 2^e: half a unit, 2^(e-53), less 2^(e-63) for the rounding of the
// difference to 64 bits (half a 64-bit unit of the binade above), less
// 2^(E-64) for the rounding of the product, each with room for the error
// of rho and of the bound itself.
const double quick_half_unit = 0x1p-53 - 0x1p-63 - 0x1p-82;
const double quick_product_margin = 0x1p-64 + 0x1p-84;

// The constructive method's constants. 1.5 * 2^-11 times 2^E is a number
// whose unit in the last place is 2^(E-63) and whose significand is even:
// adding and subtracting it rounds a small value on that grid, ties to
// even.
const double grid_constant = 0x1.8p-11;
const double product_reach = 0x1p-40;
// Below every grid the checks let through; keeps the constants normal
// where the product is zero.
const double grid_floor = 0x1p-960;
const double sum_limit = 0x1p1000;
#endif

template <bool Subtract> inline double soft_step(double s, double m, double u) {
  const u64 r = Subtract ? soft::sub_product(bits_of(s), bits_of(m), bits_of(u))
                         : soft::add_product(bits_of(s), bits_of(m), bits_of(u));
  return double_of(r);
}

template <bool Subtract> void soft_row(double *row, double m, const double *u, unsigned c0, unsigned c1) {
  TOVRA_FAST_FMA_COUNT(3, c1 - c0);
  for (unsigned c = c0; c < c1; ++c) {
    row[c] = soft_step<Subtract>(row[c], m, u[c]);
  }
}

// The elements of a stretch of n whose bit in ok is clear, again from the
// sums they had before (s).
template <bool Subtract>
__attribute__((noinline, cold)) void redo(double *row, const double *s, double m, const double *u,
                                          unsigned ok, unsigned n) {
  for (unsigned j = 0; j < n; ++j) {
    if (!(ok >> j & 1)) {
      TOVRA_FAST_FMA_COUNT(3, 1);
      row[j] = soft_step<Subtract>(s[j], m, u[j]);
    }
  }
}

#if defined(__x86_64__)

#define TOVRA_AVX2 __attribute__((target("avx2,fma")))
#define TOVRA_AVX2_INLINE __attribute__((target("avx2,fma"), always_inline)) inline

typedef __m256d v4;

TOVRA_AVX2_INLINE v4 from_bits(u64 b) {
  return _mm256_castsi256_pd(_mm256_set1_epi64x(static_cast<long long>(b)));
}

// The lanes whose operand b may enter the vector tiers.
TOVRA_AVX2_INLINE v4 operand_ok(v4 b) {
  const v4 mag = _mm256_and_pd(b, from_bits(magnitude_mask));
  const v4 lo = _mm256_cmp_pd(mag, _mm256_set1_pd(operand_min), _CMP_GE_OQ);
  const v4 hi = _mm256_cmp_pd(mag, _mm256_set1_pd(operand_max), _CMP_LE_OQ);
  const v4 zero = _mm256_cmp_pd(b, _mm256_setzero_pd(), _CMP_EQ_OQ);
  return _mm256_and_pd(hi, _mm256_or_pd(lo, zero));
}

// The lanes whose operand b may enter the quick test: not tiny (the
// quick test needs no upper bound).
TOVRA_AVX2_INLINE v4 operand_not_tiny(v4 b) {
  const v4 mag = _mm256_and_pd(b, from_bits(magnitude_mask));
  return _mm256_or_pd(_mm256_cmp_pd(mag, _mm256_set1_pd(operand_min), _CMP_GE_OQ),
                      _mm256_cmp_pd(b, _mm256_setzero_pd(), _CMP_EQ_OQ));
}

// Tier 1: y, exact in the lanes where ok comes out set.
TOVRA_AVX2_INLINE v4 quick(v4 s, v4 a, v4 b, v4 &ok) {
  const v4 expo = from_bits(exponent_bits);
  const v4 ph = _mm256_mul_pd(a, b);
  const v4 y = _mm256_fnmadd_pd(a, b, s);
  // Two-sum of s and -ph, whose last part -ph - bp merges with the
  // product's remainder into a * b + bp, formed by one fused step.
  const v4 h = _mm256_sub_pd(s, ph);
  const v4 bp = _mm256_sub_pd(h, s);
  const v4 da = _mm256_sub_pd(s, _mm256_sub_pd(h, bp));
  const v4 db = _mm256_fmadd_pd(a, b, bp);
  const v4 rho = _mm256_add_pd(_mm256_sub_pd(h, y), _mm256_sub_pd(da, db));
  // The binade of the double below |y|: y's own unless y is a power of two
  // (then the one below, with the smaller unit); infinite for a zero y,
  // which is exact here.
  const __m256i below = _mm256_sub_epi64(_mm256_castpd_si256(y), _mm256_set1_epi64x(1));
  const v4 ey = _mm256_and_pd(_mm256_castsi256_pd(below), expo);
  const v4 ep = _mm256_and_pd(ph, expo);
  const v4 limit = _mm256_fnmadd_pd(ep, _mm256_set1_pd(quick_product_margin),
                                    _mm256_mul_pd(ey, _mm256_set1_pd(quick_half_unit)));
  ok = _mm256_cmp_pd(_mm256_and_pd(rho, from_bits(magnitude_mask)), limit, _CMP_LT_OQ);
  return y;
}

// Tier 2: the constructive method, exact in the lanes where ok comes out
// set.
TOVRA_AVX2_INLINE v4 constructive(v4 s, v4 a, v4 b, v4 &ok) {
  const v4 expo = from_bits(exponent_bits);
  const v4 third = _mm256_set1_pd(grid_constant);
  const v4 zero = _mm256_setzero_pd();
  const __m256i one = _mm256_set1_epi64x(1);

  const v4 ph = _mm256_mul_pd(a, b);
  const v4 pl = _mm256_fmsub_pd(a, b, ph);
  const v4 ep = _mm256_and_pd(ph, expo);
  const v4 cq = _mm256_mul_pd(ep, third);
  const v4 q = _mm256_sub_pd(_mm256_add_pd(pl, cq), cq);

  const v4 h = _mm256_sub_pd(s, ph);
  const v4 bp = _mm256_sub_pd(h, s);
  const v4 ap = _mm256_sub_pd(h, bp);
  const v4 e = _mm256_sub_pd(_mm256_sub_pd(s, ap), _mm256_add_pd(ph, bp));
  const v4 t = _mm256_sub_pd(q, e);

  const v4 eh = _mm256_and_pd(h, expo);
  const v4 g = _mm256_max_pd(_mm256_max_pd(eh, _mm256_mul_pd(ep, _mm256_set1_pd(product_reach))),
                             _mm256_set1_pd(grid_floor));
  const v4 c2 = _mm256_mul_pd(g, third);
  const v4 r = _mm256_sub_pd(_mm256_add_pd(t, c2), c2);
  const v4 result = _mm256_sub_pd(h, r);

  // The product's binade edge.
  const __m256i pb = _mm256_castpd_si256(ph);
  const v4 power = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_slli_epi64(pb, 12), _mm256_setzero_si256()));
  v4 bad = _mm256_and_pd(power, _mm256_cmp_pd(pl, zero, _CMP_NEQ_UQ));
  // A midpoint that t may have been rounded onto: rounded with the
  // opposite tie-break (the constant one unit up is odd), it differs. t is
  // exact when both orders of the fast two-sum see no error.
  const v4 c2odd = _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(c2), one));
  const v4 rodd = _mm256_sub_pd(_mm256_add_pd(t, c2odd), c2odd);
  const v4 tie = _mm256_cmp_pd(r, rodd, _CMP_NEQ_UQ);
  const v4 inexact = _mm256_or_pd(_mm256_cmp_pd(_mm256_add_pd(t, e), q, _CMP_NEQ_UQ),
                                  _mm256_cmp_pd(_mm256_sub_pd(q, t), e, _CMP_NEQ_UQ));
  bad = _mm256_or_pd(bad, _mm256_and_pd(tie, inexact));
  // h's binade edges (fraction 0, 1 or all ones), unless the product is
  // 2^2 or more times h, where the binade does not matter.
  const __m256i hb = _mm256_castpd_si256(h);
  const __m256i frac = _mm256_and_si256(_mm256_add_epi64(hb, one), _mm256_set1_epi64x(fraction_bits));
  const v4 edge = _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(3), frac));
  const v4 exact_case = _mm256_cmp_pd(ep, _mm256_add_pd(eh, eh), _CMP_GT_OQ);
  bad = _mm256_or_pd(bad,
                     _mm256_andnot_pd(exact_case, _mm256_and_pd(edge, _mm256_cmp_pd(t, zero, _CMP_NEQ_UQ))));

  const v4 finite = _mm256_cmp_pd(eh, _mm256_set1_pd(sum_limit), _CMP_LT_OQ);
  ok = _mm256_andnot_pd(bad, finite);
  return result;
}

// The stretch of n <= 4 elements of row d (lanes: the mask of those) that
// had the sums s and failed the quick test: the constructive method where
// it holds, the integer arithmetic elsewhere. Out of line, and rare.
template <bool Subtract>
__attribute__((target("avx2,fma"), noinline, cold)) void slow(double *d, const double *s, const double *m,
                                                              const double *u, __m256i lanes, unsigned n) {
  const v4 sv = _mm256_maskload_pd(s, lanes);
  const v4 a = _mm256_set1_pd(Subtract ? *m : -*m);
  const v4 b = _mm256_maskload_pd(u, lanes);
  const unsigned ignored = 15u << n & 15u;
  v4 ok1, ok2;
  const v4 out1 = quick(sv, a, b, ok1);
  const v4 out2 = constructive(sv, a, b, ok2);
  const unsigned k1 = static_cast<unsigned>(_mm256_movemask_pd(_mm256_and_pd(ok1, operand_not_tiny(b))));
  const unsigned k2 =
      operand_in_range(*m) ? static_cast<unsigned>(_mm256_movemask_pd(_mm256_and_pd(ok2, operand_ok(b)))) : 0;
  const unsigned k = k1 | k2 | ignored;
  TOVRA_FAST_FMA_COUNT(2, 4 - __builtin_popcount(k1 | ignored));
  _mm256_maskstore_pd(d, lanes, _mm256_blendv_pd(out2, out1, ok1));
  redo<Subtract>(d, s, *m, u, k, n);
}

// Tier 1 for one element, as quick().
TOVRA_AVX2_INLINE double quick1(double s, double a, double b, bool &ok) {
  const double ph = a * b;
  const double y = __builtin_fma(-a, b, s);
  const double h = s - ph;
  const double bp = h - s;
  const double da = s - (h - bp);
  const double db = __builtin_fma(a, b, bp);
  const double rho = (h - y) + (da - db);
  const double ey = double_of((bits_of(y) - 1) & exponent_bits);
  const double ep = double_of(bits_of(ph) & exponent_bits);
  const double limit = __builtin_fma(-ep, quick_product_margin, ey * quick_half_unit);
  ok = double_of(bits_of(rho) & magnitude_mask) < limit && operand_not_tiny(b);
  return y;
}

template <int R, bool Subtract>
TOVRA_AVX2 void rows(double *const *d, const double *m, const double *u, unsigned c0, unsigned c1) {
  v4 a[R];
  double *row[R];
  for (int t = 0; t < R; ++t) {
    a[t] = _mm256_set1_pd(Subtract ? m[t] : -m[t]);
    row[t] = d[t];
  }
  const __m256i all = _mm256_set1_epi64x(-1);
  if (c1 - c0 < 4) {
    // Too short for a vector: one element at a time.
    const __m256i first = _mm256_set_epi64x(0, 0, 0, -1);
    for (int t = 0; t < R; ++t) {
      for (unsigned c = c0; c < c1; ++c) {
        bool ok;
        const double sv = row[t][c];
        const double y = quick1(sv, Subtract ? m[t] : -m[t], u[c], ok);
        if (__builtin_expect(ok, 1)) {
          row[t][c] = y;
        } else {
          slow<Subtract>(row[t] + c, &sv, m + t, u + c, first, 1);
        }
      }
    }
    return;
  }
  // A stretch whose length is not a multiple of 4 ends with a vector that
  // overlaps the one before: its sums are saved before the loop changes
  // them, and it is done last (the overlap receives the same values again).
  const unsigned last = c1 - 4;
  const bool overlap = ((c1 - c0) & 3) != 0;
  double saved[R][4];
  if (overlap) {
    for (int t = 0; t < R; ++t) {
      _mm256_storeu_pd(saved[t], _mm256_loadu_pd(row[t] + last));
    }
  }
  for (unsigned c = c0; c + 4 <= c1; c += 4) {
    const v4 b = _mm256_loadu_pd(u + c);
    const v4 bok = operand_not_tiny(b);
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
    for (int t = 0; t < R; ++t) {
      const v4 s = _mm256_loadu_pd(row[t] + c);
      v4 ok;
      const v4 y = quick(s, a[t], b, ok);
      if (__builtin_expect(_mm256_movemask_pd(_mm256_and_pd(ok, bok)) != 15, 0)) {
        double sv[4];
        _mm256_storeu_pd(sv, s);
        slow<Subtract>(row[t] + c, sv, m + t, u + c, all, 4);
      } else {
        _mm256_storeu_pd(row[t] + c, y);
      }
    }
  }
  if (overlap) {
    const v4 b = _mm256_loadu_pd(u + last);
    const v4 bok = operand_not_tiny(b);
    const unsigned n = (c1 - c0) & 3;
    const __m256i lanes = _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_set_epi64x(3, 2, 1, 0));
    for (int t = 0; t < R; ++t) {
      v4 ok;
      const v4 y = quick(_mm256_loadu_pd(saved[t]), a[t], b, ok);
      if (__builtin_expect(_mm256_movemask_pd(_mm256_and_pd(ok, bok)) != 15, 0)) {
        // The overlap already holds its results; only the last n are new.
        slow<Subtract>(row[t] + c1 - n, saved[t] + 4 - n, m + t, u + c1 - n, lanes, n);
      } else {
        _mm256_storeu_pd(row[t] + last, y);
      }
    }
  }
}

#elif defined(__aarch64__)

typedef float64x2_t v2;
typedef uint64x2_t m2;

inline v2 as_double(m2 x) { return vreinterpretq_f64_u64(x); }
inline m2 as_bits(v2 x) { return vreinterpretq_u64_f64(x); }

// The lanes whose operand b may enter the constructive method.
inline m2 operand_ok(v2 b) {
  const v2 mag = vabsq_f64(b);
  const m2 lo = vcgeq_f64(mag, vdupq_n_f64(operand_min));
  const m2 hi = vcleq_f64(mag, vdupq_n_f64(operand_max));
  return vandq_u64(hi, vorrq_u64(lo, vceqzq_f64(b)));
}

// The lanes whose operand b may enter the quick test.
inline m2 operand_not_tiny(v2 b) {
  return vorrq_u64(vcgeq_f64(vabsq_f64(b), vdupq_n_f64(operand_min)), vceqzq_f64(b));
}

// Tier 1, as in the AVX2 version.
inline v2 quick(v2 s, v2 a, v2 b, m2 &ok) {
  const m2 expo = vdupq_n_u64(exponent_bits);
  const v2 ph = vmulq_f64(a, b);
  const v2 y = vfmsq_f64(s, a, b);
  const v2 h = vsubq_f64(s, ph);
  const v2 bp = vsubq_f64(h, s);
  const v2 da = vsubq_f64(s, vsubq_f64(h, bp));
  const v2 db = vfmaq_f64(bp, a, b);
  const v2 rho = vaddq_f64(vsubq_f64(h, y), vsubq_f64(da, db));
  const v2 ey = as_double(vandq_u64(vsubq_u64(as_bits(y), vdupq_n_u64(1)), expo));
  const v2 ep = as_double(vandq_u64(as_bits(ph), expo));
  const v2 limit =
      vfmsq_f64(vmulq_f64(ey, vdupq_n_f64(quick_half_unit)), ep, vdupq_n_f64(quick_product_margin));
  ok = vcltq_f64(vabsq_f64(rho), limit);
  return y;
}

// Tier 2, as in the AVX2 version (the masks here say "good").
inline v2 constructive(v2 s, v2 a, v2 b, m2 &ok) {
  const m2 expo = vdupq_n_u64(exponent_bits);
  const v2 third = vdupq_n_f64(grid_constant);
  const m2 one = vdupq_n_u64(1);

  const v2 ph = vmulq_f64(a, b);
  const v2 pl = vfmaq_f64(vnegq_f64(ph), a, b);
  const v2 ep = as_double(vandq_u64(as_bits(ph), expo));
  const v2 cq = vmulq_f64(ep, third);
  const v2 q = vsubq_f64(vaddq_f64(pl, cq), cq);

  const v2 h = vsubq_f64(s, ph);
  const v2 bp = vsubq_f64(h, s);
  const v2 ap = vsubq_f64(h, bp);
  const v2 e = vsubq_f64(vsubq_f64(s, ap), vaddq_f64(ph, bp));
  const v2 t = vsubq_f64(q, e);

  const v2 eh = as_double(vandq_u64(as_bits(h), expo));
  const v2 g = vmaxq_f64(vmaxq_f64(eh, vmulq_f64(ep, vdupq_n_f64(product_reach))), vdupq_n_f64(grid_floor));
  const v2 c2 = vmulq_f64(g, third);
  const v2 r = vsubq_f64(vaddq_f64(t, c2), c2);
  const v2 result = vsubq_f64(h, r);

  const m2 not_power = vtstq_u64(as_bits(ph), vdupq_n_u64(fraction_bits));
  m2 good = vorrq_u64(not_power, vceqzq_f64(pl));
  const v2 c2odd = as_double(vaddq_u64(as_bits(c2), one));
  const v2 rodd = vsubq_f64(vaddq_f64(t, c2odd), c2odd);
  const m2 exact = vandq_u64(vceqq_f64(vaddq_f64(t, e), q), vceqq_f64(vsubq_f64(q, t), e));
  good = vandq_u64(good, vorrq_u64(vceqq_f64(r, rodd), exact));
  const m2 frac = vandq_u64(vaddq_u64(as_bits(h), one), vdupq_n_u64(fraction_bits));
  const m2 exact_case = vcgtq_f64(ep, vaddq_f64(eh, eh));
  good = vandq_u64(good, vorrq_u64(vorrq_u64(vcgeq_u64(frac, vdupq_n_u64(3)), vceqzq_f64(t)), exact_case));
  ok = vandq_u64(good, vcltq_f64(eh, vdupq_n_f64(sum_limit)));
  return result;
}

inline unsigned lane_bits(m2 ok) {
  return static_cast<unsigned>(vgetq_lane_u64(ok, 0) & 1) | static_cast<unsigned>(vgetq_lane_u64(ok, 1) & 1)
                                                                << 1;
}

// The n <= 2 elements of row d that had the sums s and failed the quick
// test: the constructive method where it holds, the integer arithmetic
// elsewhere. Out of line, and rare.
template <bool Subtract>
__attribute__((noinline, cold)) void slow(double *d, const double *s, const double *m, const double *u,
                                          unsigned n) {
  const v2 sv = n == 2 ? vld1q_f64(s) : vdupq_n_f64(s[0]);
  const v2 a = vdupq_n_f64(Subtract ? *m : -*m);
  const v2 b = n == 2 ? vld1q_f64(u) : vdupq_n_f64(u[0]);
  const unsigned ignored = n == 2 ? 0u : 2u;
  m2 ok1, ok2;
  const v2 out1 = quick(sv, a, b, ok1);
  const v2 out2 = constructive(sv, a, b, ok2);
  const unsigned k1 = lane_bits(vandq_u64(ok1, operand_not_tiny(b)));
  const unsigned k2 = operand_in_range(*m) ? lane_bits(vandq_u64(ok2, operand_ok(b))) : 0;
  TOVRA_FAST_FMA_COUNT(2, 2 - __builtin_popcount(k1 | ignored));
  const v2 out = vbslq_f64(ok1, out1, out2);
  if (n == 2) {
    vst1q_f64(d, out);
  } else {
    vst1q_lane_f64(d, out, 0);
  }
  redo<Subtract>(d, s, *m, u, k1 | k2 | ignored, n);
}

template <int R, bool Subtract>
void rows(double *const *d, const double *m, const double *u, unsigned c0, unsigned c1) {
  v2 a[R];
  double *row[R];
  for (int t = 0; t < R; ++t) {
    a[t] = vdupq_n_f64(Subtract ? m[t] : -m[t]);
    row[t] = d[t];
  }
  unsigned c = c0;
  // Two vectors per row and step, so that a single row still keeps two
  // independent chains in flight.
  for (; c + 4 <= c1; c += 4) {
    const v2 b0 = vld1q_f64(u + c);
    const v2 b1 = vld1q_f64(u + c + 2);
    const m2 bok0 = operand_not_tiny(b0);
    const m2 bok1 = operand_not_tiny(b1);
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
    for (int t = 0; t < R; ++t) {
      const v2 s0 = vld1q_f64(row[t] + c);
      const v2 s1 = vld1q_f64(row[t] + c + 2);
      m2 ok0, ok1;
      const v2 y0 = quick(s0, a[t], b0, ok0);
      const v2 y1 = quick(s1, a[t], b1, ok1);
      const m2 ok = vandq_u64(vandq_u64(ok0, bok0), vandq_u64(ok1, bok1));
      vst1q_f64(row[t] + c, y0);
      vst1q_f64(row[t] + c + 2, y1);
      if (__builtin_expect((vgetq_lane_u64(ok, 0) & vgetq_lane_u64(ok, 1)) != ~u64(0), 0)) {
        double sv[4];
        vst1q_f64(sv, s0);
        vst1q_f64(sv + 2, s1);
        slow<Subtract>(row[t] + c, sv, m + t, u + c, 2);
        slow<Subtract>(row[t] + c + 2, sv + 2, m + t, u + c + 2, 2);
      }
    }
  }
  for (; c < c1; c += 2) {
    const unsigned n = c1 - c >= 2 ? 2 : 1;
    const v2 b = n == 2 ? vld1q_f64(u + c) : vdupq_n_f64(u[c]);
    const m2 bok = operand_not_tiny(b);
    for (int t = 0; t < R; ++t) {
      const v2 s = n == 2 ? vld1q_f64(row[t] + c) : vdupq_n_f64(row[t][c]);
      m2 ok;
      const v2 y = quick(s, a[t], b, ok);
      if ((lane_bits(vandq_u64(ok, bok)) | (n == 2 ? 0u : 2u)) != 3) {
        double sv[2];
        vst1q_f64(sv, s);
        slow<Subtract>(row[t] + c, sv, m + t, u + c, n);
      } else if (n == 2) {
        vst1q_f64(row[t] + c, y);
      } else {
        vst1q_lane_f64(row[t] + c, y, 0);
      }
    }
  }
}

#endif

} // namespace

template <int R, bool Subtract>
void row_terms(double *const *d, const double *m, const double *u, unsigned c0, unsigned c1) {
  if (c0 >= c1) {
    return;
  }
#if TOVRA_HAVE_FAST_FMA
  bool all = true;
  for (int t = 0; t < R; ++t) {
    all = all && operand_not_tiny(m[t]);
  }
  if (all) {
    rows<R, Subtract>(d, m, u, c0, c1);
    return;
  }
  // A tiny multiplier (rare: zero is not tiny) sends its row to the
  // integer arithmetic; the other rows still take the fast path.
  for (int t = 0; t < R; ++t) {
    if (operand_not_tiny(m[t])) {
      rows<1, Subtract>(d + t, m + t, u, c0, c1);
    } else {
      soft_row<Subtract>(d[t], m[t], u, c0, c1);
    }
  }
#else
  for (int t = 0; t < R; ++t) {
    soft_row<Subtract>(d[t], m[t], u, c0, c1);
  }
#endif
}

template void row_terms<1, true>(double *const *, const double *, const double *, unsigned, unsigned);
template void row_terms<1, false>(double *const *, const double *, const double *, unsigned, unsigned);
template void row_terms<4, true>(double *const *, const double *, const double *, unsigned, unsigned);
template void row_terms<4, false>(double *const *, const double *, const double *, unsigned, unsigned);

} // namespace fast

bool fast_fma_usable() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) {
    return false;
  }
  // Bits 6 to 15: no denormals-are-zero, every exception masked, round to
  // nearest, no flush-to-zero. Bits 0 to 5 are sticky flags.
  unsigned int csr;
  __asm__ __volatile__("stmxcsr %0" : "=m"(csr));
  return (csr & 0xffc0) == 0x1f80;
#elif defined(__aarch64__)
  // Round to nearest (RMode, bits 22-23), no flush-to-zero (FZ, bit 24),
  // no trap enabled (bits 8-12 and 15), and the alternate behaviours off
  // (FIZ, AH, NEP, bits 0-2, zero where the processor lacks them).
  std::uint64_t fpcr;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  const std::uint64_t must_be_clear = (std::uint64_t(3) << 22) | (std::uint64_t(1) << 24) | 0x9f00 | 0x7;
  return (fpcr & must_be_clear) == 0;
#else
  return false;
#endif
}

} // namespace tovra_detail
