// SPDX-License-Identifier: MIT
// The library as it runs by default (x87 where there is one) and, on x86,
// for a host that set 53-bit precision (fused multiply-add where there is
// one), against the textbook loops of reference.h on the integer
// arithmetic: every result, bit for bit, NaN payloads included, on seeded
// cases of every family, orders 0 to 130, and on small rectangular products.
// TOVRA_DIFF_CASES sets the number of cases, TOVRA_DIFF_SEED the seed.
#include <cstdlib>
#include <random>
#include <utility>

#include <gtest/gtest.h>

#include "cases.h"
#include "reference.h"

namespace {

using cases::u64;
using reference::Reference;

// The library's outputs, in the default state or with 53-bit precision set
// around the calls (on x86; elsewhere the default state again).
void library(const cases::Inputs &in, cases::Outputs &out, bool precision53) {
#if defined(__i386__) || defined(__x86_64__)
  const unsigned short cw = precision53 ? 0x027f : 0x037f, standard = 0x037f;
  __asm__ __volatile__("fldcw %0" : : "m"(cw));
  cases::outputs<cases::Library>(in, out);
  __asm__ __volatile__("fldcw %0" : : "m"(standard));
#else
  (void)precision53;
  cases::outputs<cases::Library>(in, out);
#endif
}

// The reference's first difference from the library in either state, "" if none.
std::string compare(const cases::Inputs &in) {
  cases::Outputs want;
  cases::outputs<Reference>(in, want);
  for (bool precision53 : {false, true}) {
    cases::Outputs got;
    library(in, got, precision53);
    for (int op = 0; op < cases::kOps; ++op) {
      const std::string diff = cases::first_difference(want[op], got[op]);
      if (!diff.empty()) {
        return std::string(cases::op_name[op]) + (precision53 ? " (53-bit precision): " : ": ") + diff;
      }
    }
  }
  return "";
}

u64 env(const char *name, u64 fallback) {
  const char *v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 0) : fallback;
}

TEST(Differential, LibraryMatchesTheReference) {
  const u64 seed = env("TOVRA_DIFF_SEED", 1);
  const unsigned count = static_cast<unsigned>(env("TOVRA_DIFF_CASES", 600));
  int failures = 0;
  for (unsigned i = 0; i < count && failures < 5; ++i) {
    const cases::Family f = static_cast<cases::Family>(i % cases::kFamilies);
    const unsigned n = i % 50 == 7 ? 64 + i % 67 : i % 3 == 0 ? i % 41 : i % 10;
    const cases::Inputs in = cases::generate(f, n, seed * 1000003 + i);
    const std::string diff = compare(in);
    if (!diff.empty() && ++failures <= 5) {
      ADD_FAILURE() << "TOVRA_DIFF_SEED=" << seed << " case " << i << " (" << cases::family_name[f]
                    << ", order " << n << "): " << diff;
    }
  }
}

// Products of rectangular shapes, each dimension 0 to 12, against the
// reference: every row tile and its remainder.
TEST(Differential, RectangularProducts) {
  std::mt19937_64 g(env("TOVRA_DIFF_SEED", 1));
  for (int i = 0; i < 300; ++i) {
    const unsigned r = g() % 13, k = g() % 13, c = g() % 13;
    const cases::Inputs in = cases::generate(static_cast<cases::Family>(i % cases::kFamilies), 13, g());
    Matrix_d a(r, k), b(k, c), want(r, c), got(r, c);
    double sink;
    for (unsigned e = 0; e < 13 * 12; ++e) {
      reference::put(e / 13 < r && e % 13 < k ? a(e / 13, e % 13) : sink, in.a[e]);
      reference::put(e / 13 < k && e % 13 < c ? b(e / 13, e % 13) : sink, in.b[e]);
    }
    Reference::product(a, b, want);
    ASSERT_TRUE(a.Molt(got, b));
    std::vector<u64> w, o;
    cases::append(w, want), cases::append(o, got);
    ASSERT_EQ("", cases::first_difference(w, o)) << r << "x" << k << " times " << k << "x" << c;
  }
}

} // namespace

#if defined(TOVRA_FUZZ)
// libFuzzer: the bytes give the order and the elements (a byte below 160 a small integer, for exact
// pivots, ties and cancellations; else 8 bytes of bits); every result must be the reference's.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  size_t at = 1;
  auto byte = [&] { return u64(at < size ? data[at++] : 0); };
  auto next = [&] {
    u64 u = byte();
    for (int i = 0; i < 8 && u >= 160; ++i) {
      u = u << 8 | byte();
    }
    return u < 160 ? cases::bits_of(static_cast<double>(static_cast<int>(u % 17) - 8)) : u;
  };
  cases::Inputs in = {size != 0 ? data[0] % 8u : 0u, {}, {}, {}, {}, next()};
  for (std::vector<u64> *v : {&in.a, &in.b, &in.x, &in.rhs}) {
    v->resize(v == &in.a || v == &in.b ? in.n * in.n : in.n);
    for (u64 &e : *v) {
      e = next();
    }
  }
  if (!compare(in).empty()) {
    __builtin_trap();
  }
  return 0;
}
#endif
