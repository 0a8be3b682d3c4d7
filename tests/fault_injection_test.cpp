// Every member that allocates, run with the free store failing at its first,
// second, ... allocation until it succeeds. Each time std::bad_alloc must
// reach the caller, every block made on the way must have been released, and
// every operand and target must be bit for bit what it was: same size, same
// storage, same values (a failed Redim, Dup or LU changes nothing).
//
// The number of allocation points found for each member is checked against
// its expected count and listed at the end of the run. The counts are those
// of the results alone: an operator returns its result object itself, never
// a copy of it, and operations into a caller's target allocate nothing. The
// library always uses the array form of new.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "support.h"

namespace {

using State = std::vector<std::uint64_t>;

std::uint64_t word(double d) { return t::bits(d); }
std::uint64_t word(unsigned int u) { return u; }
std::uint64_t word(const void *p) { return reinterpret_cast<std::uintptr_t>(p); }

// Shape, storage addresses and element bits of every object a call may touch.
void add(State &s, const Matrix_d &m) {
  s.push_back(m.SizeRow());
  s.push_back(m.SizeCol());
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    if (m.SizeCol() > 0) {
      s.push_back(word(&m(r, 0)));
    }
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      s.push_back(word(m(r, c)));
    }
  }
}
template <class T> void add(State &s, const SeqBase<T> &q) {
  s.push_back(q.Size());
  if (q.Size() > 0) {
    s.push_back(word(&q[0]));
  }
  for (unsigned int i = 0; i < q.Size(); ++i) {
    s.push_back(word(q[i]));
  }
}
void add(State &s, const double &d) { s.push_back(word(d)); }

template <class... Obj> State state_of(const Obj &...objs) {
  State s;
  (add(s, objs), ...);
  return s;
}

std::vector<std::pair<std::string, long>> &table() {
  static std::vector<std::pair<std::string, long>> rows;
  return rows;
}

// Prints the list once every test has run.
struct ListPoints : ::testing::Environment {
  void TearDown() override {
    std::printf("\nAllocation points per member:\n");
    for (const auto &row : table()) {
      std::printf("  %-48s %ld\n", row.first.c_str(), row.second);
    }
  }
};
const auto *registered = ::testing::AddGlobalTestEnvironment(new ListPoints);

// The operands and targets a call must leave alone, read back on demand.
template <class... Obj> std::function<State()> watch(const Obj &...objs) {
  return [&objs...] { return state_of(objs...); };
}

// Builds an object of type T from sizes, or as a copy of a std::cref, and drops it.
template <class T, class... Arg> std::function<void()> make(Arg... args) {
  return [=] {
    T obj(args...);
    alloc::keep(obj);
  };
}

// Runs op failing at allocation 1, 2, ... until it succeeds, and checks the
// number of allocations its successful run made.
void inject(const std::string &member, long expected, const std::function<State()> &watched,
            const std::function<void()> &op) {
  const State before = watched();
  const long live = alloc::live(), bad = alloc::mismatched();
  long points = -1;
  for (long n = 1; n <= 64 && points < 0; ++n) {
    bool threw = false, other = false;
    alloc::start(n);
    try {
      op();
    } catch (const std::bad_alloc &) {
      threw = true;
    } catch (...) {
      other = true;
    }
    const alloc::Counts made = alloc::stop();
    // Read before any assertion, whose messages allocate.
    const long live_after = alloc::live(), bad_after = alloc::mismatched();
    ASSERT_FALSE(other) << member << ": something other than std::bad_alloc at allocation " << n;
    EXPECT_EQ(bad, bad_after) << member << ": wrong form of delete, failing at allocation " << n;
    if (!threw) {
      // More allocations than n - 1 would mean a failure was swallowed.
      EXPECT_EQ(n - 1, made.arrays + made.scalars) << member;
      EXPECT_EQ(0, made.scalars) << member << ": the scalar form of new";
      points = n - 1;
      break;
    }
    EXPECT_EQ(live, live_after) << member << ": blocks left behind, failing at allocation " << n;
    EXPECT_TRUE(before == watched()) << member << ": changed, failing at allocation " << n;
  }
  EXPECT_EQ(expected, points) << member;
  table().emplace_back(member, points);
}

// Operands with signed zeros and a NaN, so that a stray write shows in the bits.
Matrix_d grid(unsigned int rows, unsigned int cols, double shift = 0.0) {
  Matrix_d m(rows, cols);
  for (unsigned int r = 0; r < rows; ++r) {
    for (unsigned int c = 0; c < cols; ++c) {
      m(r, c) = r == c ? 5.0 + r + shift : (r + 1.0) / (c + 3.0) - shift;
    }
  }
  if (rows > 1 && cols > 2) {
    m(1, 2) = -0.0;
  }
  return m;
}
Vector<double> line(unsigned int n) {
  Vector<double> v(n);
  for (unsigned int i = 0; i < n; ++i) {
    v[i] = 0.25 - i;
  }
  return v;
}

TEST(FaultInjection, Sequences) {
  inject("SeqBase<double>(5)", 1, watch(), make<SeqBase<double>>(5u));
  inject("Seq<double>(5)", 1, watch(), make<Seq<double>>(5u));
  inject("Seq<unsigned int>(5)", 1, watch(), make<Seq<unsigned int>>(5u));
  inject("Vector<double>(0)", 1, watch(), make<Vector<double>>(0u));
  inject("Vector<double>(5)", 1, watch(), make<Vector<double>>(5u));
  inject("Vector2<double>()", 1, watch(), make<Vector2<double>>());
  inject("Vector3<double>()", 1, watch(), make<Vector3<double>>());
  inject("Vector4<double>()", 1, watch(), make<Vector4<double>>());

  const Vector<double> src5 = line(5), src7 = line(7);
  Vector3<double> v3;
  v3.Dup(line(3));
  inject("Seq<double>(const Seq &)", 1, watch(src5), make<Seq<double>>(std::cref(src5)));
  inject("Vector<double>(const Vector &)", 1, watch(src5), make<Vector<double>>(std::cref(src5)));
  inject("Vector3<double>(const Vector3 &)", 1, watch(v3), make<Vector3<double>>(std::cref(v3)));

  Vector<double> x = line(5);
  inject("Redim(7)", 1, watch(x), [&] { x.Redim(7); });
  x = line(5);
  inject("Redim(5), same size", 1, watch(x), [&] { x.Redim(5); });
  x = line(5);
  inject("Seq<T>::Dup, resizing 5 to 7", 1, watch(x, src7), [&] { x.Dup(src7); });
  x = line(5);
  inject("Vector<T>::operator=, resizing", 1, watch(x, src7), [&] { x = src7; });
  x = line(5);
  inject("Seq<T>::Dup, equal sizes", 0, watch(src5), [&] { x.Dup(src5); });
}

TEST(FaultInjection, Tables) {
  inject("TableBase<double>(3, 4)", 4, watch(), make<TableBase<double>>(3u, 4u));
  inject("Table<double>(3, 4)", 4, watch(), make<Table<double>>(3u, 4u));
  // The library's own allocations reach the test's operator new: were they
  // to bypass it, this would find no allocation at all.
  inject("Matrix_d(3, 3)", 4, watch(), make<Matrix_d>(3u, 3u));
  inject("Matrix_d(3, 4)", 4, watch(), make<Matrix_d>(3u, 4u));
  inject("Matrix_d(0, 4)", 1, watch(), make<Matrix_d>(0u, 4u));
  inject("Matrix_d(3, 0)", 4, watch(), make<Matrix_d>(3u, 0u));
  const Matrix_d a = grid(3, 4);
  inject("Matrix_d(const Matrix_d &), 3x4", 4, watch(a), [&] { Matrix_d m(a); });
}

TEST(FaultInjection, ValueReturningMembers) {
  const Matrix_d a = grid(3, 4), b = grid(3, 4, 1.0), c = grid(4, 2), sq = grid(4, 4), wide = grid(3, 5);
  const Vector<double> x = line(4), x5 = line(5);
  inject("operator+, 3x4", 4, watch(a, b), [&] { Matrix_d r = a + b; });
  inject("operator+, shapes differ", 4, watch(a, c), [&] { Matrix_d r = a + c; });
  inject("operator-, 3x4", 4, watch(a, b), [&] { Matrix_d r = a - b; });
  inject("operator- (unary), 3x4", 4, watch(a), [&] { Matrix_d r = -a; });
  inject("operator* (matrix), 3x4 by 4x2", 4, watch(a, c), [&] { Matrix_d r = a * c; });
  inject("operator* (matrix), shapes differ", 4, watch(a, wide), [&] { Matrix_d r = a * wide; });
  inject("operator* (vector), 3x4", 1, watch(a, x), [&] { Vector<double> r = a * x; });
  inject("operator* (vector), 4x4", 1, watch(sq, x), [&] { Vector<double> r = sq * x; });
  inject("operator* (matrix), 4x4", 5, watch(sq), [&] { Matrix_d r = sq * sq; });
  inject("operator* (vector), length differs", 1, watch(a, x5), [&] { Vector<double> r = a * x5; });
  inject("operator* (scalar), 3x4", 4, watch(a), [&] { Matrix_d r = a * 3.0; });
  inject("trasp, 3x4", 5, watch(a), [&] { Matrix_d r = a.trasp(); });
  inject("Sub block (0, 1, 2, 4)", 3, watch(a), [&] { Matrix_d r = a.Sub(0, 1, 2, 4); });
  inject("Sub block, out of range", 1, watch(a), [&] { Matrix_d r = a.Sub(2, 0, 1, 4); });
  inject("det, 4x4", 7, watch(sq), [&] { sq.det(); });
  inject("det, 3x4", 6, watch(a), [&] { a.det(); });
  inject("inv, 4x4", 13, watch(sq), [&] { Matrix_d r = sq.inv(); });
  inject("inv, 3x4", 11, watch(a), [&] { Matrix_d r = a.inv(); });
  inject("IsSingular, 4x4", 7, watch(sq), [&] { sq.IsSingular(); });
}

TEST(FaultInjection, LU) {
  const Matrix_d src = grid(4, 4);
  Matrix_d target = grid(4, 4, 2.0), in_place = grid(4, 4), wrong = grid(3, 3), zero_row = grid(4, 4);
  for (unsigned int c = 0; c < 4; ++c) {
    zero_row(2, c) = 0.0;
  }
  Seq<unsigned int> perm(4);
  for (unsigned int i = 0; i < 4; ++i) {
    perm[i] = 10 + i;
  }
  double parity = 0.5;
  inject("LU", 1, watch(src, target, perm, parity), [&] { src.LU(target, perm, parity); });
  inject("LU in place", 1, watch(in_place, perm, parity), [&] { in_place.LU(in_place, perm, parity); });
  inject("LU refused (-1)", 1, watch(src, wrong, perm, parity), [&] { src.LU(wrong, perm, parity); });
  inject("LU with a zero row (0)", 1, watch(zero_row, target, perm, parity),
         [&] { zero_row.LU(target, perm, parity); });
}

// For each order: constructors and operators make N + 1 arrays (the vector
// product 1), and the assignments none.
template <class M, class V> void fixed(const std::string &name, unsigned int n) {
  M a, b, target;
  a.Dup(grid(n, n));
  b.Dup(grid(n, n, 1.0));
  target.Dup(grid(n, n, 4.0));
  const Matrix_d general = grid(n, n, 3.0);
  V x;
  x.Dup(line(n));
  V resized;
  resized.Dup(line(n + 1));
  const long arrays = n + 1;
  inject(name + "()", arrays, watch(), make<M>());
  inject(name + "(const " + name + " &)", arrays, watch(a), [&] { M m(a); });
  inject(name + "::operator+", arrays, watch(a, b), [&] { M r = a + b; });
  inject(name + "::operator-", arrays, watch(a, b), [&] { M r = a - b; });
  inject(name + "::operator- (unary)", arrays, watch(a), [&] { M r = -a; });
  inject(name + "::operator* (matrix)", arrays, watch(a, b), [&] { M r = a * b; });
  inject(name + "::operator* (a * a)", arrays, watch(a), [&] { M r = a * a; });
  inject(name + "::operator* (vector)", 1, watch(a, x), [&] { V r = a * x; });
  inject(name + "::operator* (resized vector)", 1, watch(a, resized), [&] { V r = a * resized; });
  inject(name + "::operator* (scalar)", arrays, watch(a), [&] { M r = a * 0.5; });
  inject(name + "::operator= (both forms)", 0, watch(a, general), [&] { target = a, target = general; });
}

TEST(FaultInjection, OperationsIntoATargetAllocateNothing) {
  const Matrix_d a = grid(4, 4), b = grid(4, 4, 1.0);
  Matrix_d r(4, 4), f(4, 4);
  Vector<double> x = line(4), y(4);
  Seq<unsigned int> p(4);
  double parity;
  ASSERT_EQ(1, a.LU(f, p, parity));
  inject("Sum, Sub, Neg, Molt (scalar)", 0, watch(),
         [&] { a.Sum(r, b), a.Sub(r, b), a.Neg(r), a.Molt(r, 2.0); });
  inject("Molt (matrix, vector)", 0, watch(), [&] { a.Molt(r, b), a.Molt(y, x); });
  inject("Dup, operator=, Zero, Identity", 0, watch(), [&] { r.Dup(a), r = b, r.Zero(), r.Identity(); });
  inject("operator==, operator!=, CmpMatrixSize", 0, watch(),
         [&] { (void)(a == b), (void)(a != b), a.CmpMatrixSize(b); });
  inject("LUs", 0, watch(), [&] { f.LUs(p, x); });
}

TEST(FaultInjection, FixedSizeMatrices) {
  fixed<Matrix2x2_d, Vector2<double>>("Matrix2x2_d", 2);
  fixed<Matrix3x3_d, Vector3<double>>("Matrix3x3_d", 3);
  fixed<Matrix4x4_d, Vector4<double>>("Matrix4x4_d", 4);
}

} // namespace
