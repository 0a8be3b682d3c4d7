// SPDX-License-Identifier: MIT
// What both kernel sets share: the scaling pass, the pivot step of the
// elimination and the determinant's product, so that the pivot rule, its
// tie-break and the zero-pivot replacement are written once.
#include "arith/arith.h"
#include "bitwise/double_bits.h"
#include "bitwise/moves.h"
#include "kernels/kernels.h"

namespace tovra_detail {

template <class A> int factor(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale) {
  const unsigned int n = a.SizeRow();
  // Every row is scaled before any elimination, so a zero row anywhere ends
  // the call with the target holding the plain copy. The magnitudes are
  // compared by their bits, on every path: without the sign, a double's bits
  // order as its magnitude does, and a NaN's lie above infinity's. It is the
  // IEEE comparison, without a dependence on the previous compare's flags.
  for (unsigned int i = 0; i < n; ++i) {
    Soft::value big = 0;
    for (unsigned int c = 0; c < n; ++c) {
      Soft::value t = Soft::magnitude(Soft::get(a(i, c)));
      t = t > infinity_bits ? 0 : t; // a NaN never compares greater and is passed over
      big = t > big ? t : big;
    }
    if (big == 0) {
      return 0;
    }
    double largest;
    Soft::put(largest, big);
    A::quotient_into(scale[i], A::of(1.0), A::get(largest));
  }
  eliminate<A>(a, perm, parity, scale);
  return 1;
}

template <class A>
void pivot(Matrix_d &a, unsigned int j, Seq<unsigned int> &perm, double &parity, Vector<double> &scale) {
  typedef typename A::value V;
  const unsigned int n = a.SizeRow();
  // When no candidate qualifies (every scaled magnitude NaN), row j stays.
  V best = A::of(0.0);
  unsigned int p = j;
  for (unsigned int i = j; i < n; ++i) {
    // The scaled magnitude is compared unrounded against the rounded best,
    // so candidates that round to the same double are still told apart;
    // >= lets the last of equal candidates win.
    if (A::scaled_ge(A::get(a(i, j)), A::get(scale[i]), best)) {
      p = i;
    }
  }
  if (p != j) {
    swap_bits(&a(p, 0), &a(j, 0), n);
    negate_bits(parity, parity);
    // Row j's entry is never read again, so only the one moving down is kept.
    move_bits(scale[p], scale[j]);
  }
  perm[j] = p;
  if (A::is_zero(A::get(a(j, j)))) {
    const double tiny = 1e-20;
    move_bits(a(j, j), tiny);
  }
  if (j != n - 1) {
    // Multiplied by the rounded reciprocal, not divided by the pivot.
    double r;
    A::quotient_into(r, A::of(1.0), A::get(a(j, j)));
    const V rv = A::get(r);
    for (unsigned int i = j + 1; i < n; ++i) {
      double &l = a(i, j);
      A::product_into(l, A::get(l), rv);
    }
  }
}

template <class A> void determinant(const Matrix_d &f, const double &parity, double &d) {
  move_bits(d, parity);
  // The parity is the first factor; the diagonal is taken from the top down.
  for (unsigned int i = 0; i < f.SizeRow(); ++i) {
    A::product_into(d, A::get(d), A::get(f(i, i)));
  }
}

#define TOVRA_INSTANTIATE(A)                                                                                 \
  template int factor<A>(Matrix_d &, Seq<unsigned int> &, double &, Vector<double> &);                       \
  template void pivot<A>(Matrix_d &, unsigned int, Seq<unsigned int> &, double &, Vector<double> &);         \
  template void determinant<A>(const Matrix_d &, const double &, double &);
TOVRA_FOR_EACH_ARITHMETIC(TOVRA_INSTANTIATE)

} // namespace tovra_detail
