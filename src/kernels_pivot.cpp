// The pivot step of the elimination, shared by both kernel sets so that the
// pivot rule, its tie-break and the zero-pivot replacement are written once.
#include <cmath>

#include "bits.h"
#include "kernels.h"
#include "xprec.h"

namespace tovra_detail {

// Pivot search of column j (already reduced), exchange, record, zero-pivot
// replacement and the multipliers below the pivot.
void pivot(Matrix_d &a, unsigned int j, Seq<unsigned int> &perm, double &parity, Vector<double> &scale) {
  const unsigned int n = a.SizeRow();
  // When no candidate qualifies (every scaled magnitude NaN), row j stays.
  double best = 0.0;
  unsigned int p = j;
  for (unsigned int i = j; i < n; ++i) {
    // The scaled magnitude is compared unrounded against the rounded best,
    // so candidates that round to the same double are still told apart;
    // >= lets the last of equal candidates win.
    const ext m = std::fabs(static_cast<ext>(a(i, j))) * scale[i];
    if (m >= best) {
      best = to_double(m);
      p = i;
    }
  }
  if (p != j) {
    swap_bits(&a(p, 0), &a(j, 0), n);
    parity = -parity;
    // Row j's entry is never read again, so only the one moving down is kept.
    scale[p] = scale[j];
  }
  perm[j] = p;
  if (a(j, j) == 0.0) {
    a(j, j) = 1e-20;
  }
  if (j != n - 1) {
    // Multiplied by the rounded reciprocal, not divided by the pivot.
    const double r = quotient(1.0, a(j, j));
    for (unsigned int i = j + 1; i < n; ++i) {
      double &l = a(i, j);
      l = product(l, r);
    }
  }
}

} // namespace tovra_detail
