// SPDX-License-Identifier: MIT
// The library on every arithmetic path this processor has, each reached by
// the floating-point state a host would set, against the textbook loops of
// reference.h on the integer arithmetic: every result, bit for bit, NaN
// payloads included, on seeded cases of every family, orders 0 to 130, and
// on small rectangular products.
// TOVRA_DIFF_CASES sets the number of cases, TOVRA_DIFF_SEED the seed.
#include <cstdlib>
#include <random>
#include <utility>

#include <gtest/gtest.h>

#include "cases.h"
#include "fp_state.h"
#include "reference.h"

namespace {

using cases::u64;
using reference::Reference;

// The reference's first difference from the library on any path, "" if none.
std::string compare(const cases::Inputs &in) {
  cases::Outputs want;
  cases::outputs<Reference>(in, want);
  for (const fp_state::PathState &p : fp_state::paths()) {
    cases::Outputs got;
    {
      const fp_state::Scope scope(p.state);
      cases::outputs<cases::Library>(in, got);
    }
    for (int op = 0; op < cases::kOps; ++op) {
      const std::string diff = cases::first_difference(want[op], got[op]);
      if (!diff.empty()) {
        return std::string(cases::op_name[op]) + " (" + p.how + "): " + diff;
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
