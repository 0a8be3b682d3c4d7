// SPDX-License-Identifier: MIT
// The row update of the arithmetics that take one element at a time (X87,
// Soft): for c in [c0, c1) and t < R, d[t][c] takes m[t] * u[c], added as
// in a product or subtracted as in elimination, through the policy's own
// accumulation step. All these elements are independent; an arithmetic
// with a wider way of doing them (Fma) has a row update of its own.
#ifndef TOVRA_ROW_LOOP_H
#define TOVRA_ROW_LOOP_H

// The loops over the rows of a tile have a count fixed at compile time;
// unrolled, every sum of the tile has an address of its own in the loop
// body and the multipliers stay in registers.
#if defined(__GNUC__)
#define TOVRA_UNROLL _Pragma("GCC unroll 8")
#else
#define TOVRA_UNROLL
#endif

namespace tovra_detail {

enum Terms { add_terms, subtract_terms };

// The operands are held in registers (A::held): the sums start from +0.0
// or from elements the caller has scanned, the operands may be any element.
template <class A, int R, Terms T>
inline void each_term(double *const *d, const typename A::value *m, const double *u, unsigned int c0,
                      unsigned int c1) {
  // Copied into locals whose address is never taken, so that they stay in
  // registers: read through m, every store into a row might change them,
  // and each term would load them again (an 80-bit load on the x87 path).
  typename A::value k[R];
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    k[t] = m[t];
  }
  for (unsigned int c = c0; c < c1; ++c) {
    const typename A::value v = A::held(u[c]);
    TOVRA_UNROLL
    for (int t = 0; t < R; ++t) {
      if (T == add_terms) {
        A::add_product_into(d[t][c], k[t], v);
      } else {
        A::sub_product_into(d[t][c], k[t], v);
      }
    }
  }
}

} // namespace tovra_detail

#endif
