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
//   update_rows<R, T>(d, m, u, c0, c1)
//                            a row update (row_loop.h): R rows each take a
//                            term per column of a stretch;
//   is_zero, equal, greater, magnitude, scaled_ge
//                            IEEE comparisons and the pivot test.
// X87 (x87.h) computes on the hardware; Soft (soft.h) computes the same
// bits with integers only, on every CPU and whatever the host did to the
// floating-point environment; Fma (fast_fma.h) computes every step and row
// update with double arithmetic and a fused multiply-add, proves each
// result is the x87 one, and hands what it cannot vouch for to Soft's
// integer steps (a build without the instruction takes the exact low part
// of a product from Dekker's product instead).
#ifndef TOVRA_ARITH_H
#define TOVRA_ARITH_H

#include <cstdint>
#include <cstring>

#include "arith/choice.h"
#include "arith/fast_fma.h"
#include "arith/host_state.h"
#include "arith/soft.h"
#include "arith/x87.h"
#include "bitwise/double_bits.h"

namespace tovra_detail {

// Runs body(A()) with the arithmetic this call may use. In the default
// state (host_state.h has the tests) that is the fused multiply-add where
// it is the faster for the task (choice.h), else the x87 unit, provided no
// operand holds a signalling NaN (operands() tells, asked only then: the
// x87 unit would quiet it on loading). Any other state takes the fused
// multiply-add where the processor has it and the host left its state at
// the default, the integer arithmetic otherwise. The state is read once,
// here, per call; the library never changes it and keeps no state of its
// own.
template <class Operands, class Body>
inline auto with_arithmetic(Task task, Operands operands, Body body) -> decltype(body(Soft())) {
  // Only the choice between the x87 unit and the fused multiply-add reads
  // the task.
  (void)task;
#if TOVRA_HAVE_X87
  if (x87_state_is_default()) {
#if TOVRA_HAVE_FAST_FMA
    // Signalling NaNs need no scan here: the fused multiply-add keeps them
    // as the integer arithmetic does.
    if (fma_pays(task) && fma_state_is_default()) {
      return body(Fma());
    }
#endif
    if (operands()) {
      return body(X87());
    }
  }
#else
  (void)operands;
#endif
#if TOVRA_HAVE_FAST_FMA
  if (fma_state_is_default()) {
    return body(Fma());
  }
#endif
  return body(Soft());
}

// The same for operations that need no scan: those whose x87 steps hold
// every operand in a register of its own (A::held), so that no load can
// quiet a signalling NaN behind the kernel's back, and the comparisons.
template <class Body> inline auto with_arithmetic(Task task, Body body) -> decltype(body(Soft())) {
  return with_arithmetic(
      task, [] { return true; }, body);
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
