// The reference model checked on its own: against the x87 unit on random
// single steps, and against the worked results the library documents.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "model/linalg.h"
#include "model/x87.h"
#include "support.h"

namespace {

using model::Mat;
using model::Vec;

Mat M(std::initializer_list<std::initializer_list<double>> rows) {
  Mat m(static_cast<unsigned>(rows.size()), rows.size() ? static_cast<unsigned>(rows.begin()->size()) : 0);
  unsigned i = 0;
  for (const auto &row : rows) {
    for (double x : row) {
      m.a[i++] = x;
    }
  }
  return m;
}

void expect_mat(const Mat &expected, const Mat &actual) {
  ASSERT_EQ(expected.r, actual.r);
  ASSERT_EQ(expected.c, actual.c);
  for (unsigned i = 0; i < expected.a.size(); ++i) {
    EXPECT_BITS(expected.a[i], actual.a[i]) << "element " << i;
  }
}

// Row i: the solution of the factorised 2x2 system for the unit vector e_i.
Mat unit_solutions(const model::Lu &d) {
  Mat out(2, 2);
  for (unsigned i = 0; i < 2; ++i) {
    Vec e(2, 0.0);
    e[i] = 1.0;
    model::lus(d.f, d.perm, e);
    out(i, 0) = e[0];
    out(i, 1) = e[1];
  }
  return out;
}

// The hardware's answer for each kind of step (add, sub, mul, div, madd,
// msub): operands widened to long double (the x87 format on both targets),
// the result kept in extended and then stored to a double. volatile keeps
// the product's and the result's stores real.
double hw(int op, double s, double a, double b) {
  const long double x = a;
  volatile long double p = x * b;
  const long double r[] = {x + b, x - b, p, x / b, p + s, s - p};
  volatile double stored = static_cast<double>(r[op]);
  return stored;
}

double soft(int op, double s, double a, double b) {
  double (*const two[])(double, double) = {model::add, model::sub, model::mul, model::div};
  return op < 4 ? two[op](a, b) : op == 4 ? model::madd(s, a, b) : model::msub(s, a, b);
}

// Operands from every class: zeros, subnormals, normals near both ends,
// infinities, NaN, and pairs close enough to cancel.
double operand(std::mt19937_64 &g) {
  const std::uint64_t u = g();
  switch (u % 8) {
  case 0:
    return t::from_bits(u >> 3 & 0x000fffffffffffffull); // subnormal or zero
  case 1:
    return std::ldexp(1.0 + (u >> 12) * 0x1p-52, static_cast<int>(u % 2100) - 1074 - 50) * (u & 64 ? -1 : 1);
  case 2:
    return static_cast<double>(static_cast<std::int64_t>(u >> 40) - (1 << 23));
  case 3: {
    const double special[] = {0.0, -0.0, 1.0, -1.0, INFINITY, -INFINITY, NAN, 1e-20};
    return special[u >> 61];
  }
  default:
    return t::from_bits((u & 0x800fffffffffffffull) | (((u >> 52) % 200 + 923) << 52));
  }
}

TEST(Model, AgreesWithTheX87UnitOnRandomSteps) {
  std::mt19937_64 g(20260105);
  for (int i = 0; i < 300000; ++i) {
    const int op = i % 6;
    const double s = operand(g), a = operand(g);
    double b = operand(g);
    if (i % 3 == 0) { // operands of nearby magnitude, where cancellation and ties live
      b = t::from_bits(t::bits(a) ^ (g() & 0x80000000000fffffull));
    }
    const double want = hw(op, s, a, b), got = soft(op, s, a, b);
    if (!(want != want && got != got) && t::bits(want) != t::bits(got)) {
      FAIL() << "op " << op << " s " << t::show(s) << " a " << t::show(a) << " b " << t::show(b) << ": x87 "
             << t::show(want) << ", model " << t::show(got);
    }
  }
}

TEST(Model, CountsDoubleRounding) {
  const unsigned long long before = model::double_rounding_steps();
  // 1 + 2^-53 + 2^-105: extended rounding lands on the midpoint, which then
  // goes to the even 1.0, while one rounding gives 1 + 2^-52.
  EXPECT_BITS(1.0, model::add(1.0, 0x1.0000000000080p-53));
  EXPECT_EQ(before + 1, model::double_rounding_steps());
  EXPECT_BITS(3.0, model::add(1.0, 2.0));
  EXPECT_EQ(before + 1, model::double_rounding_steps());
}

TEST(Model, WorkedArithmetic) {
  const Mat a = M({{1, 2}, {3, 4}}), b = M({{5, 6}, {7, 8}});
  expect_mat(M({{6, 8}, {10, 12}}), model::sum(a, b));
  expect_mat(M({{-4, -4}, {-4, -4}}), model::sub(a, b));
  expect_mat(M({{-1, -2}, {-3, -4}}), model::neg(a));
  expect_mat(M({{19, 22}, {43, 50}}), model::product(a, b));
  expect_mat(M({{23, 34}, {31, 46}}), model::product(b, a));
  expect_mat(M({{2, 4}, {6, 8}}), model::scale(a, 2.0));
  const Vec y = model::product(a, Vec{1, 1});
  EXPECT_BITS(3.0, y[0]);
  EXPECT_BITS(7.0, y[1]);
  expect_mat(M({{0.0}}), model::product(M({{1e16, 1.0, -1e16}}), M({{1}, {1}, {1}})));
  expect_mat(M({{-0.0}}), model::neg(M({{0.0}})));
  expect_mat(Mat(2, 3, 0.0), model::product(Mat(2, 0), Mat(0, 3)));
  EXPECT_TRUE(std::isnan(model::scale(M({{INFINITY}}), 0.0).a[0]));
}

TEST(Model, WorkedFactorisations) {
  model::Lu d = model::lu(M({{1, 2}, {3, 4}}));
  EXPECT_EQ(1, d.code);
  EXPECT_EQ((std::vector<unsigned>{1, 1}), d.perm);
  EXPECT_BITS(-1.0, d.parity);
  expect_mat(M({{3.0, 4.0}, {0.3333333333333333, 0.6666666666666667}}), d.f);
  expect_mat(M({{-1.9999999999999998, 1.4999999999999998}, {0.9999999999999999, -0.4999999999999999}}),
             unit_solutions(d)); // the division's two roundings

  d = model::lu(M({{1, 1}, {1, 1}}));
  EXPECT_EQ(1, d.code);
  EXPECT_EQ((std::vector<unsigned>{1, 1}), d.perm);
  EXPECT_BITS(1e-20, d.f(1, 1));

  d = model::lu(M({{4, 3}, {6, 3}})); // 6 x (1/6 rounded) is 1 - 2^-54 < 1: no exchange
  EXPECT_EQ((std::vector<unsigned>{0, 1}), d.perm);
  EXPECT_BITS(1.0, d.parity);
  expect_mat(M({{4, 3}, {1.5, -1.5}}), d.f);
  expect_mat(M({{-0.5, 1.0}, {0.5, -0.6666666666666666}}), unit_solutions(d));

  d = model::lu(M({{0, 0}, {1, 1}}));
  EXPECT_EQ(0, d.code);
  expect_mat(M({{0, 0}, {1, 1}}), d.f);
  EXPECT_EQ(0, model::lu(M({{0, NAN}, {1, 1}})).code);
  EXPECT_EQ(1, model::lu(Mat(0, 0)).code);
  EXPECT_EQ(-1, model::lu(Mat(2, 3)).code);
}

TEST(Model, WorkedDeterminantsAndInverses) {
  EXPECT_BITS(1.0, model::det(Mat(0, 0)));
  EXPECT_BITS(-2.0, model::det(M({{1, 2}, {3, 4}})));
  EXPECT_BITS(-6.0, model::det(M({{4, 3}, {6, 3}})));
  EXPECT_BITS(-16.0, model::det(M({{2, 1, 1}, {4, -6, 0}, {-2, 7, 2}})));
  EXPECT_BITS(-1e-20, model::det(M({{1, 1}, {1, 1}})));
  EXPECT_BITS(-2e-20, model::det(M({{1, 2}, {2, 4}})));
  EXPECT_BITS(0.0, model::det(M({{2, 0}, {0, 0}})));
  EXPECT_BITS(-0.0, model::det(M({{-2, 1}, {0, 0}})));
  EXPECT_TRUE(model::singular(M({{2, 0}, {0, 0}})));
  EXPECT_FALSE(model::singular(M({{1, 1}, {1, 1}})));
  EXPECT_FALSE(model::singular(Mat(2, 3)));

  expect_mat(M({{0.2}}), model::inv(M({{5}})));
  expect_mat(M({{-1.9999999999999998, 0.9999999999999999}, {1.4999999999999998, -0.4999999999999999}}),
             model::inv(M({{1, 2}, {3, 4}})));
  expect_mat(M({{-0.5, 0.5}, {1.0, -0.6666666666666666}}), model::inv(M({{4, 3}, {6, 3}})));
  expect_mat(M({{0.75, -0.3125, -0.375}, {0.5, -0.375, -0.25}, {-1, 1, 1}}),
             model::inv(M({{2, 1, 1}, {4, -6, 0}, {-2, 7, 2}})));
  expect_mat(M({{-1e20, 1e20}, {1e20, -1e20}}), model::inv(M({{1, 1}, {1, 1}})));
}

} // namespace
