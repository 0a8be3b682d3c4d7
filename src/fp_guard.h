// SPDX-License-Identifier: MIT
// The build-wide guard against the compiler options that drop or move
// rounding points. Every source of the library includes it, first among its
// own headers, so that no translation unit can be compiled without it.
#ifndef TOVRA_FP_GUARD_H
#define TOVRA_FP_GUARD_H

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
// library that changes the host's floating-point state.) clang for
// WebAssembly has no strict floating point and ignores float_control: there
// the configure-time refusal alone keeps out what the checks above miss.
#if defined(__clang__) && !defined(__wasm__)
#pragma float_control(precise, on)
#endif
#if defined(__clang__)
#pragma clang fp contract(off)
#endif

static_assert(DBL_MANT_DIG == 53 && DBL_MAX_EXP == 1024, "tovra needs IEEE double");

#endif
