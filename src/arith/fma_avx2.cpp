// SPDX-License-Identifier: MIT
// The fused multiply-add layer of x86-64 with AVX2 and FMA: 4 lanes, masks
// as vectors of all-ones lanes. Only the functions of this file use those
// instruction sets, so that the library still loads and runs on any x86-64
// (host_state.h asks the processor before this layer is chosen).
#include "arith/host_state.h"

#if defined(TOVRA_FMA_AVX)

#include <immintrin.h>

#define TOVRA_FMA_TARGET __attribute__((target("avx2,fma")))
#include "arith/fma_elements.h"
#include "arith/fma_columns.h"
#include "arith/fma_rows.h"

namespace tovra_detail {
namespace fast {

#define TOVRA_AVX2 static TOVRA_FMA_TARGET __attribute__((always_inline)) inline

struct Avx2 {
  typedef __m256d V;
  typedef __m256d M;
  static const int lanes = 4;
  static const int chains = 1;
  static const bool fused = true;

  TOVRA_AVX2 __m256i ints(V x) { return _mm256_castpd_si256(x); }
  TOVRA_AVX2 V doubles(__m256i x) { return _mm256_castsi256_pd(x); }
  TOVRA_AVX2 __m256i first(unsigned n) {
    return _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_set_epi64x(3, 2, 1, 0));
  }

  TOVRA_AVX2 V splat(double x) { return _mm256_set1_pd(x); }
  TOVRA_AVX2 V load(const double *p) { return _mm256_loadu_pd(p); }
  TOVRA_AVX2 void store(double *p, V x) { _mm256_storeu_pd(p, x); }
  TOVRA_AVX2 V load_part(const double *p, unsigned n) { return _mm256_maskload_pd(p, first(n)); }
  TOVRA_AVX2 void store_part(double *p, unsigned n, V x) { _mm256_maskstore_pd(p, first(n), x); }

  TOVRA_AVX2 V add(V a, V b) { return _mm256_add_pd(a, b); }
  TOVRA_AVX2 V sub(V a, V b) { return _mm256_sub_pd(a, b); }
  TOVRA_AVX2 V mul(V a, V b) { return _mm256_mul_pd(a, b); }
  TOVRA_AVX2 V div(V a, V b) { return _mm256_div_pd(a, b); }
  TOVRA_AVX2 V max(V a, V b) { return _mm256_max_pd(a, b); }
  TOVRA_AVX2 V fma(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
  TOVRA_AVX2 V fms(V a, V b, V c) { return _mm256_fmsub_pd(a, b, c); }
  TOVRA_AVX2 V fnma(V a, V b, V c) { return _mm256_fnmadd_pd(a, b, c); }

  TOVRA_AVX2 V and_bits(V x, u64 k) { return _mm256_and_pd(x, doubles(_mm256_set1_epi64x(k))); }
  TOVRA_AVX2 V add_bits(V x, u64 k) { return doubles(_mm256_add_epi64(ints(x), _mm256_set1_epi64x(k))); }
  // n is small and the masked bits non-negative: the signed comparison
  // is the unsigned one.
  TOVRA_AVX2 M low_bits_below(V x, u64 k, u64 n) {
    return doubles(
        _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_and_si256(ints(x), _mm256_set1_epi64x(k))));
  }

  TOVRA_AVX2 M lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  TOVRA_AVX2 M le(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
  TOVRA_AVX2 M ge(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
  TOVRA_AVX2 M gt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  TOVRA_AVX2 M eq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  TOVRA_AVX2 M ne(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }

  TOVRA_AVX2 M mand(M a, M b) { return _mm256_and_pd(a, b); }
  TOVRA_AVX2 M mor(M a, M b) { return _mm256_or_pd(a, b); }
  TOVRA_AVX2 M mandnot(M a, M b) { return _mm256_andnot_pd(b, a); }
  TOVRA_AVX2 V select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
  TOVRA_AVX2 unsigned bits(M m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }

  // v[i] lane j becomes v[j] lane i: pairs, then the halves.
  TOVRA_AVX2 void transpose(V *v) {
    const V a0 = _mm256_unpacklo_pd(v[0], v[1]), a1 = _mm256_unpackhi_pd(v[0], v[1]);
    const V a2 = _mm256_unpacklo_pd(v[2], v[3]), a3 = _mm256_unpackhi_pd(v[2], v[3]);
    v[0] = _mm256_permute2f128_pd(a0, a2, 0x20);
    v[1] = _mm256_permute2f128_pd(a1, a3, 0x20);
    v[2] = _mm256_permute2f128_pd(a0, a2, 0x31);
    v[3] = _mm256_permute2f128_pd(a1, a3, 0x31);
  }
};

} // namespace fast
} // namespace tovra_detail

TOVRA_FMA_LAYER_INSTANCES(tovra_detail::fast::Avx2)
TOVRA_FMA_ELEMENT_INSTANCES(tovra_detail::fast::Avx2)
TOVRA_FMA_COLUMN_INSTANCES(tovra_detail::fast::Avx2)

#endif
