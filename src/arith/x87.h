// SPDX-License-Identifier: MIT
// The x87 arithmetic: the one place that says how a step is formed in the
// extended format on the hardware and rounded to double. It is one of the
// arithmetic policies the kernels are written over (see arith.h); the
// others compute the same bits with integers, and with a fused multiply-add
// checked against them.
//
// Why the rounding must be forced: on i386, GCC evaluates double arithmetic
// in the 80-bit x87 registers and may keep a "double" variable there across
// statements, so a plain assignment need not round at all (-ffloat-store
// rounds in other places, and SSE2 would round each step once, straight to
// double). The library's results are defined as "round to the 64-bit
// significand of the extended format, then to double on every store", so
// each step is written on long double (the x87 format wherever this path is
// built) and its result is pushed through an 8-byte memory slot.
#ifndef TOVRA_X87_H
#define TOVRA_X87_H

#include <cfloat>

#include "arith/one_at_a_time.h"
#include "fp_guard.h"

// The x87 path exists where long double is the x87 80-bit format (i386 and
// x86-64, Linux and Windows); elsewhere the other policies do without it.
#if (defined(__i386__) || defined(__x86_64__)) && LDBL_MANT_DIG == 64 && defined(__GNUC__)
#define TOVRA_HAVE_X87 1
#else
#define TOVRA_HAVE_X87 0
#endif

#if TOVRA_HAVE_X87

namespace tovra_detail {

typedef long double ext;

// Rounds an extended value into a double slot. The empty asm with a memory
// operand makes the compiler really store the 8-byte double, which is the
// rounding, and load it back for later reads: one round trip, which cannot
// be optimised away or kept in a register.
inline void round_into(double &slot, ext x) {
  slot = static_cast<double>(x);
  __asm__("" : "+m"(slot));
}

struct X87 : OneAtATime<X87> {
  // Values in flight are extended; every one was loaded from a double or
  // rounded through a double slot, so each is exactly a double.
  typedef ext value;

  // A double as an extended value. The compiler may load it with its own
  // instruction or fold it into the next one as a memory operand; of two
  // quiet NaN operands the larger significand survives either way, but a
  // signalling NaN in memory would lose to a quiet one in a register, so
  // operations whose operands hold a signalling NaN never take this path
  // (see with_arithmetic, arith.h).
  static value get(const double &x) { return x; }
  // The same, loaded into a register by an instruction of its own, so that
  // both operands of the next step are registers whatever they hold: the
  // element-wise loops, which touch each element once, use this instead of
  // looking for signalling NaNs first.
  static value held(const double &x) {
    ext v = x;
    __asm__("" : "+t"(v));
    return v;
  }
  // A value already exactly a double (a constant, a rounded result).
  static value of(double x) { return x; }
  static void put(double &slot, value v) { round_into(slot, v); }

  // The accumulation rule of elimination and substitution: the product of
  // two doubles rounded to extended, subtracted from the running sum in
  // extended, the difference rounded to double.
  static void sub_product_into(double &s, value a, value b) { round_into(s, get(s) - a * b); }
  // The accumulation rule of the products: the product formed in extended,
  // added to the running sum in extended, the sum rounded to double.
  static void add_product_into(double &s, value a, value b) { round_into(s, a * b + get(s)); }
  static void quotient_into(double &slot, value a, value b) { round_into(slot, a / b); }

  static void sum_into(double &slot, value a, value b) { round_into(slot, a + b); }
  static void difference_into(double &slot, value a, value b) { round_into(slot, a - b); }
  static void product_into(double &slot, value a, value b) { round_into(slot, a * b); }

  static bool is_zero(value a) { return a == 0; }
  static bool equal(value a, value b) { return a == b; }
  static bool greater(value a, value b) { return a > b; }
  static value magnitude(value a) { return __builtin_fabsl(a); }

  // The pivot test: |s| times the scale entry, rounded to extended and
  // compared unrounded with the rounded best so far; best takes the
  // product rounded to double when it qualifies.
  static bool scaled_ge(value s, value scale, value &best) {
    const ext m = __builtin_fabsl(s) * scale;
    if (m >= best) {
      double slot;
      round_into(slot, m);
      best = slot;
      return true;
    }
    return false;
  }
};

} // namespace tovra_detail

#endif

#endif
