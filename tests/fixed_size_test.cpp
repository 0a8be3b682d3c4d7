// The fixed-size vectors and matrices: their shapes, the worked 2x2 values,
// the type every expression keeps, refused assignments and independent copies.
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

#include "support.h"

namespace {

const Matrix2x2_d a2 = [] {
  Matrix2x2_d m;
  return t::fill(m, {{1, 2}, {3, 4}}), m;
}();
const Matrix2x2_d b2 = [] {
  Matrix2x2_d m;
  return t::fill(m, {{5, 6}, {7, 8}}), m;
}();

bool quiet_nan(double d) { return std::isnan(d) && (t::bits(d) & (1ull << 51)) != 0; }

// Values whose sums and products need rounding, so that a copy or an
// assignment through arithmetic would show.
template <class M> M thirds(double shift) {
  M m;
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      m(r, c) = (1.0 + r * m.SizeCol() + c + shift) / 3.0;
    }
  }
  return m;
}

// Expressions keep their fixed type; only the scalar on the right exists.
template <class M, class V> struct Typing {
  static_assert(std::is_same<decltype(std::declval<M>() + std::declval<M>()), M>::value, "+");
  static_assert(std::is_same<decltype(std::declval<M>() - std::declval<M>()), M>::value, "-");
  static_assert(std::is_same<decltype(-std::declval<M>()), M>::value, "unary -");
  static_assert(std::is_same<decltype((std::declval<M>() + std::declval<M>()) * std::declval<M>()), M>::value,
                "(a + b) * a");
  static_assert(std::is_same<decltype(std::declval<M>() * std::declval<V>()), V>::value, "a * v");
  static_assert(std::is_same<decltype(std::declval<M>() * 2.0), M>::value, "a * s");
  static_assert(std::is_same<decltype(std::declval<M &>() = std::declval<M>()), bool>::value, "a = b");
  static_assert(std::is_same<decltype(std::declval<M &>() = std::declval<Matrix_d>()), bool>::value, "a = m");
  static_assert(std::is_same<decltype(std::declval<M>().trasp()), Matrix_d>::value, "inherited trasp");
  static_assert(std::is_same<decltype(std::declval<M>().inv()), Matrix_d>::value, "inherited inv");
  static_assert(!std::is_constructible<M, Matrix_d>::value, "no constructor from a general matrix");
  static_assert(!std::is_constructible<V, unsigned int>::value, "no constructor from a length");
};
template struct Typing<Matrix2x2_d, Vector2<double>>;
template struct Typing<Matrix3x3_d, Vector3<double>>;
template struct Typing<Matrix4x4_d, Vector4<double>>;

template <class M, class V> void check_shapes(unsigned int n) {
  M m;
  V v;
  EXPECT_EQ(n, m.SizeRow());
  EXPECT_EQ(n, m.SizeCol());
  EXPECT_EQ(n, v.Size());
}

// The operators' values, bit for bit against the exact model, are held by
// differential_test.
TEST(FixedSize, Shapes) {
  check_shapes<Matrix2x2_d, Vector2<double>>(2);
  check_shapes<Matrix3x3_d, Vector3<double>>(3);
  check_shapes<Matrix4x4_d, Vector4<double>>(4);
}

TEST(FixedSize, Worked2x2Values) {
  Vector2<double> ones;
  ones[0] = ones[1] = 1.0;
  const Matrix2x2_d &a = a2, &b = b2;
  const struct {
    const char *what;
    Matrix_d got, want;
  } cases[] = {
      {"a + b", a + b, t::mat({{6, 8}, {10, 12}})},
      {"a - b", a - b, t::mat({{-4, -4}, {-4, -4}})},
      {"b - a", b - a, t::mat({{4, 4}, {4, 4}})},
      {"-a", -a, t::mat({{-1, -2}, {-3, -4}})},
      {"a * b", a * b, t::mat({{19, 22}, {43, 50}})},
      {"b * a", b * a, t::mat({{23, 34}, {31, 46}})},
      {"a * 2.0", a * 2.0, t::mat({{2, 4}, {6, 8}})},
      {"(a + b) * a", (a + b) * a, t::mat({{30, 44}, {46, 68}})},
      {"a * a", a * a, t::mat({{7, 10}, {15, 22}})},
      {"a - a", a - a, t::mat({{0, 0}, {0, 0}})}, // +0.0 in every place
  };
  for (const auto &c : cases) {
    EXPECT_SAME(c.want, c.got) << c.what;
  }
  EXPECT_SAME(t::vec({3, 7}), a * ones);
  EXPECT_SAME(t::vec({1, 1}), ones);
  EXPECT_SAME(t::mat({{1, 2}, {3, 4}}), a);
  EXPECT_SAME(t::mat({{5, 6}, {7, 8}}), b);
}

TEST(FixedSize, Assignment) {
  Matrix2x2_d a(a2);
  EXPECT_TRUE(a = a);
  EXPECT_SAME(a2, a);

  // A general matrix of any other shape is refused and changes nothing.
  Matrix3x3_d big = thirds<Matrix3x3_d>(0.0);
  const Matrix3x3_d big0(big);
  const Matrix_d others[] = {Matrix_d(2, 3), Matrix_d(3, 2), Matrix_d(1, 1), Matrix_d(0, 0), Matrix_d(4, 4)};
  for (const Matrix_d &m : others) {
    EXPECT_FALSE(a = m) << m.SizeRow() << "x" << m.SizeCol();
    EXPECT_SAME(a2, a);
  }
  EXPECT_FALSE(big = a); // a 2x2 into a 3x3 goes through the general form
  EXPECT_SAME(big0, big);
  EXPECT_FALSE(a = big);
  EXPECT_SAME(a2, a);

  // A general result of the right shape is taken in, as the inverse is.
  EXPECT_TRUE(a = b2);
  EXPECT_SAME(b2, a);
  EXPECT_TRUE(a = a2.inv());
  EXPECT_SAME(t::mat({{-1.9999999999999998, 0.9999999999999999}, {1.4999999999999998, -0.4999999999999999}}),
              a);
  EXPECT_TRUE(big = big0.trasp());
  EXPECT_BITS(big0(0, 2), big(2, 0));
}

TEST(FixedSize, ProductWithResizedVector) {
  const Matrix3x3_d a = thirds<Matrix3x3_d>(0.0);
  const Vector<double> x4 = t::vec({1, 2, 3, 4}), x2 = t::vec({1, 2});
  for (const Vector<double> *src : {&x4, &x2}) {
    Vector3<double> v;
    v.Dup(*src);
    const Vector3<double> y = a * v;
    ASSERT_EQ(3u, y.Size());
    for (unsigned int i = 0; i < 3; ++i) {
      EXPECT_TRUE(quiet_nan(y[i])) << t::show(y[i]);
    }
    EXPECT_SAME(*src, v);
    EXPECT_SAME(thirds<Matrix3x3_d>(0.0), a);
  }
}

TEST(FixedSize, CopiesAreIndependent) {
  Matrix4x4_d src = thirds<Matrix4x4_d>(0.0);
  Matrix4x4_d copy(src);
  EXPECT_TRUE(copy == src);
  copy(1, 2) = 99.0;
  EXPECT_SAME(thirds<Matrix4x4_d>(0.0), src);

  // A NaN makes the copy unequal to its source, but every bit is still copied.
  src(3, 3) = std::numeric_limits<double>::quiet_NaN();
  const Matrix4x4_d nan_copy(src);
  EXPECT_FALSE(nan_copy == src);
  EXPECT_SAME(src, nan_copy);

  Vector4<double> v;
  for (unsigned int i = 0; i < 4; ++i) {
    v[i] = -0.0 - i;
  }
  Vector4<double> w(v);
  EXPECT_SAME(v, w);
  w[0] = 5.0;
  EXPECT_BITS(-0.0, v[0]);

  // The nominal length holds at construction only: copies take the current one.
  Vector3<double> r;
  r.Redim(5);
  for (unsigned int i = 0; i < 5; ++i) {
    r[i] = i + 0.5;
  }
  const Vector3<double> rc(r);
  EXPECT_EQ(5u, rc.Size());
  EXPECT_SAME(r, rc);
  Vector3<double> assigned;
  assigned = r; // assignment adopts the source's size, like Dup
  EXPECT_SAME(r, assigned);
}

} // namespace
