// SPDX-License-Identifier: MIT
// The element-wise rows of the fused multiply-add path (sums, differences,
// products by one factor, quotients by one divisor), written once over a
// layer of lane operations L (fma_rows.h lists what a layer supplies). Each
// lane is a single step as in fma_steps.h: the value rounded once, and the
// exact distance to the exact value that proves it is the x87 result
// (fma_steps.h has the argument; the sums test that distance in a way of
// their own, told below). A vector whose lanes all pass is stored as
// it is; in one where some fail, those are done again by the integer steps,
// from the operands saved before the store, so that the target may be an
// operand. A layer's source includes this header after fma_rows.h and
// instantiates the rows (TOVRA_FMA_ELEMENT_INSTANCES).
//
// Where the layer has no fused multiply-add, the exact low part of a product
// comes from its product_low, used here for operands of magnitude within
// [2^-450, 2^450] (or zero) only, the range of the row update's
// constructive method (fma_steps.h proves a wider one): the product's
// operands are tested against that range, and so are the quotient's divisor and result, whose product
// gives back the remainder. There a - (y b rounded) is exact (the two lie
// within a factor of two of each other) and so is the remainder itself (the
// remainder of a quotient rounded to nearest is a double when nothing
// underflows), so that subtracting the low part from it is exact too.
#ifndef TOVRA_FMA_ELEMENTS_H
#define TOVRA_FMA_ELEMENTS_H

#include "arith/element_loop.h"
#include "arith/fma_rows.h"

#if defined(__clang__)
#pragma clang fp contract(off)
#endif

namespace tovra_detail {
namespace fast {

// The sums' test of e against the gap (Elementwise::step).
const double sum_margin = 1 + 0x1p-8;

// Element c's step by the integers, from a[c] and b[c] (b[0] of the row for
// products and quotients).
template <Elements E> inline double soft_element(double a, double b) {
  const u64 x = bits_of(a), y = bits_of(b);
  switch (E) {
  case sum_elements:
    return double_of(soft::sum(x, y));
  case difference_elements:
    return double_of(soft::difference(x, y));
  case product_elements:
    return double_of(soft::product(y, x));
  case quotient_elements:
    break;
  }
  return double_of(soft::quotient(x, y));
}

// The lanes of a vector of n whose bit in ok is clear, again from the
// operands saved before the vector's results were stored.
template <Elements E>
__attribute__((noinline, cold)) void redo_elements(double *res, const double *a, const double *b, unsigned ok,
                                                   unsigned n) {
  for (unsigned j = 0; j < n; ++j) {
    if (!(ok >> j & 1)) {
      res[j] = soft_element<E>(a[j], b[j]);
    }
  }
}

template <class L> struct Elementwise {
  typedef typename L::V V;
  typedef typename L::M M;
  typedef Tiers<L> T;

  // 2^k of the argument of fma_steps.h, lane by lane: infinite for a zero.
  static TOVRA_FMA_INLINE V binade_below(V y) { return L::and_bits(L::add_bits(y, ~u64(0)), exponent_bits); }

  // The step on a lane vector (b the factor or divisor, splat, for products
  // and quotients): y, exact in the lanes where ok comes out set.
  template <Elements E> static TOVRA_FMA_INLINE V step(V a, V b, M &ok) {
    if constexpr (E == sum_elements || E == difference_elements) {
      // The two-sum of a and b (or -b): its last part is b - bb, or
      // -b - bb, which is -(b + bb) exactly; only its magnitude counts.
      const V y = E == sum_elements ? L::add(a, b) : L::sub(a, b);
      const V bb = L::sub(y, a);
      const V head = L::sub(a, L::sub(y, bb));
      const V e = E == sum_elements ? L::add(head, L::sub(b, bb)) : L::sub(head, L::add(b, bb));
      // x = y + e exactly (an overflow leaves e infinite or NaN, which
      // fails both tests). With g the gap from y to its neighbour on e's
      // side, the x87 unit can end elsewhere only when x lies within half a
      // 64-bit unit of the midpoint y + g/2 without being on it: within
      // 2^(k-63), 2^k the binade below |y|, where g is 2^(k-52) or more
      // (fma_steps.h). Both tests take floating-point steps only, which a
      // scalar layer keeps in its registers.
      // - y + e (1 + 2^-8), rounded once or twice, is y: |e| is below g/2
      //   by more than g 2^-10. Every sum lies on the grid of the smallest
      //   subnormal, so that one below 2^-1011 is a 64-bit number, rounded
      //   once by the x87 unit too; above, the rounding of e (1 + 2^-8) to
      //   that grid is far below the margin.
      // - (y + 2e) - y is 2e: y + 2e is a double (the last step is exact,
      //   Sterbenz), so that x, halfway between it and y, has 55 bits at
      //   most: the x87 unit's rounding to 64 bits leaves it as it is, and
      //   its store rounds it to y as the single rounding did. Exact sums,
      //   and the midpoints of sums that carry, common in ordinary data,
      //   pass here.
      // 2e as a product and y + e (1 + 2^-8) as one fused step where the
      // layer has it: the units that add are the busier ones here.
      const V e2 = L::mul(e, L::splat(2.0));
      V wide;
      if constexpr (L::fused) {
        wide = L::fma(e, L::splat(sum_margin), y);
      } else {
        wide = L::add(y, L::mul(e, L::splat(sum_margin)));
      }
      ok = L::mor(L::eq(wide, y), L::eq(L::sub(L::add(y, e2), y), e2));
      return y;
    } else if constexpr (E == product_elements) {
      const V y = L::mul(b, a);
      const V pl = T::product_low(b, a, y);
      ok = L::lt(T::magnitude(pl), L::mul(binade_below(y), L::splat(quick_half_unit)));
      if constexpr (!L::fused) {
        ok = L::mand(ok, T::operand_ok(a));
      }
      return y;
    } else {
      const V y = L::div(a, b);
      V r;
      if constexpr (L::fused) {
        r = L::fnma(y, b, a);
      } else {
        const V ph = L::mul(y, b);
        r = L::sub(L::sub(a, ph), T::product_low(y, b, ph));
      }
      const V bound = L::mul(L::mul(binade_below(y), T::magnitude(b)), L::splat(quick_half_unit));
      ok = L::lt(T::magnitude(r), bound);
      if constexpr (!L::fused) {
        ok = L::mand(ok, T::operand_ok(y));
      }
      return y;
    }
  }

  // n <= lanes elements at c: the steps' results where every lane passes,
  // else the integers for the lanes that fail.
  template <Elements E> static TOVRA_FMA_INLINE void part(double *res, V a, V b, unsigned n, bool whole) {
    M ok;
    const V y = step<E>(a, b, ok);
    const unsigned all = (1u << L::lanes) - 1, ignored = all & ~((1u << n) - 1);
    const unsigned passed = L::bits(ok) | ignored;
    if (__builtin_expect(passed == all, 1)) {
      whole ? L::store(res, y) : L::store_part(res, n, y);
    } else {
      double av[L::lanes], bv[L::lanes];
      L::store(av, a);
      L::store(bv, b);
      whole ? L::store(res, y) : L::store_part(res, n, y);
      redo_elements<E>(res, av, bv, passed, n);
    }
  }

  template <Elements E>
  static TOVRA_FMA_TARGET void row(double *res, const double *a, const double *b, unsigned n) {
    const bool pairs = E == sum_elements || E == difference_elements;
    const unsigned W = L::lanes;
    const V k = L::splat(b[0]);
    unsigned c = 0;
    for (; c + W <= n; c += W) {
      part<E>(res + c, L::load(a + c), pairs ? L::load(b + c) : k, W, true);
    }
    if (c < n) {
      // The tail: one vector of fewer lanes, the others zero and not stored.
      const unsigned m = n - c;
      part<E>(res + c, L::load_part(a + c, m), pairs ? L::load_part(b + c, m) : k, m, false);
    }
  }
};

template <class L, Elements E>
void layer_elements(double *res, const double *a, const double *b, unsigned n) {
  if (n == 0) {
    return;
  }
  if constexpr (!L::fused && (E == product_elements || E == quotient_elements)) {
    // A factor or divisor out of product_low's range: the whole row by the
    // integers (rare: zero is in range).
    const double k = b[0];
    if (!operand_in_range(k)) {
      for (unsigned c = 0; c < n; ++c) {
        res[c] = soft_element<E>(a[c], k);
      }
      return;
    }
  }
  Elementwise<L>::template row<E>(res, a, b, n);
}

} // namespace fast
} // namespace tovra_detail

// Instantiates layer L's element-wise rows, which Fma::elements (fast_fma.h)
// calls.
#define TOVRA_FMA_ELEMENT_INSTANCE(L, E)                                                                     \
  template void tovra_detail::fast::layer_elements<L, tovra_detail::E>(double *, const double *,             \
                                                                       const double *, unsigned);
#define TOVRA_FMA_ELEMENT_INSTANCES(L)                                                                       \
  TOVRA_FMA_ELEMENT_INSTANCE(L, sum_elements)                                                                \
  TOVRA_FMA_ELEMENT_INSTANCE(L, difference_elements)                                                         \
  TOVRA_FMA_ELEMENT_INSTANCE(L, product_elements)                                                            \
  TOVRA_FMA_ELEMENT_INSTANCE(L, quotient_elements)

#endif
