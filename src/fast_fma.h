// SPDX-License-Identifier: MIT
// The inner loop of the product and of the elimination, computed with the
// fused multiply-add of the vector unit instead of the x87 unit, to the same
// bits: for every element, the product of two doubles rounded to a 64-bit
// significand, added to or subtracted from the element, that result rounded
// to 64 bits and then to double.
//
// How (fast_fma.cpp tells the details): one fused multiply-add gives the
// exact value rounded once, and a few exact operations tell whether the x87
// unit's three roundings could end elsewhere; the rare elements where they
// could are done again by an exact construction of the 64-bit roundings on
// the vector unit, and those it cannot vouch for (edges of binades, ties it
// cannot tell apart, operands out of range, subnormal results, overflow,
// infinities, NaNs) by the integer arithmetic. Every result is the x87
// result, NaN payloads included.
#ifndef TOVRA_FAST_FMA_H
#define TOVRA_FAST_FMA_H

#if defined(__x86_64__) || defined(__aarch64__)
#define TOVRA_HAVE_FAST_FMA 1
#else
#define TOVRA_HAVE_FAST_FMA 0
#endif

namespace tovra_detail {

// Whether fast::row_terms may run now: the processor has the vector fused
// multiply-add (x86-64: AVX2 and FMA) and the host left the vector unit's
// state at its default (round to nearest, no flushing of subnormals, no
// exception unmasked). Read afresh on every call, because the host may
// change the state at any time; cheap enough to call once per operation.
// Always false where there is no fast path. Neither this nor row_terms
// changes the floating-point state; like any arithmetic, row_terms raises
// the sticky exception flags (inexact, and others on special operands).
bool fast_fma_usable();

namespace fast {

// For every c in [c0, c1) and t < R, in any order (the elements are
// independent): d[t][c] = d[t][c] - m[t] * u[c] when Subtract, else
// m[t] * u[c] + d[t][c], each with the x87 roundings: the product to 64
// bits, the sum to 64 bits, then to double. R is 1 or 4. The rows d[t]
// must not overlap u or each other in [c0, c1). Call only when
// fast_fma_usable() returned true in this operation; where the fast path
// does not exist this computes every element with the integer arithmetic.
template <int R, bool Subtract>
void row_terms(double *const *d, const double *m, const double *u, unsigned c0, unsigned c1);

extern template void row_terms<1, true>(double *const *, const double *, const double *, unsigned, unsigned);
extern template void row_terms<1, false>(double *const *, const double *, const double *, unsigned, unsigned);
extern template void row_terms<4, true>(double *const *, const double *, const double *, unsigned, unsigned);
extern template void row_terms<4, false>(double *const *, const double *, const double *, unsigned, unsigned);

} // namespace fast
} // namespace tovra_detail

#endif
