// SPDX-License-Identifier: MIT
// Every member that allocates, run with the free store failing at its first,
// second, ... allocation until it succeeds. Each time std::bad_alloc must
// reach the caller, every block made on the way must have been released, and
// every operand and target must be bit for bit what it was (a failed Redim,
// Dup or LU changes nothing). The global operator new and delete are
// replaced below; on Linux the shared library's calls bind to them as well
// (on Windows the program holds the library's objects and the C++ runtime instead).
#include <cstdlib>
#include <functional>
#include <new>

#include "support.h"

namespace {

long live = 0, made = 0, fail_at = 0; // blocks held; allocations since the start; the one to fail

void *take(std::size_t n) {
  if (fail_at > 0 && ++made >= fail_at) {
    throw std::bad_alloc(); // and every later one: the store stays exhausted
  }
  void *p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) {
    throw std::bad_alloc();
  }
  ++live;
  return p;
}

void give(void *p) {
  if (p != nullptr) {
    --live;
    std::free(p);
  }
}

} // namespace

void *operator new(std::size_t n) { return take(n); }
void *operator new[](std::size_t n) { return take(n); }
void operator delete(void *p) noexcept { give(p); }
void operator delete[](void *p) noexcept { give(p); }
void operator delete(void *p, std::size_t) noexcept { give(p); }
void operator delete[](void *p, std::size_t) noexcept { give(p); }

namespace {

// Keeps the compiler from dropping an allocation nothing else observes.
template <class T> void keep(const T &x) { __asm__ __volatile__("" : : "g"(&x) : "memory"); }

// The objects a call must leave alone, read back on demand.
template <class... O> std::function<std::vector<bitwise::Snap>()> watch(const O &...o) {
  return [&o...] { return std::vector<bitwise::Snap>{bitwise::snap(o)...}; };
}

void inject(const char *what, const std::function<std::vector<bitwise::Snap>()> &state,
            const std::function<void()> &op) {
  SCOPED_TRACE(what);
  const std::vector<bitwise::Snap> before = state();
  const long held = live;
  for (long n = 1;; ++n) {
    bool threw = false;
    fail_at = n, made = 0;
    try {
      op();
    } catch (const std::bad_alloc &) {
      threw = true;
    }
    fail_at = 0;
    if (!threw) {
      EXPECT_GT(n, 1) << "no allocation failed";
      return;
    }
    ASSERT_EQ(held, live) << "blocks left behind, failing at allocation " << n;
    ASSERT_EQ(before, state()) << "changed, failing at allocation " << n;
  }
}

// Operands with a signed zero, that factor.
Matrix_d grid(unsigned int rows, unsigned int cols, double shift = 0.0) {
  Matrix_d m(rows, cols);
  for (unsigned int i = 0; i < rows * cols; ++i) {
    m(i / cols, i % cols) = i / cols == i % cols ? 5.0 + shift : (i + 1.0) / 7.0 - shift;
  }
  m(0, cols - 1) = -0.0;
  return m;
}

template <class M, class V> void fixed(unsigned int n) {
  M a, b;
  V x, resized;
  a.Dup(grid(n, n)), b.Dup(grid(n, n, 1.0)), resized.Redim(n + 1);
  for (unsigned int i = 0; i < n; ++i) {
    x[i] = 0.5 - i;
  }
  inject("fixed-size constructors", watch(a), [&] { keep(M()), keep(M(a)), keep(V()); });
  inject("fixed-size operators", watch(a, b, x), [&] {
    keep(a + b), keep(a - b), keep(-a), keep(a * b), keep(a * x), keep(a * resized), keep(a * 0.5);
  });
}

TEST(FaultInjection, EveryAllocatingMember) {
  const Matrix_d a = grid(3, 4), b = grid(3, 4, 1.0), c = grid(4, 2), sq = grid(4, 4), wide = grid(3, 5);
  const Vector<double> x4 = bitwise::vec({0.25, -0.0, 3.5, -2.0}), x5 = bitwise::vec({1, 2, 3, 4, 5});
  Vector<double> y = x4;
  inject("constructors", watch(a, x5), [&] {
    keep(Seq<unsigned int>(5)), keep(Vector<double>(x5)), keep(Matrix_d(3, 0)), keep(Matrix_d(a));
  });
  inject("Redim(7)", watch(y), [&] { y.Redim(7); });
  inject("Dup, resizing", watch(y, x5), [&] { y.Dup(x5); });
  y = x4;
  inject("operator=, resizing", watch(y, x5), [&] { y = x5; });
  inject("operator+, operator-", watch(a, b), [&] { keep(a + b), keep(a - b), keep(-a), keep(a * 3.0); });
  inject("operators, shapes differ", watch(a, c, wide, x5),
         [&] { keep(a + c), keep(a * wide), keep(a * x5); });
  inject("operator* (matrix, vector)", watch(a, c, x4), [&] { keep(a * c), keep(a * x4); });
  inject("trasp, blocks", watch(a),
         [&] { keep(a.trasp()), keep(a.Sub(0, 1, 2, 4)), keep(a.Sub(2, 0, 1, 4)); });
  inject("det, inv, IsSingular", watch(sq, a),
         [&] { sq.det(), a.det(), keep(sq.inv()), keep(a.inv()), sq.IsSingular(); });

  Matrix_d target = grid(4, 4, 2.0), in_place = grid(4, 4), wrong = grid(3, 3), zero_row = grid(4, 4);
  for (unsigned int c = 0; c < 4; ++c) {
    zero_row(2, c) = 0.0;
  }
  Seq<unsigned int> perm(4);
  for (unsigned int i = 0; i < 4; ++i) {
    perm[i] = 10 + i;
  }
  double parity = 0.5;
  inject("LU", watch(sq, target, perm, parity), [&] { sq.LU(target, perm, parity); });
  inject("LU in place", watch(in_place, perm, parity), [&] { in_place.LU(in_place, perm, parity); });
  inject("LU refused", watch(sq, wrong, perm, parity), [&] { sq.LU(wrong, perm, parity); });
  inject("LU, zero row", watch(zero_row, target, perm, parity), [&] { zero_row.LU(target, perm, parity); });

  fixed<Matrix2x2_d, Vector2<double>>(2);
  fixed<Matrix3x3_d, Vector3<double>>(3);
  fixed<Matrix4x4_d, Vector4<double>>(4);
}

} // namespace
