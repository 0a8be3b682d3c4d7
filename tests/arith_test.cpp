// SPDX-License-Identifier: MIT
// The integer arithmetic held to the x87 unit itself: seeded random steps
// from every class of operand, each function against the same step on the
// hardware (operands loaded into registers first, result stored through an
// 8-byte slot). Every build also folds all results into one hash recorded on
// x86, so that targets without an x87 unit prove the same bits. Built with
// -DTOVRA_ARITH_STEPS=n it runs n steps instead (the hash is then only shown).
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "arith/fast_fma.h"
#include "arith/soft_x87.h"

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

// One operand: a zero, subnormal, infinity, quiet or signalling NaN, a
// neighbour of `near`, or a normal number; normals near either end of the
// range, or placed relative to `near` (its exponent shifted by up to 70
// binades, so that sums cancel and ties land on the 64-bit and 53-bit grids,
// or so that a product or quotient with it lands at either end). Short and
// sparse significands make exact results that sit on the rounding points;
// long runs of ones make roundings that carry.
u64 draw(u64 &g, u64 near) {
  const u64 r = next(g), sign = r & sign_bit, frac = (u64(1) << 52) - 1, shape = r >> 8 & 3, kind = r % 14;
  u64 f = next(g) >> 12;
  f = shape == 0   ? f & ~u64(0) << (r >> 10) % 53
      : shape == 1 ? (u64(1) << (r >> 10) % 64 | (r >> 16 & 1) << (r >> 17) % 52) & frac
      : shape == 2 ? frac ^ f >> (r >> 10) % 64
                   : f;
  const u64 fixed[] = {sign,
                       sign | f >> (r >> 24) % 52,
                       sign | inf,
                       sign | inf | quiet | f,
                       sign | inf | ((f & ~quiet) == 0 ? 1 : f & ~quiet),
                       (near ^ sign) + (r >> 32) % 7 - 3};
  if (kind < 6) {
    return fixed[kind];
  }
  const int ne = static_cast<int>(near >> 52 & 0x7ff), shift = static_cast<int>((r >> 32) % 141) - 70;
  const int edge =
      r >> 24 & 1 ? static_cast<int>((r >> 25) % 64) - 60 : 2040 + static_cast<int>((r >> 25) % 12);
  int e = kind == 6 ? (edge < 0 ? edge + 61 : edge - 6) : static_cast<int>((r >> 32) % 2046) + 1;
  if (kind > 7 && ne != 0 && ne != 2047) {
    f = kind == 9 ? (near & frac) ^ f >> (r >> 40) % 64 : f;
    e = kind == 10 ? edge - ne + 1023 : kind == 11 ? ne - edge + 1023 : ne + shift;
    e = e < 1 ? 1 : e > 2046 ? 2046 : e;
  }
  return sign | static_cast<u64>(e) << 52 | f;
}

#if defined(__i386__) || defined(__x86_64__)
#define X87_STEP(name, code)                                                                                 \
  u64 name(u64 s, u64 a, u64 b) {                                                                            \
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

#if TOVRA_HAVE_FAST_FMA
namespace fast = tovra_detail::fast;

// Element-wise step k (sum, difference, product, quotient: element_loop.h)
// of element a and operand b, by the integers; the product takes b first,
// as the factor of a row.
u64 soft_element(int k, u64 a, u64 b) {
  return k == 0   ? soft::sum(a, b)
         : k == 1 ? soft::difference(a, b)
         : k == 2 ? soft::product(b, a)
                  : soft::quotient(a, b);
}

// The fused multiply-add path's element-wise row k on n elements of x and y
// (y[0] the factor or divisor of products and quotients), into x itself
// (alias 1), y (alias 2, sums and differences) or a row of its own.
typedef void (*ElementRow)(double *, const double *, const double *, unsigned);
const ElementRow element_rows[] = {&tovra_detail::Fma::elements<tovra_detail::sum_elements>,
                                   &tovra_detail::Fma::elements<tovra_detail::difference_elements>,
                                   &tovra_detail::Fma::elements<tovra_detail::product_elements>,
                                   &tovra_detail::Fma::elements<tovra_detail::quotient_elements>};
void fast_elements(int k, const u64 *x, const u64 *y, int n, int alias, u64 *out) {
  double a[17], b[17], res[17];
  std::memcpy(a, x, n * sizeof *a), std::memcpy(b, y, n * sizeof *b);
  double *const to = alias == 1 ? a : alias == 2 && k < 2 ? b : res;
  element_rows[k](to, a, b, static_cast<unsigned>(n));
  std::memcpy(out, to, n * sizeof *to);
}

u64 fast_element(int k, u64 a, u64 b, int alias) {
  u64 r;
  fast_elements(k, &a, &b, 1, alias, &r);
  return r;
}

// The fused multiply-add path against the integer steps on one set of
// operands: its row update on a stretch of one element (every tier of it is
// exact), each of its single steps, and the pivot test with best as the
// best so far. "" when all give the integer steps' bits, else the first
// that does not, with the operands.
std::string fast_differs(u64 s, u64 a, u64 b, u64 best) {
  if (!tovra_detail::fma_state_is_default()) {
    return "";
  }
  u64 row[2];
  for (int k = 0; k < 2; ++k) {
    double sum, u;
    std::memcpy(&sum, &s, sizeof sum), std::memcpy(&u, &b, sizeof u);
    double *const d[] = {&sum};
    k == 0 ? tovra_detail::Fma::update_rows<1, tovra_detail::add_terms>(d, &a, &u, 0, 1)
           : tovra_detail::Fma::update_rows<1, tovra_detail::subtract_terms>(d, &a, &u, 0, 1);
    std::memcpy(&row[k], &sum, sizeof sum);
  }
  u64 elems[4];
  for (int k = 0; k < 4; ++k) {
    elems[k] = fast_element(k, a, b, 0);
  }
  u64 fast_best = best, soft_best = best;
  const bool fast_ge = fast::scaled_ge(a, b, fast_best), soft_ge = soft::scaled_ge(a, b, best, &soft_best);
  const u64 got[] = {row[0],
                     row[1],
                     elems[0],
                     elems[1],
                     elems[2],
                     elems[3],
                     fast::sum(a, b),
                     fast::difference(a, b),
                     fast::product(a, b),
                     fast::quotient(a, b),
                     fast::add_product(s, a, b),
                     fast::sub_product(s, a, b),
                     fast_ge ? fast_best : 0x5eed};
  const u64 want[] = {soft::add_product(s, a, b),
                      soft::sub_product(s, a, b),
                      soft_element(0, a, b),
                      soft_element(1, a, b),
                      soft_element(2, a, b),
                      soft_element(3, a, b),
                      soft::sum(a, b),
                      soft::difference(a, b),
                      soft::product(a, b),
                      soft::quotient(a, b),
                      soft::add_product(s, a, b),
                      soft::sub_product(s, a, b),
                      soft_ge ? soft_best : 0x5eed};
  static const char *const names[] = {
      "row add",          "row sub",           "elements sum", "elements difference",
      "elements product", "elements quotient", "sum",          "difference",
      "product",          "quotient",          "add_product",  "sub_product",
      "scaled_ge"};
  for (int k = 0; k < 13; ++k) {
    if (got[k] != want[k]) {
      char text[128];
      std::snprintf(text, sizeof text,
                    "%s s=%016" PRIx64 " a=%016" PRIx64 " b=%016" PRIx64 " best=%016" PRIx64, names[k], s, a,
                    b, best);
      return text;
    }
  }
  return "";
}

// Operands {s, a, b, best} on which a step's fast answer is not the x87
// one, so that the step must hand over to the integers (found by search,
// too rare among the draws): differences that leave h's binade in the row
// update's constructive method (h a power of two, the exact value just
// below it, or a product that rounds up to a power of two from below); sums, differences, products and
// quotients whose exact value rounds to 64 bits onto a midpoint of doubles; accumulations likewise, one with
// a tiny operand; pivot tests whose product, rounded once, equals best while the exact one lies just below it
// (once below the subnormals), and whose 64-bit product rounds onto a midpoint.
const u64 hand_over[][4] = {{0x40a2c59ff7edb71aULL, 0x3f93282000000000ULL, 0x40d28584236931b2ULL, 0},
                            {0x42e0142638061b26ULL, 0x4124933000000000ULL, 0x412f5685b04df2c0ULL, 0},
                            {0x42700620709a3827ULL, 0x40bd17ac32d1e04fULL, 0x410af4c3c889d247ULL, 0},
                            {0x3f20c261c45514f3ULL, 0x3ed84f0000000000ULL, 0x3feffc576e62cdfaULL, 0},
                            {0x3ff0000000000001ULL, 0x3ff54e9a3fea98abULL, 0x3fe80794dc728d4bULL, 0},
                            {0, 0xc5b4dd3484f06200ULL, 0xc260008000000001ULL, 0},
                            {0, 0xba9ab5b876884500ULL, 0xb740000000000002ULL, 0},
                            {0, 0x4276b174bd2fb000ULL, 0x3ece1cd00f92a026ULL, 0},
                            {0, 0xc187c743be57c72eULL, 0xc28cc50db8000000ULL, 0},
                            {0xc18e3091e3e72108ULL, 0x40bc0ef2d0632b4eULL, 0xc0c136b237f22000ULL, 0},
                            {0xc18e3091e3e72108ULL, 0xc0bc0ef2d0632b4eULL, 0xc0c136b237f22000ULL, 0},
                            {0x0005ad5b3b352b38ULL, 0x800006bb456b7079ULL, 0xc06afce480000000ULL, 0},
                            {0, 0x3ec258b937601bb5ULL, 0x4007ad2200000000ULL, 0x3edb26108eca7cacULL},
                            {0, 0x0270008000002000ULL, 0x85e12f7567f58000ULL, 0x8000000000000000ULL},
                            {0, 0x4089087a6c66597aULL, 0x3f3178ed82000000ULL, 0}};

TEST(SoftX87, FusedMultiplyAddHandsOverWhereItMust) {
  for (const auto &t : hand_over) {
    EXPECT_EQ("", fast_differs(t[0], t[1], t[2], t[3]));
  }
}

// Where the layer without a fused multiply-add splits its operands: on
// either side of the split's overflow (a * (2^27 + 1) is infinite from
// 0x1.ffffffcp996 on), with products that overflow in a partial product
// only, products just under and over a power of two, and halves whose
// partial products fill all 52 bits; each operand as the row's multiplier
// and as the element's, with sums that cancel the product to a few units,
// double it, or are zeros of either sign.
TEST(SoftX87, FusedMultiplyAddAtTheSplitsEdges) {
  const u64 wide[] = {0x7e3ffffffbffffffULL, 0x7e3ffffffc000000ULL, 0x3ff0000000000001ULL,
                      0x3fefffffffffffffULL, 0x3ff7ffffe0000001ULL, 0x5c10000000000001ULL};
  const u64 other[] = {0x0210000000000001ULL, 0x41a0000010000000ULL, 0x3fefffffffffffffULL,
                       0x3ff7ffffe0000001ULL, 0x23d0000000000000ULL};
  for (u64 x : wide) {
    for (u64 y : other) {
      const u64 p = soft::product(x, y);
      const u64 sums[] = {p - 2, p - 1, p, p + 1, p + 2, p ^ sign_bit, 0, sign_bit};
      for (u64 s : sums) {
        EXPECT_EQ("", fast_differs(s, x, y, 0));
        EXPECT_EQ("", fast_differs(s, y, x, 0));
      }
    }
  }
}

// Below the range where Dekker's product is exact (a build without a fused
// multiply-add): operands whose binades add up to less than -970, with a
// product, quotient or scaled pivot near the bottom of the normal range,
// where the halves' partial products fall below the subnormals' grid and
// the low part comes out a unit off: unguarded, each check would pass a
// result a midpoint away from the x87 one. {a, b, best}: products, then
// quotients, then pivot tests whose best is the product rounded once, or a
// neighbour (the table above has one whose product underflows to -0).
TEST(SoftX87, FusedMultiplyAddBelowTheHalvesRange) {
  const u64 cases[][3] = {{0x1ec3a5bd9d529472ULL, 0x21ceb864c9403e69ULL, 0},
                          {0x21bff1b766dd9dbaULL, 0x1ed2183f69aaec87ULL, 0},
                          {0x2321f784598988c7ULL, 0x1d59eb6876d45e66ULL, 0},
                          {0x004ecb5774f1ac04ULL, 0x3f58145fd29d416dULL, 0},
                          {0x00bef0e3756552f3ULL, 0x3fa0684fb4bc2894ULL, 0},
                          {0x00a7881e4aeef29bULL, 0x40126cf27f5b7cb9ULL, 0},
                          {0x21512a3fedd617e8ULL, 0x1ec302538fb0f380ULL, 0x002464aad7bf0a45ULL},
                          {0x234279f81cc2f29bULL, 0x1cd8d1aea8486f72ULL, 0x002ca91714daa9eeULL},
                          {0x1ea580874cd92e36ULL, 0x2170660143b75c09ULL, 0x0026099c5e6c2bd7ULL}};
  for (const auto &t : cases) {
    EXPECT_EQ("", fast_differs(0, t[0], t[1], t[2]));
  }
}

// The element-wise rows on rows of 1 to 17 elements (every tail of every
// layer), into a row of their own, over their first operand and over their
// second, against the integer steps element by element: every pair of
// directed operands of either sign (zeros, subnormals, the smallest normal,
// binade edges, the ends of the operand range of the layer without a fused
// multiply-add, the largest doubles, infinities, NaNs with payloads, quiet
// and signalling, 1 + 2^-53 + 2^-64 and its parts, whose sum rounds to 64
// bits onto a midpoint, and the operands of the hand-over cases), then
// seeded draws.
TEST(SoftX87, FusedMultiplyAddElementRows) {
  if (!tovra_detail::fma_state_is_default()) {
    return;
  }
  // The last seven: products and quotients (a, d) that the layer without a
  // fused multiply-add gets wrong with an operand out of its range (the
  // factor or the element, the divisor or the quotient).
  std::vector<u64> pool = {
      0x0000000000000000ULL, 0x0000000000000001ULL, 0x000fffffffffffffULL, 0x0010000000000000ULL,
      0x3ff0000000000000ULL, 0x3ff0000000000001ULL, 0x3fefffffffffffffULL, 0x3ca0020000000000ULL,
      0x23d0000000000000ULL, 0x23cfffffffffffffULL, 0x5c10000000000000ULL, 0x5c10000000000001ULL,
      0x7fefffffffffffffULL, 0x7fd5555555555555ULL, 0x7ff0000000000000ULL, 0x7ff8000000000123ULL,
      0x7ff0000000000abcULL, 0x2405e724a6027e7dULL, 0x1c52e5e98a4d1878ULL, 0x1c1d19b2b865aa2eULL,
      0x2437b6196449289aULL, 0x00675b6c02be9c57ULL, 0x23fd39b50afe4896ULL, 0x1c6d39b50afe4896ULL};
  for (const auto &t : hand_over) {
    pool.push_back(t[1]), pool.push_back(t[2]);
  }
  for (size_t i = 0, n = pool.size(); i < n; ++i) {
    pool.push_back(pool[i] ^ sign_bit);
  }
  std::vector<u64> x, y;
  for (u64 d : pool) {
    for (u64 a : pool) {
      x.push_back(a), y.push_back(d);
    }
  }
  u64 g = 20261207;
  for (int i = 0; i < 60000; ++i) {
    x.push_back(draw(g, y.back())), y.push_back(draw(g, x.back()));
  }
  for (size_t k = 0, row = 0; k < x.size(); k += row++ % 17 + 1) {
    const int n = static_cast<int>(std::min<size_t>(row % 17 + 1, x.size() - k)), alias = row / 17 % 3;
    for (int op = 0; op < 4; ++op) {
      u64 got[17];
      fast_elements(op, &x[k], &y[k], n, alias, got);
      for (int j = 0; j < n; ++j) {
        const u64 b = op < 2 ? y[k + j] : y[k], want = soft_element(op, x[k + j], b);
        if (got[j] != want) {
          ADD_FAILURE() << "row " << op << " of " << n << " into " << alias << ", element " << j << std::hex
                        << ": " << x[k + j] << ", " << b << " gives " << got[j] << ", the integers " << want;
          return;
        }
      }
    }
  }
}

// The product of rows by a vector on the fast path (Fma::row_sums, in the
// kernel's blocks of 16 rows, each row an allocation of its own) against
// each row's chain of integer steps from +0.0: "" when every sum has the
// integer bits, else the first row that does not.
std::string row_sums_differ(const std::vector<std::vector<double>> &a, const std::vector<double> &x) {
  if (!tovra_detail::fma_state_is_default()) {
    return "";
  }
  const unsigned rows = a.size(), n = x.size();
  std::vector<const double *> row;
  for (const auto &r : a) {
    row.push_back(r.data());
  }
  std::vector<double> y(rows);
  for (unsigned r = 0; r < rows; r += 16) {
    tovra_detail::Fma::row_sums([&](unsigned t) { return row[r + t]; }, rows - r < 16 ? rows - r : 16,
                                x.data(), n, y.data() + r);
  }
  for (unsigned r = 0; r < rows; ++r) {
    u64 s = 0, got;
    for (unsigned c = 0; c < n; ++c) {
      u64 e, f;
      std::memcpy(&e, &a[r][c], sizeof e), std::memcpy(&f, &x[c], sizeof f);
      s = soft::add_product(s, e, f);
    }
    std::memcpy(&got, &y[r], sizeof got);
    if (got != s) {
      return "row " + std::to_string(r) + " of " + std::to_string(rows) + " x " + std::to_string(n);
    }
  }
  return "";
}

double as_double(u64 u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

// Every block of 1 to 17 rows (the vectors full, partial or empty, a block
// of 16 and one of a single row), rows of 1 to 17 elements and across the
// stretches the rows are copied in. Each element is drawn near the value
// that cancels its row's sum so far (draw's neighbours, shifted binades,
// long and short significands): the steps land on ties, binade edges,
// subnormal and zero sums, and overflow; infinities and NaNs are drawn
// rarely, so that most rows stay finite long enough to cancel.
TEST(SoftX87, FastRowSumsAsTheIntegerSteps) {
  u64 g = 20261207;
  const unsigned lengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 31, 32, 33, 65};
  for (unsigned rows = 1; rows <= 17; ++rows) {
    for (unsigned n : lengths) {
      std::vector<std::vector<double>> a(rows, std::vector<double>(n));
      std::vector<double> x(n);
      std::vector<u64> s(rows, 0);
      u64 xc = 0x3ff0000000000000ULL;
      for (unsigned c = 0; c < n; ++c) {
        do {
          xc = draw(g, xc);
        } while ((xc << 1) >= (inf << 1) && next(g) % 16 != 0);
        x[c] = as_double(xc);
        for (unsigned r = 0; r < rows; ++r) {
          u64 e;
          do {
            e = draw(g, soft::quotient(s[r] ^ sign_bit, xc));
          } while ((e << 1) >= (inf << 1) && next(g) % 16 != 0);
          a[r][c] = as_double(e);
          s[r] = soft::add_product(s[r], e, xc);
        }
      }
      ASSERT_EQ("", row_sums_differ(a, x));
    }
  }
}

// The steps the fast path must hand over (the table above), taken by the
// row sums in every lane of blocks of 1 to 17 rows: the sum s reached in
// column 0 (times 1), then a and b as the element and the common factor,
// and the other way round, with a as it is and negated (the row sums add
// s + a b, where the elimination's cases subtract); the other rows drawn at
// random.
TEST(SoftX87, FastRowSumsHandOverInEveryLane) {
  u64 g = 7;
  for (const auto &t : hand_over) {
    for (int order = 0; order < 4; ++order) {
      const u64 ab[] = {t[1] ^ (order < 2 ? 0 : sign_bit), t[2]};
      for (unsigned rows = 1; rows <= 17; ++rows) {
        for (unsigned p = 0; p < rows; ++p) {
          std::vector<std::vector<double>> a(rows, std::vector<double>(2));
          for (auto &r : a) {
            r = {as_double(draw(g, t[0])), as_double(draw(g, t[1]))};
          }
          a[p] = {as_double(t[0]), as_double(ab[order & 1])};
          ASSERT_EQ("", row_sums_differ(a, {1.0, as_double(ab[~order & 1])})) << "lane " << p;
        }
      }
    }
  }
}
#endif

// Roundings that carry out of an all-ones significand, into the smallest
// normal and into infinity: too rare among the draws. Steps 0 and 1 use them.
const u64 carries[][3] = {{0x8000000000000000ULL, 0x001fffffffffffffULL, 0xbfe0000000000000ULL},
                          {0x7fefffffffffffffULL, 0x4008000000000000ULL, 0x7fd5555555555555ULL}};

TEST(SoftX87, EveryStepAsTheUnitGivesIt) {
  u64 g = 20240611, hash = 0, prev = 0x3ff0000000000000ULL;
  for (long i = 0; i < TOVRA_ARITH_STEPS; ++i) {
    u64 a = draw(g, prev), b = draw(g, a), s = draw(g, soft::product(a, b));
    if (i < 2) {
      s = carries[i][0], a = carries[i][1], b = carries[i][2];
    }
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
    prev = got[i % n]; // results come back as operands of later steps
#if TOVRA_HAVE_FAST_FMA
    ASSERT_EQ("", fast_differs(s, a, b, best)) << "step " << i;
#endif
#if defined(__i386__) || defined(__x86_64__)
    static const char *const names[] = {"sum",         "difference", "product", "quotient", "add_product",
                                        "sub_product", "scaled_ge",  "compare", "magnitude"};
    double x, y;
    std::memcpy(&x, &a, sizeof x), std::memcpy(&y, &b, sizeof y);
    u64 x87_rounded = 0;
    const bool x87_ge = x87_scaled_ge(a, b, best, &x87_rounded);
    // Unlike the unit's load, clearing the sign leaves a signalling NaN as it is.
    const bool snan_a = (a << 1) > (inf << 1) && !(a & quiet);
    const u64 want[] = {x87_sum(0, a, b),
                        x87_difference(0, a, b),
                        x87_product(0, a, b),
                        x87_quotient(0, a, b),
                        x87_add_product(s, a, b),
                        x87_sub_product(s, a, b),
                        x87_ge ? x87_rounded : 0x5eed,
                        u64(x > y) | u64(x == y) << 1 | u64(x == 0) << 2,
                        x87_magnitude(0, a, 0) ^ (snan_a ? quiet : 0)};
    for (int k = 0; k < n; ++k) {
      if (got[k] != want[k]) {
        ADD_FAILURE() << "step " << i << ", " << names[k] << std::hex << ": s=" << s << " a=" << a
                      << " b=" << b << " best=" << best << " gives " << got[k] << ", the x87 unit "
                      << want[k];
        return;
      }
    }
#endif
  }
  if (TOVRA_ARITH_STEPS == 300000) {
    EXPECT_EQ(0xc7cdc377f0ffa8c4ULL, hash) << std::hex << "hash " << hash;
  }
  std::printf("hash of %ld steps: 0x%016" PRIx64 "\n", static_cast<long>(TOVRA_ARITH_STEPS), hash);
}

} // namespace
