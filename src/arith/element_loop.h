// SPDX-License-Identifier: MIT
// The element-wise row of the arithmetics that take one element at a time
// (X87, Soft): n independent steps, each through the policy's own single
// step. An arithmetic with a wider way of doing them (Fma) has a row of its
// own (fma_elements.h).
#ifndef TOVRA_ELEMENT_LOOP_H
#define TOVRA_ELEMENT_LOOP_H

namespace tovra_detail {

// What each element of a row takes, for c < n:
//   sum_elements         res[c] = a[c] + b[c]
//   difference_elements  res[c] = a[c] - b[c]
//   product_elements     res[c] = b[0] * a[c]   (the factor first)
//   quotient_elements    res[c] = a[c] / b[0]
// res may be a, or b; each element is read before it is written.
enum Elements { sum_elements, difference_elements, product_elements, quotient_elements };

// The sums, differences and products hold their operands in registers
// (A::held), so that no scan for signalling NaNs precedes them; the
// quotients are the inverse's, whose operands have been scanned.
template <class A, Elements E>
inline void each_element(double *res, const double *a, const double *b, unsigned int n) {
  if (E == sum_elements) {
    for (unsigned int c = 0; c < n; ++c) {
      A::sum_into(res[c], A::held(a[c]), A::held(b[c]));
    }
  } else if (E == difference_elements) {
    for (unsigned int c = 0; c < n; ++c) {
      A::difference_into(res[c], A::held(a[c]), A::held(b[c]));
    }
  } else if (E == product_elements) {
    const typename A::value f = A::held(b[0]);
    for (unsigned int c = 0; c < n; ++c) {
      A::product_into(res[c], f, A::held(a[c]));
    }
  } else {
    const typename A::value d = A::get(b[0]);
    for (unsigned int c = 0; c < n; ++c) {
      A::quotient_into(res[c], A::get(a[c]), d);
    }
  }
}

} // namespace tovra_detail

#endif
