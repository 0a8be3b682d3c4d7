// SPDX-License-Identifier: MIT
// The fused multiply-add layer of x86-64 with AVX-512: 8 lanes, masks in
// mask registers, the foundation instructions only (host_state.h asks the
// processor for them, and for the operating system's saving of their
// registers, before this layer is chosen over AVX2). Only the functions of
// this file use them.
#include "arith/host_state.h"

#if defined(TOVRA_FMA_AVX512)

#include <immintrin.h>

#define TOVRA_FMA_TARGET __attribute__((target("avx512f")))
#include "arith/fma_elements.h"
#include "arith/fma_columns.h"
#include "arith/fma_rows.h"

namespace tovra_detail {
namespace fast {

#define TOVRA_AVX512 static TOVRA_FMA_TARGET __attribute__((always_inline)) inline

struct Avx512 {
  typedef __m512d V;
  typedef __mmask8 M;
  static const int lanes = 8;
  static const int chains = 1;
  static const bool fused = true;

  TOVRA_AVX512 __m512i ints(V x) { return _mm512_castpd_si512(x); }
  TOVRA_AVX512 V doubles(__m512i x) { return _mm512_castsi512_pd(x); }
  TOVRA_AVX512 M first(unsigned n) { return static_cast<M>((1u << n) - 1); }

  TOVRA_AVX512 V splat(double x) { return _mm512_set1_pd(x); }
  TOVRA_AVX512 V load(const double *p) { return _mm512_loadu_pd(p); }
  TOVRA_AVX512 void store(double *p, V x) { _mm512_storeu_pd(p, x); }
  TOVRA_AVX512 V load_part(const double *p, unsigned n) { return _mm512_maskz_loadu_pd(first(n), p); }
  TOVRA_AVX512 void store_part(double *p, unsigned n, V x) { _mm512_mask_storeu_pd(p, first(n), x); }

  TOVRA_AVX512 V add(V a, V b) { return _mm512_add_pd(a, b); }
  TOVRA_AVX512 V sub(V a, V b) { return _mm512_sub_pd(a, b); }
  TOVRA_AVX512 V mul(V a, V b) { return _mm512_mul_pd(a, b); }
  TOVRA_AVX512 V div(V a, V b) { return _mm512_div_pd(a, b); }
  // Through the zero-masking form with every lane set: the same
  // instruction, without the undefined register GCC 12's plain form warns of.
  TOVRA_AVX512 V max(V a, V b) { return _mm512_maskz_max_pd(0xff, a, b); }
  TOVRA_AVX512 V fma(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
  TOVRA_AVX512 V fms(V a, V b, V c) { return _mm512_fmsub_pd(a, b, c); }
  TOVRA_AVX512 V fnma(V a, V b, V c) { return _mm512_fnmadd_pd(a, b, c); }

  TOVRA_AVX512 V and_bits(V x, u64 k) {
    return doubles(_mm512_and_si512(ints(x), _mm512_set1_epi64(static_cast<long long>(k))));
  }
  TOVRA_AVX512 V add_bits(V x, u64 k) {
    return doubles(_mm512_add_epi64(ints(x), _mm512_set1_epi64(static_cast<long long>(k))));
  }
  TOVRA_AVX512 M low_bits_below(V x, u64 k, u64 n) {
    return _mm512_cmplt_epu64_mask(_mm512_and_si512(ints(x), _mm512_set1_epi64(static_cast<long long>(k))),
                                   _mm512_set1_epi64(static_cast<long long>(n)));
  }

  TOVRA_AVX512 M lt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  TOVRA_AVX512 M le(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
  TOVRA_AVX512 M ge(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
  TOVRA_AVX512 M gt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
  TOVRA_AVX512 M eq(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
  TOVRA_AVX512 M ne(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ); }

  TOVRA_AVX512 M mand(M a, M b) { return static_cast<M>(a & b); }
  TOVRA_AVX512 M mor(M a, M b) { return static_cast<M>(a | b); }
  TOVRA_AVX512 M mandnot(M a, M b) { return static_cast<M>(a & ~b); }
  TOVRA_AVX512 V select(M m, V a, V b) { return _mm512_mask_blend_pd(m, b, a); }
  TOVRA_AVX512 unsigned bits(M m) { return m; }

  // v[i] lane j becomes v[j] lane i: pairs, then pairs of pairs, then the
  // halves; written out, so that it stays in registers. Zero-masking forms
  // with every lane set, as max.
  TOVRA_AVX512 V pairs_low(V a, V b) { return _mm512_maskz_unpacklo_pd(0xff, a, b); }
  TOVRA_AVX512 V pairs_high(V a, V b) { return _mm512_maskz_unpackhi_pd(0xff, a, b); }
  TOVRA_AVX512 V even_quarters(V a, V b) { return _mm512_maskz_shuffle_f64x2(0xff, a, b, 0x88); }
  TOVRA_AVX512 V odd_quarters(V a, V b) { return _mm512_maskz_shuffle_f64x2(0xff, a, b, 0xdd); }
  TOVRA_AVX512 void transpose(V *v) {
    const V a0 = pairs_low(v[0], v[1]), a1 = pairs_high(v[0], v[1]);
    const V a2 = pairs_low(v[2], v[3]), a3 = pairs_high(v[2], v[3]);
    const V a4 = pairs_low(v[4], v[5]), a5 = pairs_high(v[4], v[5]);
    const V a6 = pairs_low(v[6], v[7]), a7 = pairs_high(v[6], v[7]);
    // b0 holds columns 0 and 4 of rows 0 to 3, b1 2 and 6, b2 1 and 5, b3 3
    // and 7; b4 to b7 the same of rows 4 to 7.
    const V b0 = even_quarters(a0, a2), b1 = odd_quarters(a0, a2);
    const V b2 = even_quarters(a1, a3), b3 = odd_quarters(a1, a3);
    const V b4 = even_quarters(a4, a6), b5 = odd_quarters(a4, a6);
    const V b6 = even_quarters(a5, a7), b7 = odd_quarters(a5, a7);
    v[0] = even_quarters(b0, b4), v[4] = odd_quarters(b0, b4);
    v[2] = even_quarters(b1, b5), v[6] = odd_quarters(b1, b5);
    v[1] = even_quarters(b2, b6), v[5] = odd_quarters(b2, b6);
    v[3] = even_quarters(b3, b7), v[7] = odd_quarters(b3, b7);
  }
};

} // namespace fast
} // namespace tovra_detail

TOVRA_FMA_LAYER_INSTANCES(tovra_detail::fast::Avx512)
TOVRA_FMA_ELEMENT_INSTANCES(tovra_detail::fast::Avx512)
TOVRA_FMA_COLUMN_INSTANCES(tovra_detail::fast::Avx512)

#endif
