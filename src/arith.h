// SPDX-License-Identifier: MIT
// The arithmetic the kernels are written over, and the choice of it at the
// start of each public operation.
//
// Every numeric loop of the library is a template over an arithmetic policy
// A, which supplies the value type the loops carry (A::value), the loads and
// rounding stores of elements, and each kind of step:
//   get(x), of(d), held(x)   a double as a value (of: a constant; held: in
//                            a register of its own, see X87);
//   put(slot, v)             v rounded into a double slot;
//   sub_product_into(s, a, b), add_product_into(s, a, b)
//                            the two accumulation rules, s a double slot;
//   quotient_into, sum_into, difference_into, product_into
//                            one step, rounded into the slot;
//   is_zero, equal, greater, magnitude, scaled_ge
//                            IEEE comparisons and the pivot test.
// X87 (xprec.h) computes on the hardware; Soft computes the same bits with
// integers only (soft_x87.h), on every CPU and whatever the host did to the
// floating-point environment; Fma is Soft whose row updates, the inner loops
// of the product, the elimination and the inverse, run on the vector unit's
// fused multiply-add (fast_fma.h, kernel_tile.h), to the same bits.
#ifndef TOVRA_ARITH_H
#define TOVRA_ARITH_H

#include <cstdint>
#include <cstring>

#include "double_bits.h"
#include "fast_fma.h"
#include "soft_x87.h"
#include "tovra/matrix_d.h"
#include "xprec.h"

namespace tovra_detail {

struct Soft {
  // The bits of a double: nothing of this policy ever passes through a
  // floating-point register, so no host state reaches it and no exception
  // can trap.
  typedef std::uint64_t value;

  static value get(const double &x) {
    value u;
    std::memcpy(&u, &x, sizeof u);
    return u;
  }
  static value of(const double &x) { return get(x); }
  static value held(const double &x) { return get(x); }
  static void put(double &slot, value v) { std::memcpy(&slot, &v, sizeof slot); }

  static void sub_product_into(double &s, value a, value b) { put(s, soft::sub_product(get(s), a, b)); }
  static void add_product_into(double &s, value a, value b) { put(s, soft::add_product(get(s), a, b)); }
  static void quotient_into(double &slot, value a, value b) { put(slot, soft::quotient(a, b)); }
  static void sum_into(double &slot, value a, value b) { put(slot, soft::sum(a, b)); }
  static void difference_into(double &slot, value a, value b) { put(slot, soft::difference(a, b)); }
  static void product_into(double &slot, value a, value b) { put(slot, soft::product(a, b)); }

  static bool is_zero(value a) { return soft::is_zero(a); }
  static bool equal(value a, value b) { return soft::equal(a, b); }
  static bool greater(value a, value b) { return soft::greater(a, b); }
  static value magnitude(value a) { return soft::magnitude(a); }
  static bool scaled_ge(value s, value scale, value &best) { return soft::scaled_ge(s, scale, best, &best); }
};

#if TOVRA_HAVE_FAST_FMA
struct Fma : Soft {};
#endif

// True when no element is a signalling NaN. A first pass only asks whether
// any element is a NaN or an infinity: adding one to an exponent of all
// ones carries into the sign bit, and nothing else does. Shifted left by one
// (sign dropped), a signalling NaN then lies strictly between the infinity
// pattern and the quiet-bit pattern.
inline bool quiet_only(const double *p, unsigned int n) {
  std::uint64_t special = 0;
  for (unsigned int i = 0; i < n; ++i) {
    std::uint64_t u;
    std::memcpy(&u, p + i, sizeof u);
    special |= (u & exponent_bits) + exponent_unit;
  }
  if ((special >> 63) == 0) {
    return true;
  }
  for (unsigned int i = 0; i < n; ++i) {
    std::uint64_t u;
    std::memcpy(&u, p + i, sizeof u);
    if ((u << 1) - ((infinity_bits << 1) + 1) < (quiet_bit << 1) - 1) {
      return false;
    }
  }
  return true;
}
inline bool quiet_only(const Matrix_d &m) {
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    if (m.SizeCol() != 0 && !quiet_only(&m(r, 0), m.SizeCol())) {
      return false;
    }
  }
  return true;
}
inline bool quiet_only(const Vector<double> &x) { return x.Size() == 0 || quiet_only(&x[0], x.Size()); }

// Runs body(A()) with the arithmetic this call may use: the x87 unit when
// there is one, the host left it (and MXCSR) in the default state and no
// operand holds a signalling NaN (operands() tells, asked only then); else
// the fused multiply-add where the processor has it and the host left the
// vector unit's state at its default; the integer arithmetic otherwise.
// The state is read once, here, per call; the library never changes it and
// keeps no state of its own.
template <class Operands, class Body>
inline auto with_arithmetic(Operands operands, Body body) -> decltype(body(Soft())) {
#if TOVRA_HAVE_X87
  if (x87_state_is_default() && operands()) {
    return body(X87());
  }
#else
  (void)operands;
#endif
#if TOVRA_HAVE_FAST_FMA
  if (fast_fma_usable()) {
    return body(Fma());
  }
#endif
  return body(Soft());
}

} // namespace tovra_detail

// Explicit instantiation of a kernel template for every policy.
#if TOVRA_HAVE_X87
#define TOVRA_X87_ARITHMETIC(X) X(tovra_detail::X87)
#else
#define TOVRA_X87_ARITHMETIC(X)
#endif
#if TOVRA_HAVE_FAST_FMA
#define TOVRA_FMA_ARITHMETIC(X) X(tovra_detail::Fma)
#else
#define TOVRA_FMA_ARITHMETIC(X)
#endif
#define TOVRA_FOR_EACH_ARITHMETIC(X) TOVRA_X87_ARITHMETIC(X) TOVRA_FMA_ARITHMETIC(X) X(tovra_detail::Soft)

#endif
