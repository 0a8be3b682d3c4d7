// SPDX-License-Identifier: MIT
// The scalar fused multiply-add layer: 1 lane, for targets whose compiler
// has a hardware fused multiply-add for double (POWER, RISC-V, IBM Z, 32-bit
// Arm with VFPv4); two columns per row and step, as independent chains. On
// x86-64 a test build may take it in place of the vector layers, compiled
// for the FMA instruction set only (host_state.h).
#include "arith/host_state.h"

#if defined(TOVRA_FMA_SCALAR)

#if defined(__x86_64__)
#define TOVRA_FMA_TARGET __attribute__((target("fma")))
#else
#define TOVRA_FMA_TARGET
#endif
#include "arith/fma_elements.h"
#include "arith/fma_columns.h"
#include "arith/fma_rows.h"

namespace tovra_detail {
namespace fast {

#define TOVRA_SCALAR static TOVRA_FMA_TARGET __attribute__((always_inline)) inline

struct Scalar {
  typedef double V;
  typedef bool M;
  static const int lanes = 1;
  static const int chains = 2;
  static const bool fused = true;

  TOVRA_SCALAR V splat(double x) { return x; }
  TOVRA_SCALAR V load(const double *p) { return *p; }
  TOVRA_SCALAR void store(double *p, V x) { *p = x; }
  TOVRA_SCALAR V load_part(const double *p, unsigned) { return *p; }
  TOVRA_SCALAR void store_part(double *p, unsigned, V x) { *p = x; }

  TOVRA_SCALAR V add(V a, V b) { return a + b; }
  TOVRA_SCALAR V sub(V a, V b) { return a - b; }
  TOVRA_SCALAR V mul(V a, V b) { return a * b; }
  TOVRA_SCALAR V div(V a, V b) { return a / b; }
  // Never given a NaN.
  TOVRA_SCALAR V max(V a, V b) { return a > b ? a : b; }
  // Each one instruction: the targets of this layer have it, and the
  // compiler must not call the C library's emulation instead (checked in
  // the disassembly of the cross builds).
  TOVRA_SCALAR V fma(V a, V b, V c) { return __builtin_fma(a, b, c); }
  TOVRA_SCALAR V fms(V a, V b, V c) { return __builtin_fma(a, b, -c); }
  TOVRA_SCALAR V fnma(V a, V b, V c) { return __builtin_fma(-a, b, c); }

  // The magnitude (the mask is a constant wherever this is inlined) stays in
  // the floating-point unit: one instruction, no trip through an integer
  // register and back.
  TOVRA_SCALAR V and_bits(V x, u64 k) {
    return k == magnitude_mask ? __builtin_fabs(x) : double_of(bits_of(x) & k);
  }
  TOVRA_SCALAR V add_bits(V x, u64 k) { return double_of(bits_of(x) + k); }
  TOVRA_SCALAR M low_bits_below(V x, u64 k, u64 n) { return (bits_of(x) & k) < n; }

  TOVRA_SCALAR M lt(V a, V b) { return __builtin_isless(a, b); }
  TOVRA_SCALAR M le(V a, V b) { return __builtin_islessequal(a, b); }
  TOVRA_SCALAR M ge(V a, V b) { return __builtin_isgreaterequal(a, b); }
  TOVRA_SCALAR M gt(V a, V b) { return __builtin_isgreater(a, b); }
  TOVRA_SCALAR M eq(V a, V b) { return a == b; }
  TOVRA_SCALAR M ne(V a, V b) { return !(a == b); }

  TOVRA_SCALAR M mand(M a, M b) { return a && b; }
  TOVRA_SCALAR M mor(M a, M b) { return a || b; }
  TOVRA_SCALAR M mandnot(M a, M b) { return a && !b; }
  TOVRA_SCALAR V select(M m, V a, V b) { return m ? a : b; }
  TOVRA_SCALAR unsigned bits(M m) { return m ? 1u : 0u; }
  TOVRA_SCALAR void transpose(V *) {}
};

} // namespace fast
} // namespace tovra_detail

TOVRA_FMA_LAYER_INSTANCES(tovra_detail::fast::Scalar)
TOVRA_FMA_ELEMENT_INSTANCES(tovra_detail::fast::Scalar)
TOVRA_FMA_COLUMN_INSTANCES(tovra_detail::fast::Scalar)

#endif
