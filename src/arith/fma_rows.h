// SPDX-License-Identifier: MIT
// The fast path of the row update, written once over a layer of lane
// operations (L): the fused multiply-add does the work, and every element
// where it could round differently from the x87 unit is recomputed with the
// integer arithmetic. Each layer lives in a source of its own, which
// defines TOVRA_FMA_TARGET (the instruction sets its functions are compiled
// for, so that the library itself still runs on any processor of its
// architecture), then includes this header and instantiates layer_rows
// for its layer (TOVRA_FMA_LAYER_INSTANCES). Must be compiled with contraction off: a multiply merged into
// the following addition would skip the very roundings the method relies
// on.
//
// A layer L supplies, as static members:
//   V, M, lanes, chains   the lane vector of doubles, its lane mask, the
//                         lanes per vector and the vectors a row takes per
//                         step (independent chains for narrow vectors);
//   splat, load, store, load_part, store_part (the first n lanes, n from
//                         1 to lanes; the others load as zero and are
//                         not stored);
//   add, sub, mul, div, max, fma (a b + c), fms (a b - c), fnma (c - a b);
//   fused                 true; a layer without a fused multiply-add has
//                         it false and, instead of fma, fms and fnma,
//                         product_low(a, b, ph): a b - ph exactly, for
//                         ph = a b rounded and operands in the range below
//                         (overflow may give infinities or NaNs);
//   and_bits, add_bits    on the bits of each lane (x & k, x + k);
//   low_bits_below(x, k, n)   (bits of x & k) < n, unsigned;
//   lt, le, ge, gt, eq    ordered, quiet; ne: unordered or not equal;
//   mand, mor, mandnot (a and not b), select(m, a, b) (m ? a : b),
//   bits(m)               lane i of the mask as bit i;
//   transpose(v)          of lanes vectors, lane j of v[i] to lane i of v[j]
//                         (the product by a vector, fma_columns.h).
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
//
// Without a fused multiply-add (fused = false) pl comes from product_low,
// the same exact value, and so does every fused result but y: a b + bp is
// pl + (ph + bp), whose inner sum is the two-sum's exact -(-ph - bp) and
// whose outer one rounds once, as the fused step does; y is the exact
// value rounded three times (h - ((pl + (ph + bp)) - da)). The quick test
// holds for any double y close to the exact value: |rho| below the bound
// puts the x87 unit's value within half a unit of y, so that it rounds to
// y. Those roundings move y off the x87 result only where the exact value
// lies near a midpoint of y's grid, where the test fails anyway; and y is zero only when the
// exact value is (outside Sterbenz's range |h| is at least |ph| / 2, far
// above |e - pl|; inside it e and da are zero and y = h - pl), with the
// fused step's sign: for a zero product db - da is +0 and y is h = s - ph,
// and otherwise an exact zero is x - x, +0. A product that overflows in
// product_low fails the test as an overflow of ph does.
#ifndef TOVRA_FMA_ROWS_H
#define TOVRA_FMA_ROWS_H

#include <cstdint>
#include <cstring>

#include "arith/fast_fma.h"
#include "arith/soft_x87.h"

#if defined(__clang__)
#pragma clang fp contract(off)
#endif

#ifndef TOVRA_FMA_TARGET
#error "a layer defines TOVRA_FMA_TARGET before it includes fma_rows.h"
#endif
#define TOVRA_FMA_INLINE TOVRA_FMA_TARGET __attribute__((always_inline)) inline

namespace tovra_detail {
namespace fast {

// Operands: zero, or of magnitude within [2^-450, 2^450] (operand_low and
// the quick test's constants are the single steps', fma_steps.h). The
// row's multiplier is tested on its bits, so that no floating-point
// comparison runs before the state is known to be usable.
const u64 operand_high = u64(1023 + 450) << 52;
const double operand_min = 0x1p-450;
const double operand_max = 0x1p450;

inline bool operand_in_range(double x) {
  const u64 m = bits_of(x) & magnitude_mask;
  return m == 0 || (m >= operand_low && m <= operand_high);
}

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

template <bool Subtract> inline double soft_step(double s, double m, double u) {
  const u64 r = Subtract ? soft::sub_product(bits_of(s), bits_of(m), bits_of(u))
                         : soft::add_product(bits_of(s), bits_of(m), bits_of(u));
  return double_of(r);
}

template <bool Subtract> void soft_row(double *row, double m, const double *u, unsigned c0, unsigned c1) {
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
      row[j] = soft_step<Subtract>(s[j], m, u[j]);
    }
  }
}

template <class L> struct Tiers {
  typedef typename L::V V;
  typedef typename L::M M;

  static TOVRA_FMA_INLINE V magnitude(V x) { return L::and_bits(x, magnitude_mask); }

  // a * b - ph, exact (ph = a * b rounded; operands in range).
  static TOVRA_FMA_INLINE V product_low(V a, V b, V ph) {
    if constexpr (L::fused) {
      return L::fms(a, b, ph);
    } else {
      return L::product_low(a, b, ph);
    }
  }

  // The lanes whose operand b may enter the constructive method.
  static TOVRA_FMA_INLINE M operand_ok(V b) {
    const V mag = magnitude(b);
    const M lo = L::ge(mag, L::splat(operand_min));
    const M hi = L::le(mag, L::splat(operand_max));
    return L::mand(hi, L::mor(lo, L::eq(b, L::splat(0.0))));
  }

  // The lanes whose operand b may enter the quick test: not tiny (the
  // quick test needs no upper bound).
  static TOVRA_FMA_INLINE M operand_not_tiny(V b) {
    return L::mor(L::ge(magnitude(b), L::splat(operand_min)), L::eq(b, L::splat(0.0)));
  }

  // Tier 1: y, exact in the lanes where ok comes out set.
  static TOVRA_FMA_INLINE V quick(V s, V a, V b, M &ok) {
    const V ph = L::mul(a, b);
    // Two-sum of s and -ph, whose last part -ph - bp merges with the
    // product's remainder into a * b + bp, formed by one fused step.
    const V h = L::sub(s, ph);
    const V bp = L::sub(h, s);
    const V da = L::sub(s, L::sub(h, bp));
    V y, db;
    if constexpr (L::fused) {
      y = L::fnma(a, b, s);
      db = L::fma(a, b, bp);
    } else {
      db = L::add(product_low(a, b, ph), L::add(ph, bp));
      y = L::sub(h, L::sub(db, da));
    }
    const V rho = L::add(L::sub(h, y), L::sub(da, db));
    // The binade of the double below |y|: y's own unless y is a power of
    // two (then the one below, with the smaller unit); infinite for a zero
    // y, which is exact here.
    const V ey = L::and_bits(L::add_bits(y, ~u64(0)), exponent_bits);
    // |ph| in place of the power of two at its binade's foot: no smaller,
    // so that the limit (rounded monotonically) is no larger and the test
    // only stricter, and one instruction on every layer.
    const V ep = magnitude(ph);
    const V half = L::mul(ey, L::splat(quick_half_unit));
    V limit;
    if constexpr (L::fused) {
      limit = L::fnma(ep, L::splat(quick_product_margin), half);
    } else {
      limit = L::sub(half, L::mul(ep, L::splat(quick_product_margin)));
    }
    ok = L::lt(magnitude(rho), limit);
    return y;
  }

  // Tier 2: the constructive method, exact in the lanes where ok comes out
  // set.
  static TOVRA_FMA_INLINE V constructive(V s, V a, V b, M &ok) {
    const V grid_shift = L::splat(grid_constant);
    const V zero = L::splat(0.0);

    const V ph = L::mul(a, b);
    const V pl = product_low(a, b, ph);
    const V ep = L::and_bits(ph, exponent_bits);
    const V cq = L::mul(ep, grid_shift);
    const V q = L::sub(L::add(pl, cq), cq);

    const V h = L::sub(s, ph);
    const V bp = L::sub(h, s);
    const V ap = L::sub(h, bp);
    const V e = L::sub(L::sub(s, ap), L::add(ph, bp));
    const V t = L::sub(q, e);

    const V eh = L::and_bits(h, exponent_bits);
    const V g = L::max(L::max(eh, L::mul(ep, L::splat(product_reach))), L::splat(grid_floor));
    const V c2 = L::mul(g, grid_shift);
    const V r = L::sub(L::add(t, c2), c2);
    const V result = L::sub(h, r);

    // The product's binade edge.
    M bad = L::mand(L::low_bits_below(ph, fraction_bits, 1), L::ne(pl, zero));
    // A midpoint that t may have been rounded onto: rounded with the
    // opposite tie-break (the constant one unit up is odd), it differs. t
    // is exact when both orders of the fast two-sum see no error.
    const V c2odd = L::add_bits(c2, 1);
    const V rodd = L::sub(L::add(t, c2odd), c2odd);
    const M tie = L::ne(r, rodd);
    const M inexact = L::mor(L::ne(L::add(t, e), q), L::ne(L::sub(q, t), e));
    bad = L::mor(bad, L::mand(tie, inexact));
    // h's binade edges (fraction 0, 1 or all ones), unless the product is
    // 2^2 or more times h, where the binade does not matter.
    const M edge = L::low_bits_below(L::add_bits(h, 1), fraction_bits, 3);
    const M exact_case = L::gt(ep, L::add(eh, eh));
    bad = L::mor(bad, L::mandnot(L::mand(edge, L::ne(t, zero)), exact_case));

    const M finite = L::lt(eh, L::splat(sum_limit));
    ok = L::mandnot(finite, bad);
    return result;
  }

  // The stretch of n <= lanes elements of row d that had the sums s and
  // failed the quick test: the constructive method where it holds, the
  // integer arithmetic elsewhere. Out of line, and rare.
  template <bool Subtract>
  static TOVRA_FMA_TARGET __attribute__((noinline, cold)) void slow(double *d, const double *s, double m,
                                                                    const double *u, unsigned n) {
    const V sv = L::load_part(s, n);
    const V a = L::splat(Subtract ? m : -m);
    const V b = L::load_part(u, n);
    const unsigned ignored = ((1u << L::lanes) - 1) & ~((1u << n) - 1);
    M ok1, ok2;
    const V out1 = quick(sv, a, b, ok1);
    const V out2 = constructive(sv, a, b, ok2);
    const unsigned k1 = L::bits(L::mand(ok1, operand_not_tiny(b)));
    const unsigned k2 = operand_in_range(m) ? L::bits(L::mand(ok2, operand_ok(b))) : 0;
    L::store_part(d, n, L::select(ok1, out1, out2));
    redo<Subtract>(d, s, m, u, k1 | k2 | ignored, n);
  }

  // One vector of lanes elements of a row at d (sums s, already loaded):
  // the quick test's results where every lane passes, else the slow way.
  template <bool Subtract>
  static TOVRA_FMA_INLINE void step(double *d, V s, V a, V b, M bok, double m, const double *u) {
    M ok;
    const V y = quick(s, a, b, ok);
    if (__builtin_expect(L::bits(L::mand(ok, bok)) == (1u << L::lanes) - 1, 1)) {
      L::store(d, y);
    } else {
      double sv[L::lanes];
      L::store(sv, s);
      slow<Subtract>(d, sv, m, u, L::lanes);
    }
  }

  template <int R, bool Subtract>
  static TOVRA_FMA_TARGET void rows(double *const *d, const double *m, const double *u, unsigned c0,
                                    unsigned c1) {
    const unsigned W = L::lanes;
    V a[R];
    double *row[R];
    for (int t = 0; t < R; ++t) {
      a[t] = L::splat(Subtract ? m[t] : -m[t]);
      row[t] = d[t];
    }
    if (c1 - c0 < W) {
      // Too short for a vector: one vector of fewer lanes.
      const unsigned n = c1 - c0;
      const V b = L::load_part(u + c0, n);
      const M bok = operand_not_tiny(b);
      const unsigned ignored = ((1u << W) - 1) & ~((1u << n) - 1);
      for (int t = 0; t < R; ++t) {
        const V s = L::load_part(row[t] + c0, n);
        M ok;
        const V y = quick(s, a[t], b, ok);
        if (__builtin_expect((L::bits(L::mand(ok, bok)) | ignored) == (1u << W) - 1, 1)) {
          L::store_part(row[t] + c0, n, y);
        } else {
          double sv[L::lanes];
          L::store(sv, s);
          slow<Subtract>(row[t] + c0, sv, m[t], u + c0, n);
        }
      }
      return;
    }
    // A stretch whose length is not a multiple of the lanes ends with a
    // vector that overlaps the one before: its sums are saved before the
    // loop changes them, and it is done last (the overlap receives the
    // same values again).
    const unsigned last = c1 - W;
    const unsigned n = (c1 - c0) % W;
    double saved[R][L::lanes];
    if (n != 0) {
      for (int t = 0; t < R; ++t) {
        L::store(saved[t], L::load(row[t] + last));
      }
    }
    unsigned c = c0;
    for (; c + W * L::chains <= c1; c += W * L::chains) {
      V b[L::chains];
      M bok[L::chains];
      // The chains unrolled: their operands stay in registers.
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
      for (int j = 0; j < L::chains; ++j) {
        b[j] = L::load(u + c + j * W);
        bok[j] = operand_not_tiny(b[j]);
      }
#if defined(__GNUC__)
#pragma GCC unroll 4
#endif
      for (int t = 0; t < R; ++t) {
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
        for (int j = 0; j < L::chains; ++j) {
          step<Subtract>(row[t] + c + j * W, L::load(row[t] + c + j * W), a[t], b[j], bok[j], m[t],
                         u + c + j * W);
        }
      }
    }
    for (; c + W <= c1; c += W) {
      const V b = L::load(u + c);
      const M bok = operand_not_tiny(b);
      for (int t = 0; t < R; ++t) {
        step<Subtract>(row[t] + c, L::load(row[t] + c), a[t], b, bok, m[t], u + c);
      }
    }
    if (n != 0) {
      const V b = L::load(u + last);
      const M bok = operand_not_tiny(b);
      for (int t = 0; t < R; ++t) {
        M ok;
        const V y = quick(L::load(saved[t]), a[t], b, ok);
        if (__builtin_expect(L::bits(L::mand(ok, bok)) == (1u << W) - 1, 1)) {
          L::store(row[t] + last, y);
        } else {
          // The overlap already holds its results; only the last n are new.
          slow<Subtract>(row[t] + c1 - n, saved[t] + W - n, m[t], u + c1 - n, n);
        }
      }
    }
  }
};

// The row update of fast_fma.h on layer L.
template <class L, int R, bool Subtract>
void layer_rows(double *const *d, const double *m, const double *u, unsigned c0, unsigned c1) {
  if (c0 >= c1) {
    return;
  }
  bool all = true;
  for (int t = 0; t < R; ++t) {
    all = all && operand_not_tiny(bits_of(m[t]));
  }
  if (all) {
    Tiers<L>::template rows<R, Subtract>(d, m, u, c0, c1);
    return;
  }
  // A tiny multiplier (rare: zero is not tiny) sends its row to the
  // integer arithmetic; the other rows still take the fast path.
  for (int t = 0; t < R; ++t) {
    if (operand_not_tiny(bits_of(m[t]))) {
      Tiers<L>::template rows<1, Subtract>(d + t, m + t, u, c0, c1);
    } else {
      soft_row<Subtract>(d[t], m[t], u, c0, c1);
    }
  }
}

} // namespace fast
} // namespace tovra_detail

// Instantiates layer L's row updates, which Fma::update_rows (fast_fma.h) calls.
#define TOVRA_FMA_LAYER_INSTANCES(L)                                                                         \
  template void tovra_detail::fast::layer_rows<L, 1, true>(double *const *, const double *, const double *,  \
                                                           unsigned, unsigned);                              \
  template void tovra_detail::fast::layer_rows<L, 1, false>(double *const *, const double *, const double *, \
                                                            unsigned, unsigned);                             \
  template void tovra_detail::fast::layer_rows<L, 4, true>(double *const *, const double *, const double *,  \
                                                           unsigned, unsigned);                              \
  template void tovra_detail::fast::layer_rows<L, 4, false>(double *const *, const double *, const double *, \
                                                            unsigned, unsigned);

#endif
