// SPDX-License-Identifier: MIT
// The objects: sequences, the matrix object, transpose and blocks, and the
// fixed-size types. Values move bit for bit, signalling NaNs included (an
// x87 load on i386 would quiet them); a refused copy or assignment leaves
// its target as it was; equality is IEEE equality.
#include <climits>
#include <thread>

#include "support.h"

namespace {

using bitwise::u64;

// Element i of a fill: subnormals of both signs, signalling NaNs, ordinary
// values; neighbours differ, also in their low 32 bits.
u64 value(unsigned int i) {
  const u64 kinds[] = {0, u64(1) << 63, bitwise::snan, bitwise::snan_neg, 0x3ff8000000000000};
  return kinds[i % 5] ^ (i + 1) * u64(0x9e3779b9);
}
template <class T> void fill(SeqBase<T> &s, unsigned int first) {
  for (unsigned int i = 0; i < s.Size(); ++i) {
    const u64 v = value(first + i);
    std::memcpy(&s[i], &v, sizeof s[i]);
  }
}
Matrix_d sample(unsigned int rows, unsigned int cols, unsigned int first = 0) {
  Matrix_d m(rows, cols);
  for (unsigned int i = 0; i < rows * cols; ++i) {
    bitwise::set_bits(m.v(i / cols, i % cols), value(first + i));
  }
  return m;
}

template <class S> class Sequence : public ::testing::Test {};
using Sequences = ::testing::Types<Seq<double>, Seq<unsigned int>, Vector<double>>;
TYPED_TEST_SUITE(Sequence, Sequences);

// Dup, the copy constructor and assignment copy deeply and adopt the
// source's size (Dup between equal sizes into the target's own array); Redim
// gives a fresh array, allocated while the old one is still held; Empty
// leaves size 0, from which Dup copies again.
TYPED_TEST(Sequence, SizesAndCopies) {
  const unsigned int sizes[][2] = {{2, 4}, {4, 2}, {3, 3}, {0, 3}, {3, 0}, {0, 0}};
  for (const auto &n : sizes) {
    SCOPED_TRACE(::testing::Message() << n[1] << " into " << n[0]);
    TypeParam target(n[0]), source(n[1]), assigned(n[0]), redim(n[0]);
    fill(target, 10), fill(source, 0);
    const bitwise::Snap want = bitwise::snap(source);
    const void *kept = n[0] ? &target[0] : nullptr;
    target.Dup(source);
    EXPECT_EQ(&assigned, &(assigned = source));
    const TypeParam copy(source);
    for (const TypeParam *s : std::initializer_list<const TypeParam *>{&target, &assigned, &copy}) {
      EXPECT_EQ(want, bitwise::snap(*s));
      EXPECT_TRUE(n[1] == 0 || &(*s)[0] != &source[0]) << "a copy shares the source's array";
    }
    EXPECT_TRUE(n[0] != n[1] || n[0] == 0 || &target[0] == kept) << "Dup between equal sizes left its array";
    fill(target, 20), fill(assigned, 30);
    const bitwise::Snap mine = bitwise::snap(target);
    target.Dup(target), target = *&target; // *&: a self-assignment meant, not a slip
    EXPECT_EQ(want, bitwise::snap(source)) << "copying another sequence changed the source";
    EXPECT_EQ(mine, bitwise::snap(target)) << "copying a sequence into itself changed it";
    const void *old = n[0] ? &redim[0] : nullptr;
    redim.Redim(n[1]);
    EXPECT_EQ(n[1], redim.Size());
    EXPECT_EQ(n[1] == 0, redim.IsEmpty());
    EXPECT_TRUE(n[0] * n[1] == 0 || &redim[0] != old) << "Redim kept the old array";
    redim.Empty();
    EXPECT_EQ(0u, redim.Size());
    EXPECT_TRUE(redim.IsEmpty());
    redim.Dup(source);
    EXPECT_EQ(want, bitwise::snap(redim));
  }
}

const unsigned int shapes[][2] = {{0, 0}, {0, 5}, {5, 0}, {1, 1}, {2, 3}, {3, 2}, {3, 3}};

// Dup and assignment copy every bit into the target's own storage (a refusal
// is a numerics_test case); a copy is deep; Zero writes +0.0 everywhere;
// Identity adds ones on the leading diagonal, also of a non-square matrix.
TEST(MatrixObject, CopiesZeroAndIdentity) {
  for (const auto &s : shapes) {
    Matrix_d a = sample(s[0], s[1]), id(a), target = sample(s[0], s[1], 3), assigned(target);
    const Matrix_d copy(a);
    const double *storage = s[0] * s[1] != 0 ? &target(s[0] - 1, 0) : nullptr;
    EXPECT_TRUE(target.Dup(a));
    EXPECT_TRUE(assigned = a);
    EXPECT_TRUE(a.Dup(a)) << "Dup into itself";
    EXPECT_TRUE(a = a) << "assignment to itself";
    EXPECT_TRUE(a.CmpMatrixSize(copy));
    EXPECT_TRUE(storage == nullptr || &target(s[0] - 1, 0) == storage) << "Dup replaced the target's storage";
    for (const Matrix_d *m : {&target, &assigned, &a}) {
      EXPECT_SAME(sample(s[0], s[1]), *m);
    }
    a.Zero(), id.Identity();
    EXPECT_SAME(sample(s[0], s[1]), copy);
    for (unsigned int i = 0; i < s[0] * s[1]; ++i) {
      EXPECT_BITS(0.0, a(i / s[1], i % s[1]));
      EXPECT_BITS(i / s[1] == i % s[1] ? 1.0 : 0.0, id(i / s[1], i % s[1]));
    }
  }
}

// IEEE equality: -0.0 == +0.0, a NaN equals nothing, and the shapes must agree.
TEST(MatrixObject, Equality) {
  const Matrix_d a = bitwise::mat({{-0.0, 1.5}, {0.0, -bitwise::inf}}),
                 b = bitwise::mat({{0.0, 1.5}, {-0.0, -bitwise::inf}});
  const Matrix_d n = bitwise::mat({{0.0, bitwise::qnan}, {0.0, 1.0}});
  EXPECT_TRUE(a == b) << "-0.0 == +0.0";
  EXPECT_FALSE(a != b) << "-0.0 == +0.0";
  EXPECT_TRUE(Matrix_d(0, 5) == Matrix_d(0, 5));
  EXPECT_FALSE(n == n) << "a NaN equals nothing";
  EXPECT_TRUE(n != n) << "a NaN equals nothing";
  EXPECT_FALSE(Matrix_d(0, 3) == Matrix_d(0, 5)) << "empty, of other shapes";
  EXPECT_FALSE(a == bitwise::mat({{0.0, 1.5}})) << "another shape, equal where both have elements";
  EXPECT_FALSE(a == bitwise::mat({{0, 1.5}, {0, 2}})) << "one element differs";
}

// Shapes swap and every element moves bit for bit; Neg flips the sign bit
// alone. Every block, rows [row0, row1) and columns [col0, col1), holds its
// elements bit for bit; for arguments reversed or beyond the matrix the
// library gives a 0x0 block: nothing read, no wrapped-around size.
TEST(TransposeAndBlock, EveryElementBitForBit) {
  const Matrix_d a = sample(4, 5), tr = a.trasp(), neg = -a;
  EXPECT_SAME(a, tr.trasp());
  EXPECT_SAME(Matrix_d(4, 0), Matrix_d(0, 4).trasp());
  for (unsigned int i = 0; i < 20; ++i) {
    EXPECT_EQ(bitwise::bits(a(i / 5, i % 5)), bitwise::bits(tr(i % 5, i / 5)));
    EXPECT_EQ(bitwise::bits(a(i / 5, i % 5)) ^ u64(1) << 63, bitwise::bits(neg(i / 5, i % 5)));
  }
  const unsigned int ends[] = {0, 1, 2, 3, 4, 5, 6, UINT_MAX};
  for (unsigned int k = 0; k < 8 * 8 * 8 * 8; ++k) {
    const unsigned int r0 = ends[k % 8], r1 = ends[k / 8 % 8], c0 = ends[k / 64 % 8], c1 = ends[k / 512];
    const bool inside = r0 <= r1 && r1 <= 4 && c0 <= c1 && c1 <= 5;
    const Matrix_d b = a.Sub(r0, c0, r1, c1);
    ASSERT_EQ(inside ? r1 - r0 : 0, b.SizeRow()) << r0 << " " << c0 << " " << r1 << " " << c1;
    ASSERT_EQ(inside ? c1 - c0 : 0, b.SizeCol()) << r0 << " " << c0 << " " << r1 << " " << c1;
    for (unsigned int i = 0; inside && i < (r1 - r0) * (c1 - c0); ++i) {
      ASSERT_EQ(bitwise::bits(a(r0 + i / (c1 - c0), c0 + i % (c1 - c0))),
                bitwise::bits(b(i / (c1 - c0), i % (c1 - c0))));
    }
  }
}

template <class M, class V> void expect_order(unsigned int n) {
  EXPECT_EQ(n, M().SizeRow());
  EXPECT_EQ(n, M().SizeCol());
  EXPECT_EQ(n, V().Size());
}

TEST(FixedSize, WorkedValuesAndAssignment) {
  expect_order<Matrix2x2_d, Vector2<double>>(2), expect_order<Matrix3x3_d, Vector3<double>>(3);
  expect_order<Matrix4x4_d, Vector4<double>>(4);
  Matrix2x2_d a, b, c;
  a.Dup(bitwise::mat({{1, 2}, {3, 4}})), b.Dup(bitwise::mat({{5, 6}, {7, 8}}));
  Vector2<double> ones;
  ones[0] = ones[1] = 1.0;
  const Matrix_d got[] = {a + b, a - b, b - a, -a, a * b, b * a, a * 2.0, (a + b) * a, a - a};
  const double want[][4] = {{6, 8, 10, 12},   {-4, -4, -4, -4}, {4, 4, 4, 4},
                            {-1, -2, -3, -4}, {19, 22, 43, 50}, {23, 34, 31, 46},
                            {2, 4, 6, 8},     {30, 44, 46, 68}, {0, 0, 0, 0}};
  for (int k = 0; k < 9; ++k) {
    EXPECT_SAME(bitwise::mat({{want[k][0], want[k][1]}, {want[k][2], want[k][3]}}), got[k]) << k;
  }
  EXPECT_SAME(bitwise::vec({3, 7}), a * ones);
  // Another shape is refused and changes nothing; a general 2x2 result is taken.
  Matrix3x3_d big;
  big.Dup(sample(3, 3)), c.Dup(b);
  EXPECT_FALSE(c = Matrix_d(2, 3));
  EXPECT_FALSE(c = big);
  EXPECT_FALSE(big = c);
  EXPECT_SAME(b, c);
  EXPECT_SAME(sample(3, 3), big);
  EXPECT_TRUE(c = a.inv());
  EXPECT_SAME(bitwise::mat({{-0x1.fffffffffffffp+0, 0x1.fffffffffffffp-1},
                            {0x1.7ffffffffffffp+0, -0x1.ffffffffffffep-2}}),
              c);
  // A vector whose length was changed: a result of the nominal length, NaNs.
  Vector3<double> v;
  v.Redim(4);
  const Vector3<double> y = big * v;
  ASSERT_EQ(3u, y.Size());
  for (unsigned int i = 0; i < 3; ++i) {
    EXPECT_EQ(bitwise::quiet, bitwise::bits(y[i]) & bitwise::quiet) << i;
  }
}

// Value-returning operations from several threads at once on the same
// operands give what one thread gets, and so do solutions with shared
// factors: the library keeps no shared state, so only a hidden write to an
// operand or to static scratch could differ (and ThreadSanitizer,
// scripts/sanitize.sh tsan, would report it).
TEST(Threads, SameResultsAsOneThread) {
  Matrix_d a(6, 6), f(6, 6);
  for (unsigned int i = 0; i < 36; ++i) {
    a(i / 6, i % 6) = i % 7 == 0 ? 3.5 : (1.0 + i) / 7.5;
  }
  Seq<unsigned int> p(6);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  auto work = [&] {
    Vector<double> y = bitwise::vec({1, 0.5, 0.25, -2, 3, 0.125});
    f.LUs(p, y);
    return std::vector<bitwise::Snap>{bitwise::snap(a * f),         bitwise::snap(a * y),
                                      bitwise::snap(a.trasp() - a), bitwise::snap(a.inv()),
                                      bitwise::snap(a.det()),       bitwise::snap(y)};
  };
  const std::vector<bitwise::Snap> expected = work();
  int mismatches[4] = {0, 0, 0, 0};
  std::vector<std::thread> pool;
  for (int k = 0; k < 4; ++k) {
    pool.emplace_back([&, k] {
      for (int round = 0; round < 25; ++round) {
        mismatches[k] += work() != expected;
      }
    });
  }
  for (std::thread &th : pool) {
    th.join();
  }
  EXPECT_EQ(0, mismatches[0] + mismatches[1] + mismatches[2] + mismatches[3]);
}

} // namespace
