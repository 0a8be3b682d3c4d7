// SPDX-License-Identifier: MIT
// The layer for targets without a fused multiply-add (WebAssembly, 32-bit
// Arm before VFPv4): 2 lanes in the compiler's generic vectors, which
// become WebAssembly's 128-bit SIMD where the build enables it (-msimd128)
// and pairs of scalar instructions elsewhere. What the other layers take
// from a fused multiply-add, the exact low part of a product, comes from
// Veltkamp's split and Dekker's product, by the same rule as the single
// steps of such a build (fused = false: fma_rows.h builds the rest from
// exact parts). On x86-64 a test build may take it in place
// of the vector layers (host_state.h), on SSE2 alone.
#include "arith/host_state.h"

#if defined(TOVRA_FMA_DEKKER)

#include <cstdint>
#include <cstring>

#define TOVRA_FMA_TARGET
#include "arith/fma_elements.h"
#include "arith/fma_columns.h"
#include "arith/fma_rows.h"

namespace tovra_detail {
namespace fast {

#define TOVRA_DEKKER static __attribute__((always_inline)) inline

struct Dekker {
  typedef double V __attribute__((vector_size(16)));
  typedef std::int64_t M __attribute__((vector_size(16)));
  typedef std::uint64_t U __attribute__((vector_size(16)));
  static const int lanes = 2;
  static const int chains = 2;
  static const bool fused = false;

  TOVRA_DEKKER U ints(V x) { return reinterpret_cast<U>(x); }
  TOVRA_DEKKER V doubles(U x) { return reinterpret_cast<V>(x); }
  TOVRA_DEKKER U all(u64 k) { return U{k, k}; }

  TOVRA_DEKKER V splat(double x) { return V{x, x}; }
  TOVRA_DEKKER V load(const double *p) {
    V x;
    std::memcpy(&x, p, sizeof x);
    return x;
  }
  TOVRA_DEKKER void store(double *p, V x) { std::memcpy(p, &x, sizeof x); }
  TOVRA_DEKKER V load_part(const double *p, unsigned n) { return n == 2 ? load(p) : V{*p, 0.0}; }
  TOVRA_DEKKER void store_part(double *p, unsigned n, V x) {
    if (n == 2) {
      store(p, x);
    } else {
      *p = x[0];
    }
  }

  TOVRA_DEKKER V add(V a, V b) { return a + b; }
  TOVRA_DEKKER V sub(V a, V b) { return a - b; }
  TOVRA_DEKKER V mul(V a, V b) { return a * b; }
  TOVRA_DEKKER V div(V a, V b) { return a / b; }
  // Never given a NaN.
  TOVRA_DEKKER V max(V a, V b) { return select(gt(a, b), a, b); }

  // a * b - ph (ph = a * b rounded) by Dekker's product, the single steps'
  // rule (fma_steps.h): exact for operands of magnitude 2^-450 or more, or
  // zero, unless something overflows, which gives an infinity or a NaN and
  // fails every test of fma_rows.h.
  TOVRA_DEKKER V product_low(V a, V b, V ph) { return product_low_by_halves(a, b, ph); }

  TOVRA_DEKKER V and_bits(V x, u64 k) { return doubles(ints(x) & all(k)); }
  TOVRA_DEKKER V add_bits(V x, u64 k) { return doubles(ints(x) + all(k)); }
  TOVRA_DEKKER M low_bits_below(V x, u64 k, u64 n) {
    return reinterpret_cast<M>((ints(x) & all(k)) < all(n));
  }

  // Quiet on WebAssembly, which has no floating-point flags; on Arm and in
  // x86-64 test builds a NaN lane may raise the sticky invalid flag (traps
  // are off: host_state.h), which the other layers' quiet comparisons
  // would not.
  TOVRA_DEKKER M lt(V a, V b) { return reinterpret_cast<M>(a < b); }
  TOVRA_DEKKER M le(V a, V b) { return reinterpret_cast<M>(a <= b); }
  TOVRA_DEKKER M ge(V a, V b) { return reinterpret_cast<M>(a >= b); }
  TOVRA_DEKKER M gt(V a, V b) { return reinterpret_cast<M>(a > b); }
  TOVRA_DEKKER M eq(V a, V b) { return reinterpret_cast<M>(a == b); }
  TOVRA_DEKKER M ne(V a, V b) { return ~eq(a, b); }

  TOVRA_DEKKER M mand(M a, M b) { return a & b; }
  TOVRA_DEKKER M mor(M a, M b) { return a | b; }
  TOVRA_DEKKER M mandnot(M a, M b) { return a & ~b; }
  TOVRA_DEKKER V select(M m, V a, V b) {
    const U k = reinterpret_cast<U>(m);
    return doubles((ints(a) & k) | (ints(b) & ~k));
  }
  TOVRA_DEKKER unsigned bits(M m) {
    return static_cast<unsigned>(m[0] & 1) | static_cast<unsigned>(m[1] & 1) << 1;
  }
  TOVRA_DEKKER void transpose(V *v) {
    const V a = v[0], b = v[1];
    v[0] = V{a[0], b[0]};
    v[1] = V{a[1], b[1]};
  }
};

} // namespace fast
} // namespace tovra_detail

TOVRA_FMA_LAYER_INSTANCES(tovra_detail::fast::Dekker)
TOVRA_FMA_ELEMENT_INSTANCES(tovra_detail::fast::Dekker)
TOVRA_FMA_COLUMN_INSTANCES(tovra_detail::fast::Dekker)

#endif
