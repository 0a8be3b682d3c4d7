// How many arrays each member takes from the free store, counted through the
// replaced global operator new[]. An operator makes exactly its result's
// allocations (the result object itself is returned, never a copy of it),
// named operations into a target make none, and no member ever uses the
// scalar form of new.
#include <functional>

#include "alloc_counter.h"
#include "support.h"

namespace {

struct Case {
  const char *what;
  long arrays;
  std::function<void()> run;
};

void check(const Case &c) {
  const long live = alloc::live(), bad = alloc::mismatched();
  alloc::start();
  c.run();
  const alloc::Counts n = alloc::stop();
  // Read before any assertion, whose messages allocate.
  const long live_after = alloc::live(), bad_after = alloc::mismatched();
  EXPECT_EQ(c.arrays, n.arrays) << c.what;
  EXPECT_EQ(0, n.scalars) << c.what;
  EXPECT_EQ(live, live_after) << c.what << ": blocks left behind";
  EXPECT_EQ(bad, bad_after) << c.what << ": released with the wrong form of delete";
}

template <class M> M filled() {
  M m;
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      m(r, c) = r == c ? 4.0 + r : 1.0 / (1.0 + r + c);
    }
  }
  return m;
}

// A fixed-size operator makes one row-pointer array and N rows, or one array
// for the vector product.
template <class M, class V> void check_fixed(long n) {
  const M a = filled<M>(), b = filled<M>();
  V x;
  for (unsigned int i = 0; i < x.Size(); ++i) {
    x[i] = 1.0;
  }
  const Case cases[] = {
      {"M()", n + 1, [] { M m; }},
      {"M(const M &)", n + 1, [&] { M m(a); }},
      {"a + b", n + 1, [&] { M r = a + b; }},
      {"a - b", n + 1, [&] { M r = a - b; }},
      {"-a", n + 1, [&] { M r = -a; }},
      {"a * b", n + 1, [&] { M r = a * b; }},
      {"a * s", n + 1, [&] { M r = a * 2.0; }},
      {"a * v", 1, [&] { V y = a * x; }},
      {"V()", 1,
       [] {
         V v;
         alloc::keep(v);
       }},
      {"V(const V &)", 1,
       [&] {
         V v(x);
         alloc::keep(v);
       }},
  };
  for (const Case &c : cases) {
    check(c);
  }
}

TEST(AllocCount, FixedSizeOperators) {
  check_fixed<Matrix2x2_d, Vector2<double>>(2);
  check_fixed<Matrix3x3_d, Vector3<double>>(3);
  check_fixed<Matrix4x4_d, Vector4<double>>(4);
}

TEST(AllocCount, GeneralMembers) {
  const Matrix4x4_d a = filled<Matrix4x4_d>();
  const Matrix_d g3 = filled<Matrix3x3_d>();
  Vector4<double> x;
  for (unsigned int i = 0; i < 4; ++i) {
    x[i] = 1.0;
  }
  const Case cases[] = {
      // The library's own allocations reach the replacement: this would be 0
      // if they bypassed it.
      {"Matrix_d(3, 3)", 4, [] { Matrix_d m(3, 3); }},
      {"Matrix_d(0, 5)", 1, [] { Matrix_d m(0, 5); }},
      {"Matrix_d(3, 0)", 4, [] { Matrix_d m(3, 0); }},
      {"3x3 product", 4, [&] { Matrix_d p = g3 * g3; }},
      {"4x4 times vector", 1, [&] { Vector<double> y = static_cast<const Matrix_d &>(a) * x; }},
      {"4x4 det()", 7, [&] { a.det(); }},
      {"4x4 inv()", 13, [&] { Matrix_d r = a.inv(); }},
      {"4x4 IsSingular()", 7, [&] { a.IsSingular(); }},
      {"4x4 trasp()", 5, [&] { Matrix_d r = a.trasp(); }},
  };
  for (const Case &c : cases) {
    check(c);
  }
}

// Writing into a caller's target, comparing and solving allocate nothing.
TEST(AllocCount, NamedOperationsAllocateNothing) {
  Matrix4x4_d a = filled<Matrix4x4_d>(), b = filled<Matrix4x4_d>(), r, f;
  const Matrix_d general = filled<Matrix4x4_d>();
  Vector4<double> x, y;
  Seq<unsigned int> p(4);
  double parity = 0.0;
  ASSERT_EQ(1, a.LU(f, p, parity));
  const Case cases[] = {
      {"Sum", 0, [&] { a.Sum(r, b); }},
      {"Sub", 0, [&] { a.Sub(r, b); }},
      {"Neg", 0, [&] { a.Neg(r); }},
      {"Molt scalar", 0, [&] { a.Molt(r, 2.0); }},
      {"Molt matrix", 0, [&] { a.Molt(r, b); }},
      {"Molt vector", 0, [&] { a.Molt(y, x); }},
      {"Dup and both assignments", 0, [&] { r.Dup(a), r = a, r = general; }},
      {"Zero, Identity, ==, !=", 0, [&] { r.Zero(), r.Identity(), (void)(r == a), (void)(r != a); }},
      {"LUs", 0, [&] { f.LUs(p, y); }},
      {"Seq Dup of equal size", 0, [&] { y.Dup(x); }},
      {"LU (its scale vector)", 1, [&] { a.LU(f, p, parity); }},
  };
  for (const Case &c : cases) {
    check(c);
  }
}

} // namespace
