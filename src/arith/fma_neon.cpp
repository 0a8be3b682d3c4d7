// SPDX-License-Identifier: MIT
// The fused multiply-add layer of aarch64: NEON, always present, 2 lanes,
// masks as vectors of all-ones lanes; two vectors per row and step, so that
// a single row still keeps two independent chains in flight.
#include "arith/host_state.h"

#if defined(TOVRA_FMA_NEON)

#include <arm_neon.h>

#define TOVRA_FMA_TARGET
#include "arith/fma_elements.h"
#include "arith/fma_columns.h"
#include "arith/fma_rows.h"

namespace tovra_detail {
namespace fast {

struct Neon {
  typedef float64x2_t V;
  typedef uint64x2_t M;
  static const int lanes = 2;
  static const int chains = 2;
  static const bool fused = true;

  static V doubles(M x) { return vreinterpretq_f64_u64(x); }
  static M ints(V x) { return vreinterpretq_u64_f64(x); }

  static V splat(double x) { return vdupq_n_f64(x); }
  static V load(const double *p) { return vld1q_f64(p); }
  static void store(double *p, V x) { vst1q_f64(p, x); }
  static V load_part(const double *p, unsigned n) {
    return n == 2 ? vld1q_f64(p) : vsetq_lane_f64(*p, splat(0), 0);
  }
  static void store_part(double *p, unsigned n, V x) {
    if (n == 2) {
      vst1q_f64(p, x);
    } else {
      vst1q_lane_f64(p, x, 0);
    }
  }

  static V add(V a, V b) { return vaddq_f64(a, b); }
  static V sub(V a, V b) { return vsubq_f64(a, b); }
  static V mul(V a, V b) { return vmulq_f64(a, b); }
  static V div(V a, V b) { return vdivq_f64(a, b); }
  static V max(V a, V b) { return vmaxq_f64(a, b); }
  static V fma(V a, V b, V c) { return vfmaq_f64(c, a, b); }
  static V fms(V a, V b, V c) { return vfmaq_f64(vnegq_f64(c), a, b); }
  static V fnma(V a, V b, V c) { return vfmsq_f64(c, a, b); }

  static V and_bits(V x, u64 k) { return doubles(vandq_u64(ints(x), vdupq_n_u64(k))); }
  static V add_bits(V x, u64 k) { return doubles(vaddq_u64(ints(x), vdupq_n_u64(k))); }
  static M low_bits_below(V x, u64 k, u64 n) {
    return vcltq_u64(vandq_u64(ints(x), vdupq_n_u64(k)), vdupq_n_u64(n));
  }

  static M lt(V a, V b) { return vcltq_f64(a, b); }
  static M le(V a, V b) { return vcleq_f64(a, b); }
  static M ge(V a, V b) { return vcgeq_f64(a, b); }
  static M gt(V a, V b) { return vcgtq_f64(a, b); }
  static M eq(V a, V b) { return vceqq_f64(a, b); }
  static M ne(V a, V b) { return vreinterpretq_u64_u32(vmvnq_u32(vreinterpretq_u32_u64(vceqq_f64(a, b)))); }

  static M mand(M a, M b) { return vandq_u64(a, b); }
  static M mor(M a, M b) { return vorrq_u64(a, b); }
  static M mandnot(M a, M b) { return vbicq_u64(a, b); }
  static V select(M m, V a, V b) { return vbslq_f64(m, a, b); }
  static unsigned bits(M m) {
    return static_cast<unsigned>(vgetq_lane_u64(m, 0) & 1) | static_cast<unsigned>(vgetq_lane_u64(m, 1) & 1)
                                                                 << 1;
  }
  static void transpose(V *v) {
    const V a = v[0], b = v[1];
    v[0] = vzip1q_f64(a, b);
    v[1] = vzip2q_f64(a, b);
  }
};

} // namespace fast
} // namespace tovra_detail

TOVRA_FMA_LAYER_INSTANCES(tovra_detail::fast::Neon)
TOVRA_FMA_ELEMENT_INSTANCES(tovra_detail::fast::Neon)
TOVRA_FMA_COLUMN_INSTANCES(tovra_detail::fast::Neon)

#endif
