// SPDX-License-Identifier: MIT
// The integer arithmetic as a policy of the kernels (arith.h): every step
// computed by soft_x87.h on the bits of doubles, to the x87 unit's bits, on
// every CPU and whatever the host did to the floating-point environment.
#ifndef TOVRA_SOFT_H
#define TOVRA_SOFT_H

#include <cstdint>
#include <cstring>

#include "arith/one_at_a_time.h"
#include "arith/soft_x87.h"

namespace tovra_detail {

struct Soft : OneAtATime<Soft> {
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

} // namespace tovra_detail

#endif
