// SPDX-License-Identifier: MIT
// The product of rows by a vector on the fast path, written once over a
// layer of lane operations (L, fma_rows.h lists them): y[t] is the sum over
// c of rows[t][c] * x[c], from +0.0 in ascending c, each step with the x87
// roundings of the products' accumulation rule.
//
// A row's steps depend on each other, so the lanes are rows: lane j of
// vector k holds the sum of row k * lanes + j, and each column is one step
// of every lane, its elements times the common factor x[c]. The rows live
// in separate arrays; a stretch of their columns is first copied into a
// buffer column by column, lanes x lanes elements at a time through the
// layer's transpose, from which a column is one vector load. A block of
// fewer rows than its vectors hold repeats its first row in the others,
// whose lanes are never completed nor stored: they fail the test with the
// first row, or where their own sums went astray, which costs a trip to
// the slow way and nothing else.
//
// Each step is the row update's quick test (fma_rows.h, tier 1), with the
// factors swapped: x[c], the same for all lanes, in the place of the row's
// multiplier, the rows' elements in that of the updated row's operands; so
// the operand rule holds per lane for the elements and once per column for
// x[c]. The chain of a lane is one fused step per column (a few steps on
// the layer without one);
// the test is off it, and several vectors of rows keep the unit busy.
//
// A vector where some lane fails the test is completed by the row update's
// slow way (the constructive method, then the integer steps) and the sums
// go on from the corrected values. A column whose x[c] is tiny takes the
// integer steps in every lane, as the row update does with a tiny
// multiplier.
//
// Included by each layer's source, which instantiates it for its layer
// with TOVRA_FMA_COLUMN_INSTANCES.
#ifndef TOVRA_FMA_COLUMNS_H
#define TOVRA_FMA_COLUMNS_H

#include <cstring>

#include "arith/fma_rows.h"

namespace tovra_detail {
namespace fast {

// The most rows one call takes (row_sums.h), and the columns copied into
// the buffer at a time: 16 x 32 elements, 4 KiB.
const unsigned int column_block_rows = row_sums_block;
const unsigned int column_stretch = 32;

// The n lanes of a column whose elements are at col and whose sums were s,
// with a tiny x: the integer steps. Out of line, and rare.
__attribute__((noinline, cold)) inline void soft_column(double *s, double x, const double *col, unsigned n) {
  for (unsigned j = 0; j < n; ++j) {
    s[j] = soft_step<false>(s[j], x, col[j]);
  }
}

template <class L> struct Columns {
  typedef typename L::V V;
  typedef typename L::M M;
  typedef Tiers<L> T;

  // Columns [c0, c0 + cn) of the K * lanes rows into buf, column by column
  // (each column's elements together, in the order of the lanes). Moved as
  // bits, never through arithmetic, so that a signalling NaN stays one:
  // lanes x lanes elements at a time by the layer's transpose, then what is
  // left one column at a time. Column by column either way, so that the
  // first columns' stores are the oldest and have left the store buffer
  // when the vector loads read them.
  template <int K>
  static TOVRA_FMA_INLINE void copy_stretch(const double *const *row, unsigned c0, unsigned cn, double *buf) {
    const unsigned W = L::lanes, R = K * L::lanes;
    unsigned c = 0;
    for (; c + W <= cn; c += W) {
      TOVRA_UNROLL
      for (int k = 0; k < K; ++k) {
        V v[L::lanes];
        TOVRA_UNROLL
        for (unsigned i = 0; i < W; ++i) {
          v[i] = L::load(row[k * W + i] + c0 + c);
        }
        L::transpose(v);
        TOVRA_UNROLL
        for (unsigned j = 0; j < W; ++j) {
          L::store(buf + (c + j) * R + k * W, v[j]);
        }
      }
    }
    for (; c < cn; ++c) {
      TOVRA_UNROLL
      for (unsigned t = 0; t < R; ++t) {
        std::memcpy(&buf[c * R + t], &row[t][c0 + c], sizeof(double));
      }
    }
  }

  // The elements of column c0 + c in vector k's lanes: in the buffer, or
  // with one lane a vector in the row itself.
  template <int K>
  static TOVRA_FMA_INLINE const double *elements(const double *const *row, const double *buf, int k,
                                                 unsigned c0, unsigned c) {
    return L::lanes > 1 ? buf + c * K * L::lanes + k * L::lanes : row[k] + c0 + c;
  }

  // K vectors of rows, count of them real (count <= K * lanes).
  template <int K>
  static TOVRA_FMA_TARGET void block(const double *const *rows, unsigned count, const double *x, unsigned n,
                                     double *y) {
    const unsigned W = L::lanes, R = K * L::lanes, full = (1u << W) - 1;
    // The real lanes of each vector; the others repeat the first row.
    unsigned real[K];
    for (int k = 0; k < K; ++k) {
      const unsigned first = k * W;
      real[k] = count <= first ? 0 : count - first >= W ? W : count - first;
    }
    // With every lane a row, the copies below have counts fixed at compile
    // time.
    const double *row[R];
    for (unsigned t = 0; t < R; ++t) {
      row[t] = rows[t < count ? t : 0];
    }
    double buf[column_stretch * R];
    V s[K];
    for (int k = 0; k < K; ++k) {
      s[k] = L::splat(0.0);
    }
    for (unsigned c0 = 0; c0 < n; c0 += column_stretch) {
      const unsigned cn = n - c0 < column_stretch ? n - c0 : column_stretch;
      // With one lane a vector, a row's element is a lane's already
      // (elements).
      if (W > 1) {
        copy_stretch<K>(row, c0, cn, buf);
      }
      for (unsigned c = 0; c < cn; ++c) {
        const double xc = x[c0 + c];
        if (__builtin_expect(!operand_not_tiny(bits_of(xc)), 0)) {
          for (int k = 0; k < K; ++k) {
            s[k] = tiny_lanes(s[k], xc, elements<K>(row, buf, k, c0, c), real[k]);
          }
          continue;
        }
        const V a = L::splat(-xc);
        TOVRA_UNROLL
        for (int k = 0; k < K; ++k) {
          const double *col = elements<K>(row, buf, k, c0, c);
          const V b = L::load(col);
          M ok;
          const V v = T::quick(s[k], a, b, ok);
          if (__builtin_expect(L::bits(L::mand(ok, T::operand_not_tiny(b))) == full, 1)) {
            s[k] = v;
          } else if (real[k] != 0) {
            // (A vector of padding lanes only is never read back.)
            s[k] = redo_lanes(s[k], v, xc, col, real[k]);
          }
        }
      }
    }
    double out[R];
    for (int k = 0; k < K; ++k) {
      L::store(out + k * W, s[k]);
    }
    std::memcpy(y, out, count * sizeof(double));
  }

  // The step of one vector whose sums were s, some lane of which failed
  // the quick test (whose values were v): the slow way of the row update on
  // its n real lanes; the others keep the quick values.
  static TOVRA_FMA_TARGET __attribute__((noinline, cold)) V redo_lanes(V s, V v, double x, const double *col,
                                                                       unsigned n) {
    double before[L::lanes], after[L::lanes];
    L::store(before, s);
    L::store(after, v);
    T::template slow<false>(after, before, x, col, n);
    return L::load(after);
  }

  // The same with a tiny x: the integer steps.
  static TOVRA_FMA_TARGET __attribute__((noinline, cold)) V tiny_lanes(V s, double x, const double *col,
                                                                       unsigned n) {
    double sv[L::lanes];
    L::store(sv, s);
    soft_column(sv, x, col, n);
    return L::load(sv);
  }
};

// The product of count <= column_block_rows rows by x on layer L: the
// fewest vectors that hold them, rounded up to a power of two.
template <class L>
void layer_row_sums(const double *const *rows, unsigned count, const double *x, unsigned n, double *y) {
  const unsigned W = L::lanes;
  const unsigned vectors = (count + W - 1) / W;
  if (vectors <= 1) {
    Columns<L>::template block<1>(rows, count, x, n, y);
  } else if (vectors <= 2) {
    Columns<L>::template block<2>(rows, count, x, n, y);
  } else if (vectors <= 4 || column_block_rows / W <= 4) {
    Columns<L>::template block<(column_block_rows / W < 4 ? column_block_rows / W : 4)>(rows, count, x, n, y);
  } else if (vectors <= 8 || column_block_rows / W <= 8) {
    Columns<L>::template block<(column_block_rows / W < 8 ? column_block_rows / W : 8)>(rows, count, x, n, y);
  } else {
    Columns<L>::template block<column_block_rows / W>(rows, count, x, n, y);
  }
}

} // namespace fast
} // namespace tovra_detail

// Instantiates layer L's product of rows by a vector, which Fma::row_sums
// (fast_fma.h) calls.
#define TOVRA_FMA_COLUMN_INSTANCES(L)                                                                        \
  template void tovra_detail::fast::layer_row_sums<L>(const double *const *, unsigned, const double *,       \
                                                      unsigned, double *);

#endif
