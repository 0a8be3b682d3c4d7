// The library as it runs by default (the reordered kernels, on the x87 unit
// where there is one) and, on x86, as it runs for a host that set 53-bit
// precision (on the vector unit's fused multiply-add where the processor has
// it), against the plain kernels on the integer arithmetic, compiled into
// this test: every numeric result, bit for bit, NaN payloads included, on
// seeded random cases of every family, orders 0 to 40 and a few up to 130,
// and on products of every small rectangular shape.
//
// TOVRA_DIFF_CASES sets the number of cases, TOVRA_DIFF_SEED the seed.
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include "arith.h"
#include "cases.h"
#include "kernels.h"

namespace {

using cases::u64;
typedef tovra_detail::Soft A;

struct Plain {
  static void sum(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { tovra_detail::add<A>(a, b, r); }
  static void sub(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { tovra_detail::subtract<A>(a, b, r); }
  static void scale(const Matrix_d &a, u64 s, Matrix_d &r) {
    double d;
    A::put(d, s);
    tovra_detail::scale<A>(a, d, r);
  }
  static void product(const Matrix_d &a, const Matrix_d &b, Matrix_d &r) { tovra_detail::multiply<A>(a, b, r); }
  static void matvec(const Matrix_d &a, const Vector<double> &x, Vector<double> &y) {
    tovra_detail::multiply<A>(a, x, y);
  }
  static bool equal(const Matrix_d &a, const Matrix_d &b) { return tovra_detail::equal<A>(a, b); }
  static int lu(const Matrix_d &a, Matrix_d &f, Seq<unsigned int> &p, double &parity) {
    Vector<double> scale(a.SizeRow());
    f = a;
    parity = 1.0;
    return tovra_detail::factor<A>(f, p, parity, scale);
  }
  static void lus(const Matrix_d &f, Seq<unsigned int> &p, Vector<double> &x) {
    tovra_detail::substitute<A>(f, p, x);
  }
  static u64 det(const Matrix_d &a) {
    Matrix_d f(a.SizeRow(), a.SizeRow());
    Seq<unsigned int> p(a.SizeRow());
    double parity, d;
    lu(a, f, p, parity);
    tovra_detail::determinant<A>(f, parity, d);
    return cases::bits_of(d);
  }
  static Matrix_d inv(const Matrix_d &a) {
    Matrix_d f(a.SizeRow(), a.SizeRow()), x(a.SizeRow(), a.SizeRow());
    Seq<unsigned int> p(a.SizeRow());
    Vector<double> col(a.SizeRow());
    double parity;
    lu(a, f, p, parity);
    tovra_detail::invert<A>(f, p, x, col);
    return x;
  }
  static bool singular(const Matrix_d &a) {
    Matrix_d f(a.SizeRow(), a.SizeRow());
    Seq<unsigned int> p(a.SizeRow());
    double parity;
    return lu(a, f, p, parity) == 0;
  }
};

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

u64 env(const char *name, u64 fallback) {
  const char *v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 0) : fallback;
}

TEST(Differential, LibraryMatchesThePlainKernelsOnIntegers) {
  const u64 seed = env("TOVRA_DIFF_SEED", 1);
  const unsigned count = static_cast<unsigned>(env("TOVRA_DIFF_CASES", 600));
  int failures = 0;
  for (unsigned i = 0; i < count && failures < 5; ++i) {
    const cases::Family f = static_cast<cases::Family>(i % cases::kFamilies);
    const unsigned n = i % 50 == 7 ? 64 + i % 67 : i % 3 == 0 ? i % 41 : i % 10;
    const cases::Inputs in = cases::generate(f, n, seed * 1000003 + i);
    cases::Outputs want;
    cases::outputs<Plain>(in, want);
    for (bool precision53 : {false, true}) {
      cases::Outputs got;
      library(in, got, precision53);
      for (int op = 0; op < cases::kOps; ++op) {
        const std::string diff = cases::first_difference(want[op], got[op]);
        if (!diff.empty() && ++failures <= 5) {
          ADD_FAILURE() << "TOVRA_DIFF_SEED=" << seed << " case " << i << " (" << cases::family_name[f]
                        << ", order " << n << (precision53 ? ", 53-bit precision" : "")
                        << "): " << cases::op_name[op] << ": " << diff;
        }
      }
    }
  }
}

// Products of rectangular shapes, each dimension 0 to 12, against the plain
// loops: every row tile and its remainder.
TEST(Differential, RectangularProducts) {
  std::mt19937_64 g(env("TOVRA_DIFF_SEED", 1));
  for (int i = 0; i < 300; ++i) {
    const unsigned r = g() % 13, k = g() % 13, c = g() % 13;
    const cases::Inputs in = cases::generate(static_cast<cases::Family>(i % cases::kFamilies), 13, g());
    Matrix_d a(r, k), b(k, c), want(r, c), got(r, c);
    double sink;
    for (unsigned e = 0; e < 13 * 12; ++e) {
      A::put(e / 13 < r && e % 13 < k ? a(e / 13, e % 13) : sink, in.a[e]);
      A::put(e / 13 < k && e % 13 < c ? b(e / 13, e % 13) : sink, in.b[e]);
    }
    Plain::product(a, b, want);
    ASSERT_TRUE(a.Molt(got, b));
    std::vector<u64> w, o;
    cases::append(w, want), cases::append(o, got);
    ASSERT_EQ("", cases::first_difference(w, o)) << r << "x" << k << " times " << k << "x" << c;
  }
}

} // namespace
