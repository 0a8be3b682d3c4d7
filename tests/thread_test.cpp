// Value-returning operations run from several threads at once on the same
// operands must give, bit for bit, what a single thread gets. The library
// keeps no shared state, so the only way to fail is a hidden write to an
// operand or to some static scratch object; under ThreadSanitizer such a
// race is reported as well.
#include <thread>
#include <vector>

#include "support.h"

namespace {

const unsigned int order = 6;
const int threads = 4;
const int rounds = 25;

using Bits = std::vector<t::Snapshot>;

Matrix_d operand(double shift) {
  Matrix_d m(order, order);
  for (unsigned int r = 0; r < order; ++r) {
    for (unsigned int c = 0; c < order; ++c) {
      m(r, c) = r == c ? 3.0 + shift : (1.0 + r * order + c) / (7.0 + shift);
    }
  }
  return m;
}

// The operands every thread reads, the LU factors among them.
struct Shared {
  Matrix_d a = operand(0.5), b = operand(-1.25), factors{order, order};
  Seq<unsigned int> perm{order};
  Vector<double> rhs{order};
  Matrix3x3_d small;
  Vector3<double> v3;

  Shared() {
    double parity;
    a.LU(factors, perm, parity);
    for (unsigned int i = 0; i < order; ++i) {
      rhs[i] = 1.0 / (i + 1.0);
    }
    small.Dup(a.Sub(0, 0, 3, 3));
    v3[0] = 0.1, v3[1] = 0.2, v3[2] = 0.3;
  }
};

Bits work(Shared &s) {
  Bits out;
  out.push_back(t::snap(s.a + s.b));
  out.push_back(t::snap(s.a - s.b));
  out.push_back(t::snap(s.a * s.b));
  out.push_back(t::snap(s.a * s.rhs));
  out.push_back(t::snap(s.a.trasp()));
  out.push_back(t::snap(s.a.inv()));
  out.push_back(t::snap(s.a.Sub(1, 2, 5, 6)));
  out.push_back(t::snap(t::vec({s.a.det(), s.b.IsSingular() ? 1.0 : 0.0})));
  // Each thread solves in a vector of its own with the shared factors.
  Vector<double> x(s.rhs);
  s.factors.LUs(s.perm, x);
  out.push_back(t::snap(x));
  out.push_back(t::snap(s.small * s.small + -s.small * 0.5));
  out.push_back(t::snap(s.small * s.v3));
  return out;
}

TEST(Threads, SameResultsAsOneThread) {
  Shared s;
  const Bits expected = work(s);
  const Bits operands = {t::snap(s.a), t::snap(s.b), t::snap(s.factors), t::snap(s.small)};

  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> pool;
  for (int i = 0; i < threads; ++i) {
    pool.emplace_back([&s, &expected, &mismatches, i] {
      for (int k = 0; k < rounds; ++k) {
        mismatches[i] += work(s) != expected;
      }
    });
  }
  for (std::thread &th : pool) {
    th.join();
  }
  for (int i = 0; i < threads; ++i) {
    EXPECT_EQ(0, mismatches[i]) << "thread " << i;
  }
  EXPECT_TRUE(operands == Bits({t::snap(s.a), t::snap(s.b), t::snap(s.factors), t::snap(s.small)}));
}

} // namespace
