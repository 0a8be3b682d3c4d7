// The integer arithmetic held to the x87 unit itself: seeded random steps
// from every class of operand, each function against the same step on the
// hardware (operands loaded into registers first, result stored through an
// 8-byte slot). Every build also folds all results into one hash recorded on
// x86, so that targets without an x87 unit prove the same bits.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "soft_x87.h"

#ifndef TOVRA_ARITH_STEPS
#define TOVRA_ARITH_STEPS 300000
#endif

namespace {

namespace soft = tovra_detail::soft;
typedef std::uint64_t u64;

const u64 sign_bit = u64(1) << 63, inf = u64(0x7ff) << 52, quiet = u64(1) << 51;

u64 next(u64 &state) { // splitmix64: the same sequence on every target
  u64 z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// One operand. Most classes are placed relative to `near`: a neighbour of
// it, its exponent shifted by up to 70 binades (sums cancel, ties land on the
// 64-bit and 53-bit grids), or the exponent that puts a product or quotient
// with it at either end of the double range. Short and sparse significands
// make exact products and sums that sit on the rounding points.
u64 draw(u64 &g, u64 near) {
  const u64 r = next(g), sign = r & sign_bit;
  u64 f = next(g) >> 12;
  const u64 frac = (u64(1) << 52) - 1;
  if ((r >> 8 & 3) == 0) {
    f &= ~u64(0) << (r >> 10) % 53;
  } else if ((r >> 8 & 3) == 1) {
    f = (u64(1) << (r >> 10) % 64 | (r >> 16 & 1) << (r >> 17) % 52) & frac;
  } else if ((r >> 8 & 3) == 2) {
    f = frac ^ f >> (r >> 10) % 64; // a long run of ones: roundings that carry
  }
  const int ne = static_cast<int>(near >> 52 & 0x7ff);
  const int edge = r >> 24 & 1 ? static_cast<int>((r >> 25) % 64) - 60 : 2040 + static_cast<int>((r >> 25) % 12);
  int e = static_cast<int>((r >> 32) % 2046) + 1;
  switch (r % 14) {
  case 0:
    return sign;
  case 1:
    return sign | f >> (r >> 24) % 52; // subnormal
  case 2:
    return sign | inf;
  case 3:
    return sign | inf | quiet | f;
  case 4:
    return sign | inf | ((f & ~quiet) == 0 ? 1 : f & ~quiet); // signalling
  case 5:
    e = edge < 0 ? edge + 61 : edge + 6 - 12;
    break;
  case 6:
    return (near ^ (r & sign_bit)) + (r >> 32) % 7 - 3;
  case 7:
  case 8:
  case 9:
  case 10:
  case 11:
    if (ne != 0 && ne != 2047) {
      f = r % 14 != 8 ? f : (near & frac) ^ (f >> (r >> 40) % 64);
      e = r % 14 == 10 ? edge - ne + 1023 : r % 14 == 11 ? ne - edge + 1023 : ne + static_cast<int>((r >> 32) % 141) - 70;
      e = e < 1 ? 1 : e > 2046 ? 2046 : e;
    }
    break;
  }
  return sign | static_cast<u64>(e) << 52 | f;
}

#if defined(__i386__) || defined(__x86_64__)
#define X87_STEP(name, code)                                                                                 \
  u64 name(u64 s, u64 a, u64 b) {                                                                          \
    u64 r;                                                                                                   \
    __asm__(code "\n\tfstpl %0" : "=m"(r) : "m"(s), "m"(a), "m"(b));                                         \
    return r;                                                                                                \
  }
X87_STEP(x87_sum, "fldl %2\n\tfldl %3\n\tfaddp")
X87_STEP(x87_difference, "fldl %2\n\tfldl %3\n\tfsubrp")
X87_STEP(x87_product, "fldl %2\n\tfldl %3\n\tfmulp")
X87_STEP(x87_quotient, "fldl %2\n\tfldl %3\n\tfdivrp")
X87_STEP(x87_add_product, "fldl %2\n\tfldl %3\n\tfmulp\n\tfldl %1\n\tfaddp")
X87_STEP(x87_sub_product, "fldl %1\n\tfldl %2\n\tfldl %3\n\tfmulp\n\tfsubrp")
X87_STEP(x87_magnitude, "fldl %2\n\tfabs")

bool x87_scaled_ge(u64 s, u64 scale, u64 best, u64 *rounded) {
  u64 m;
  unsigned char ge;
  __asm__("fldl %4\n\tfldl %2\n\tfabs\n\tfldl %3\n\tfmulp\n\tfucomi %%st(1), %%st\n\tsetae %1\n\t"
          "fstpl %0\n\tfstp %%st(0)"
          : "=m"(m), "=q"(ge)
          : "m"(s), "m"(scale), "m"(best)
          : "cc");
  if (ge) {
    *rounded = m;
  }
  return ge;
}
#endif

double value(u64 u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

TEST(SoftX87, EveryStepAsTheUnitGivesIt) {
  u64 g = 20240611, hash = 0, prev = 0x3ff0000000000000ULL;
  for (long i = 0; i < TOVRA_ARITH_STEPS; ++i) {
    const u64 a = draw(g, prev), b = draw(g, a), s = draw(g, soft::product(a, b));
    const u64 best = draw(g, soft::product(soft::magnitude(a), b));
    u64 rounded = 0;
    const bool ge = soft::scaled_ge(a, b, best, &rounded);
    const u64 got[] = {soft::sum(a, b),
                       soft::difference(a, b),
                       soft::product(a, b),
                       soft::quotient(a, b),
                       soft::add_product(s, a, b),
                       soft::sub_product(s, a, b),
                       ge ? rounded : 0x5eed,
                       u64(soft::greater(a, b)) | u64(soft::equal(a, b)) << 1 | u64(soft::is_zero(a)) << 2,
                       soft::magnitude(a)};
    const int n = sizeof got / sizeof *got;
    for (int k = 0; k < n; ++k) {
      hash = (hash ^ got[k]) * 0x100000001b3ULL + static_cast<u64>(k);
    }
    prev = got[i % n];
#if defined(__i386__) || defined(__x86_64__)
    const double x = value(a), y = value(b);
    u64 x87_rounded = 0;
    const bool x87_ge = x87_scaled_ge(a, b, best, &x87_rounded);
    const bool nan_a = (a << 1) > (inf << 1);
    const u64 want[] = {x87_sum(0, a, b),
                        x87_difference(0, a, b),
                        x87_product(0, a, b),
                        x87_quotient(0, a, b),
                        x87_add_product(s, a, b),
                        x87_sub_product(s, a, b),
                        x87_ge ? x87_rounded : 0x5eed,
                        u64(x > y) | u64(x == y) << 1 | u64(x == 0) << 2,
                        nan_a ? a & ~sign_bit : x87_magnitude(0, a, 0)};
    for (int k = 0; k < n; ++k) {
      if (got[k] != want[k]) {
        ADD_FAILURE() << "step " << i << ", function " << k << std::hex << ": s=" << s << " a=" << a
                      << " b=" << b << " best=" << best << " gives " << got[k] << ", the x87 unit " << want[k];
        return;
      }
    }
#endif
  }
  if (TOVRA_ARITH_STEPS == 300000) {
    EXPECT_EQ(0xaa3d2fe92da607eaULL, hash) << std::hex << "hash " << hash;
  }
  std::printf("hash of %ld steps: 0x%016" PRIx64 "\n", static_cast<long>(TOVRA_ARITH_STEPS), hash);
}

} // namespace
