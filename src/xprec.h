// The one place that says how an arithmetic step is formed in extended
// precision and rounded to double. Every kernel of the library uses these
// helpers; none repeats the trick.
//
// Why the rounding must be forced: on i386, GCC evaluates double arithmetic
// in the 80-bit x87 registers and may keep a "double" variable there across
// statements, so a plain assignment need not round at all (-ffloat-store
// rounds in other places, and SSE2 would round each step once, straight to
// double). The library's results are defined as "round to the 64-bit
// significand of the extended format, then to double on every store", so
// each step is written on long double (the x87 format on both i386 and
// x86-64 Linux) and its result is pushed through an 8-byte memory slot.
#ifndef TOVRA_XPREC_H
#define TOVRA_XPREC_H

#include <cfloat>

#if defined(__FAST_MATH__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__ > 0)
#error "tovra must not be built with -ffast-math or its relatives: they drop rounding points"
#endif
#if defined(__RECIPROCAL_MATH__) || defined(__NO_SIGNED_ZEROS__)
#error                                                                                                       \
    "tovra must not be built with -freciprocal-math or -fno-signed-zeros (nor -fassociative-math, which needs it)"
#endif
// clang defines no macro for -freciprocal-math, -fno-signed-zeros or
// -funsafe-math-optimizations, so the checks above cannot see them; instead
// every source that includes this header is compiled with precise semantics
// from here on, whatever the command line says. (The build also refuses
// those flags at configure time: some of them link start-up code into the
// library that changes the host's floating-point state.)
#if defined(__clang__)
#pragma float_control(precise, on)
#pragma clang fp contract(off)
#endif

static_assert(LDBL_MANT_DIG == 64, "tovra needs long double to be the x87 80-bit extended format");
static_assert(DBL_MANT_DIG == 53, "tovra needs IEEE double");

namespace tovra_detail {

typedef long double ext;

// Rounds an extended value to double. The empty asm with a memory operand
// makes the compiler store the 8-byte double and load it back, which is the
// rounding: one round trip, and it cannot be optimised away or kept in a
// register. (A volatile double would cost two round trips under GCC -m32.)
inline double to_double(ext x) {
  double d = static_cast<double>(x);
#if defined(__GNUC__)
  __asm__("" : "+m"(d));
  return d;
#else
  volatile double slot = d;
  return slot;
#endif
}

// The accumulation rule of elimination and substitution: the product of two
// doubles rounded to extended, subtracted from the running sum in extended,
// the difference rounded to double.
inline double sub_product(double s, double a, double b) {
  return to_double(static_cast<ext>(s) - static_cast<ext>(a) * b);
}

// The accumulation rule of the products: the product formed in extended,
// added to the running sum in extended, the sum rounded to double.
inline double add_product(double s, double a, double b) { return to_double(static_cast<ext>(a) * b + s); }

// The same two rules applied to a running sum that lives in memory (an
// element, or an entry of a small array of sums): the slot itself is the
// 8-byte store that rounds. Kernels that keep many independent sums in
// flight use these, so that each term still costs one store and one load.
inline void round_into(double &slot, ext x) {
#if defined(__GNUC__)
  slot = static_cast<double>(x);
  // Later reads of the slot must load the stored double, never reuse the
  // extended value the compiler still holds in a register.
  __asm__("" : "+m"(slot));
#else
  slot = to_double(x);
#endif
}

inline void sub_product_into(double &s, double a, double b) {
  round_into(s, static_cast<ext>(s) - static_cast<ext>(a) * b);
}

inline void add_product_into(double &s, double a, double b) { round_into(s, static_cast<ext>(a) * b + s); }

// A true division, its quotient rounded to extended, then into the slot.
inline void quotient_into(double &slot, double a, double b) { round_into(slot, static_cast<ext>(a) / b); }

inline double sum(double a, double b) { return to_double(static_cast<ext>(a) + b); }
inline double difference(double a, double b) { return to_double(static_cast<ext>(a) - b); }
inline double product(double a, double b) { return to_double(static_cast<ext>(a) * b); }
// A true division, its quotient rounded to extended, then to double.
inline double quotient(double a, double b) { return to_double(static_cast<ext>(a) / b); }

} // namespace tovra_detail

#endif
