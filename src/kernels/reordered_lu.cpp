// SPDX-License-Identifier: MIT
// Elimination, substitution and inversion, reordered for overlapping sums.
//
// Elimination runs by blocks of columns, each step a rank-1 update of what
// lies right of and below its pivot (right-looking), instead of forming
// each element's whole sum when its column comes up (Crout). Element (i, c)
// receives the same terms either way: a(i, k) a(k, c) for k < min(i, c),
// in ascending k, each from a multiplier already scaled by the rounded
// reciprocal and a U element already complete. The pivot search of column
// j still sees that column fully reduced, and an exchange moves whole rows:
// a row's pending terms come from its own multipliers, which move with it,
// and from rows above j, which no exchange at step j touches.
#include "kernels/kernels.h"

#include "bitwise/moves.h"
#include "kernels/reordered_tile.h"

namespace tovra_detail {

namespace {

// Columns per block of the elimination: the block's U rows (block x
// tile_columns doubles) stay cached while every row below takes its terms.
const unsigned int block_columns = 32;

} // namespace

template <class A>
void eliminate(Matrix_d &a, Seq<unsigned int> &perm, double &parity, Vector<double> &scale) {
  const unsigned int n = a.SizeRow();
  for (unsigned int j0 = 0; j0 < n; j0 += block_columns) {
    const unsigned int j1 = n - j0 < block_columns ? n : j0 + block_columns;
    // The block's own columns, step by step: each step's update reaches the
    // rest of the block only, so the next pivot search sees its column
    // complete; the columns right of the block wait for the whole block.
    for (unsigned int j = j0; j < j1; ++j) {
      pivot<A>(a, j, perm, parity, scale);
      const double *rj = &a(j, 0);
      for (unsigned int i = j + 1; i < n; ++i) {
        double *ri = &a(i, 0);
        update_one_row<A, subtract_terms>(ri, A::get(ri[j]), rj, j + 1, j1);
      }
    }
    if (j1 == n) {
      break;
    }
    for (unsigned int c0 = j1; c0 < n; c0 += tile_columns) {
      const unsigned int c1 = n - c0 < tile_columns ? n : c0 + tile_columns;
      // The block's rows right of it become rows of U: row i takes the
      // terms k = j0 .. i-1, each from a U row completed just before.
      for (unsigned int k = j0; k < j1; ++k) {
        const double *rk = &a(k, 0);
        for (unsigned int i = k + 1; i < j1; ++i) {
          double *ri = &a(i, 0);
          update_one_row<A, subtract_terms>(ri, A::get(ri[k]), rk, c0, c1);
        }
      }
      // Every row below the block takes the block's terms, in order.
      tile_rows<A, subtract_terms>(a, j1, n, a, a, j0, j1, c0, c1);
    }
  }
}

namespace {

// Forward rows [i, i + R) once the first non-zero index f is known: R
// independent sums over the columns f .. i-1, then the triangle among the
// R rows themselves, whose terms come last since their k are the largest.
// The exchanges of the R rows are made first, in order: each touches only
// entries at or below its own row, never an entry the rows above store.
template <class A, int R>
void forward_rows(const Matrix_d &f, const Seq<unsigned int> &perm, Vector<double> &b, int first, int i) {
  double s[R];
  const double *row[R];
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    const unsigned int p = perm[i + t];
    move_bits(s[t], b[p]);
    move_bits(b[p], b[i + t]);
    row[t] = &f(i + t, 0);
  }
  for (int k = first; k < i; ++k) {
    const typename A::value v = A::get(b[k]);
    TOVRA_UNROLL
    for (int t = 0; t < R; ++t) {
      A::sub_product_into(s[t], A::get(row[t][k]), v);
    }
  }
  TOVRA_UNROLL
  for (int t = 0; t < R; ++t) {
    for (int k = i; k < i + t; ++k) {
      A::sub_product_into(s[t], A::get(row[t][k]), A::get(b[k]));
    }
    move_bits(b[i + t], s[t]);
  }
}

} // namespace

template <class A> void substitute(const Matrix_d &f, const Seq<unsigned int> &perm, Vector<double> &b) {
  // Signed indices, so that a 0 x 0 system runs no loop at all.
  const int n = static_cast<int>(f.SizeCol());
  // -1 while every forward value so far was zero: terms below the first
  // non-zero one are known to vanish and are never formed, so infinities or
  // NaNs in L cannot reach a solution through them.
  int first = -1;
  int i = 0;
  // Until then an entry takes no term: the exchange is all that happens to
  // it, and it moves by its bits.
  for (; i < n && first < 0; ++i) {
    swap_bits(&b[i], &b[perm[i]], 1);
    if (!A::is_zero(A::get(b[i]))) { // a NaN counts as non-zero, -0.0 as zero
      first = i;
    }
  }
  for (; i + 4 <= n; i += 4) {
    forward_rows<A, 4>(f, perm, b, first, i);
  }
  for (; i < n; ++i) {
    forward_rows<A, 1>(f, perm, b, first, i);
  }
  // Each row's sum starts with the term of the row just solved, so the rows
  // of the back pass cannot overlap: one chain, kept as short as it gets.
  for (int r = n - 1; r >= 0; --r) {
    const double *row = &f(r, 0);
    // The sum rounds in its own slot: one store and one load per term,
    // where a double variable could travel through an SSE register too.
    double s;
    move_bits(s, b[r]);
    for (int k = r + 1; k < n; ++k) {
      A::sub_product_into(s, A::get(row[k]), A::get(b[k]));
    }
    // A quotient, not a product with the reciprocal as in the elimination:
    // the two round differently.
    A::quotient_into(b[r], A::get(s), A::get(row[r]));
  }
}

// All unit columns at once. Column j's forward pass does nothing until its
// single 1.0 is reached: the exchanges carry it to position q = pi(j) (pi
// being the exchanges applied in order), all earlier values are +0.0 and q
// becomes its first non-zero index. So, with columns indexed by q, the
// forward values form a unit lower triangle Z whose element (i, q) is the
// sum, from +0.0, of the terms L(i, k) Z(k, q) for k = q .. i-1; the back
// pass then runs on all columns with the same terms as one column alone.
// Column j of the inverse is column pi(j) of the result, put in place at
// the end by the exchanges in reverse order, row by row. The column scratch
// vector is not needed.
template <class A>
void invert(const Matrix_d &f, const Seq<unsigned int> &perm, Matrix_d &x, Vector<double> &) {
  const unsigned int n = f.SizeRow();
  for (unsigned int i = 0; i < n; ++i) {
    double *z = &x(i, 0);
    for (unsigned int q = 0; q < n; ++q) {
      z[q] = 0.0;
    }
    z[i] = 1.0;
  }
  for (unsigned int q0 = 0; q0 < n; q0 += tile_columns) {
    const unsigned int q1 = n - q0 < tile_columns ? n : q0 + tile_columns;
    for (unsigned int i = q0 + 1; i < n; ++i) {
      double *z = &x(i, 0);
      const double *l = &f(i, 0);
      // Column q takes terms from k = q on: at step k the columns q0 .. k.
      for (unsigned int k = q0; k < i; ++k) {
        const unsigned int end = k + 1 < q1 ? k + 1 : q1;
        update_one_row<A, subtract_terms>(z, A::get(l[k]), &x(k, 0), q0, end);
      }
    }
    for (unsigned int i = n; i-- > 0;) {
      double *z = &x(i, 0);
      const double *u = &f(i, 0);
      for (unsigned int k = i + 1; k < n; ++k) {
        update_one_row<A, subtract_terms>(z, A::get(u[k]), &x(k, 0), q0, q1);
      }
      // A quotient, not a product with the reciprocal as in the elimination:
      // the two round differently.
      A::template elements<quotient_elements>(z + q0, z + q0, &u[i], q1 - q0);
    }
  }
  for (unsigned int i = 0; i < n; ++i) {
    double *z = &x(i, 0);
    for (unsigned int k = n; k-- > 0;) {
      swap_bits(&z[k], &z[perm[k]], 1);
    }
  }
}

#define TOVRA_INSTANTIATE(A)                                                                                 \
  template void eliminate<A>(Matrix_d &, Seq<unsigned int> &, double &, Vector<double> &);                   \
  template void substitute<A>(const Matrix_d &, const Seq<unsigned int> &, Vector<double> &);                \
  template void invert<A>(const Matrix_d &, const Seq<unsigned int> &, Matrix_d &, Vector<double> &);
TOVRA_FOR_EACH_ARITHMETIC(TOVRA_INSTANTIATE)

} // namespace tovra_detail
