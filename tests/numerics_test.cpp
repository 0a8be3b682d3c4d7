// The numerics against values worked out independently of the library
// (tests/data/worked.txt, whose header says what each kind of case holds),
// and the shape rules of every named operation: a refused call returns its
// flag and leaves every object bit for bit as it was.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "support.h"

namespace {

// A field of a case: its numbers, in rows of equal length.
struct Field {
  unsigned int rows, cols;
  std::vector<double> v;
};

Matrix_d mat(const Field &f) {
  Matrix_d m(f.rows, f.cols);
  for (unsigned int i = 0; i < f.v.size(); ++i) {
    std::memcpy(&m(i / f.cols, i % f.cols), &f.v[i], sizeof(double));
  }
  return m;
}
template <class S> S seq(const Field &f) {
  S s(static_cast<unsigned int>(f.v.size()));
  for (unsigned int i = 0; i < f.v.size(); ++i) {
    s[i] = static_cast<typename std::decay<decltype(s[0])>::type>(f.v[i]);
  }
  return s;
}

// LU into fresh outputs full of marker bits, then in place: the result, the
// factors, the permutation (left untouched when perm is empty) and the parity.
void expect_lu(const Matrix_d &a, int result, const t::Snap &factors, const t::Snap &perm, double parity) {
  for (int in_place = 0; in_place < 2; ++in_place) {
    Matrix_d f(a.SizeRow(), a.SizeRow()), m(a);
    Seq<unsigned int> p(a.SizeRow());
    double par;
    t::poison(f), t::poison(p), t::set_bits(par, t::marker);
    const t::Snap untouched = t::snap(p);
    ASSERT_EQ(result, in_place ? m.LU(m, p, par) : a.LU(f, p, par)) << "in place: " << in_place;
    EXPECT_EQ(factors, t::snap(in_place ? m : f));
    EXPECT_EQ(perm.empty() ? untouched : perm, t::snap(p));
    EXPECT_BITS(parity, par);
  }
}

void check(const std::string &kind, const std::vector<Field> &f) {
  const Matrix_d a = mat(f[1]);
  const unsigned int n = a.SizeRow();
  if (kind == "lu" || kind == "factor") {
    expect_lu(a, 1, t::snap(mat(f[2])), t::snap(seq<Seq<unsigned int>>(f[3])), f[4].v[0]);
    EXPECT_FALSE(a.IsSingular());
  } else if (kind == "zerorow") {
    expect_lu(a, 0, t::snap(a), t::Snap(), 1.0);
    EXPECT_TRUE(a.IsSingular());
    EXPECT_BITS(f[2].v[0], a.det());
  } else if (kind == "solve") {
    Seq<unsigned int> p = seq<Seq<unsigned int>>(f[2]);
    Vector<double> x = seq<Vector<double>>(f[3]);
    a.LUs(p, x);
    EXPECT_SAME(seq<Vector<double>>(f[4]), x);
  } else if (kind == "dot") {
    const Matrix_d row = mat({1, static_cast<unsigned int>(f[1].v.size()), f[1].v}),
                   col = mat({static_cast<unsigned int>(f[2].v.size()), 1, f[2].v});
    const Vector<double> x = seq<Vector<double>>(f[2]);
    Matrix_d r(1, 1);
    Vector<double> y(1);
    t::poison(r), t::poison(y);
    EXPECT_TRUE(row.Molt(r, col) && row.Molt(y, x));
    const Matrix_d op = row * col;
    const Vector<double> opv = row * x;
    for (const double *got : std::initializer_list<const double *>{&r(0, 0), &y[0], &op(0, 0), &opv[0]}) {
      EXPECT_BITS(f[3].v[0], *got);
    }
  } else { // element-wise: into a fresh target, into the operand itself, and by the operator
    const Matrix_d b = mat(f[2]);
    const double &k = f[2].v.empty() ? t::inf : f[2].v[0];
    const bool sum = kind == "sum", sub = kind == "sub", scale = kind == "scale";
    Matrix_d r(n, a.SizeCol()), self(a);
    t::poison(r);
    EXPECT_TRUE(sum     ? a.Sum(r, b) && self.Sum(self, b)
                : sub   ? a.Sub(r, b) && self.Sub(self, b)
                : scale ? a.Molt(r, k) && self.Molt(self, k)
                        : a.Neg(r) && self.Neg(self));
    const Matrix_d op = sum ? a + b : sub ? a - b : scale ? a * k : -a;
    for (const Matrix_d *m : std::initializer_list<const Matrix_d *>{&r, &self, &op}) {
      EXPECT_SAME(mat(f[3]), *m);
    }
  }
  if (kind == "lu") {
    EXPECT_BITS(f[5].v[0], a.det());
    const Matrix_d inv = mat(f[6]);
    EXPECT_SAME(inv, a.inv());
    // Column j of the inverse is the solution for the j-th unit vector.
    Matrix_d lu(n, n);
    Seq<unsigned int> p(n);
    double parity;
    ASSERT_EQ(1, a.LU(lu, p, parity));
    for (unsigned int j = 0; j < n; ++j) {
      Vector<double> x(n);
      for (unsigned int i = 0; i < n; ++i) {
        x[i] = i == j ? 1.0 : 0.0;
      }
      lu.LUs(p, x);
      for (unsigned int i = 0; i < n; ++i) {
        EXPECT_BITS(inv(i, j), x[i]) << "LUs, column " << j;
      }
    }
  }
}

TEST(Numerics, WorkedValues) {
  std::ifstream in(TOVRA_WORKED_FILE);
  int count = 0;
  for (std::string line, kind, text; std::getline(in, line);) {
    std::istringstream fields(line);
    if (line.empty() || line[0] == '#' || !std::getline(fields, kind, ';')) {
      continue;
    }
    std::vector<Field> f(1); // field 0 is the kind
    while (std::getline(fields, text, ';') || f.size() < 8) {
      std::istringstream words(fields ? text : "");
      f.push_back({0, 0, {}});
      for (std::string w; words >> w;) {
        if (w == "/") {
          ++f.back().rows;
        } else {
          f.back().v.push_back(std::strtod(w.c_str(), nullptr));
        }
      }
      f.back().rows += !f.back().v.empty();
      f.back().cols = f.back().rows ? static_cast<unsigned int>(f.back().v.size()) / f.back().rows : 0;
      text.clear();
    }
    SCOPED_TRACE(line);
    check(kind, f), ++count;
  }
  EXPECT_GE(count, 72) << TOVRA_WORKED_FILE;
}

// Each shape test of every named operation failing alone, then several at
// once, for the operations named by the letters of ops: + Sum, - Sub, n Neg,
// s Molt by a scalar, d Dup, = assignment, * Molt by a matrix, v Molt by a
// vector, L LU, S LUs. The operand is a, the target r; b is the right
// operand, and its row count is the length of x and of the permutation; the
// target's row count is the length of y (LUs' right-hand side).
struct Refusal {
  const char *ops;
  unsigned int a[2], b[2], r[2];
};
const Refusal refusals[] = {
    {"+-", {2, 3}, {2, 4}, {2, 3}},   {"+-", {2, 3}, {3, 3}, {2, 3}},   {"+-", {2, 4}, {2, 3}, {2, 3}},
    {"+-", {3, 3}, {2, 3}, {2, 3}},   {"+-", {0, 3}, {0, 3}, {3, 0}},   {"nsd=", {2, 3}, {0, 0}, {3, 2}},
    {"nsd=", {2, 3}, {0, 0}, {2, 2}}, {"nsd=", {0, 3}, {0, 0}, {0, 5}}, {"*", {2, 3}, {2, 4}, {2, 4}},
    {"*", {2, 3}, {3, 4}, {3, 4}},    {"*", {2, 3}, {3, 4}, {2, 5}},    {"*", {2, 0}, {0, 3}, {2, 0}},
    {"v", {2, 3}, {2, 0}, {2, 0}},    {"v", {2, 3}, {3, 0}, {3, 0}},    {"v", {3, 0}, {0, 0}, {2, 0}},
    {"L", {2, 2}, {2, 0}, {2, 3}},    {"L", {2, 2}, {2, 0}, {3, 3}},    {"L", {3, 2}, {2, 0}, {2, 2}},
    {"L", {2, 3}, {3, 0}, {3, 3}},    {"L", {2, 2}, {3, 0}, {2, 2}},    {"L", {2, 2}, {0, 0}, {2, 2}},
    {"L", {0, 0}, {1, 0}, {0, 0}},    {"S", {2, 3}, {3, 0}, {3, 0}},    {"S", {3, 2}, {2, 0}, {2, 0}},
    {"S", {2, 2}, {3, 0}, {2, 0}},    {"S", {2, 2}, {1, 0}, {2, 0}},    {"S", {2, 2}, {2, 0}, {3, 0}},
    {"S", {2, 2}, {2, 0}, {1, 0}},    {"S", {0, 0}, {0, 0}, {1, 0}},
};

TEST(Numerics, RefusedCallsWriteNothing) {
  for (const Refusal &s : refusals) {
    for (const char *op = s.ops; *op; ++op) {
      Matrix_d a(s.a[0], s.a[1]), b(s.b[0], s.b[1]), r(s.r[0], s.r[1]);
      Vector<double> x(s.b[0]), y(s.r[0]);
      Seq<unsigned int> p(s.b[0]);
      double parity;
      t::poison(b), t::poison(r), t::poison(x), t::poison(y), t::set_bits(parity, t::marker);
      for (unsigned int i = 0; i < s.a[0] * s.a[1]; ++i) {
        a(i / s.a[1], i % s.a[1]) = 1.0 + i % s.a[1] + 2.0 * (i / s.a[1]); // would factor
      }
      for (unsigned int i = 0; i < p.Size(); ++i) {
        p[i] = *op == 'S' ? 0 : 7; // an exchange list that LUs could use
      }
      auto state = [&] {
        return std::vector<t::Snap>{t::snap(a), t::snap(b), t::snap(r),     t::snap(x),
                                    t::snap(y), t::snap(p), t::snap(parity)};
      };
      const std::vector<t::Snap> before = state();
      EXPECT_TRUE(*op == '+'   ? !a.Sum(r, b)
                  : *op == '-' ? !a.Sub(r, b)
                  : *op == 'n' ? !a.Neg(r)
                  : *op == 's' ? !a.Molt(r, 2.0)
                  : *op == 'd' ? !r.Dup(a)
                  : *op == '=' ? !(r = a)
                  : *op == '*' ? !a.Molt(r, b)
                  : *op == 'v' ? !a.Molt(y, x)
                  : *op == 'L' ? a.LU(r, p, parity) == -1
                               : (a.LUs(p, y), true));
      EXPECT_EQ(before, state()) << *op << " a " << s.a[0] << "x" << s.a[1] << ", b " << s.b[0] << "x"
                                 << s.b[1] << ", target " << s.r[0] << "x" << s.r[1];
    }
  }
}

// The library's choices where the rules leave a result open: quiet NaNs in
// the prescribed shape.
TEST(Numerics, ResultsOfOperandsThatDoNotFit) {
  const Matrix_d a(2, 3), b(2, 2), c(3, 4), zero_row = t::mat({{1, 2}, {0, 0}});
  EXPECT_FALSE(a.IsSingular());
  const double d = a.det();
  const Vector<double> y = a * Vector<double>(2);
  ASSERT_EQ(2u, y.Size());
  const Matrix_d results[] = {t::mat({{d, y[0], y[1]}}), a.inv(), zero_row.inv(), a + b, a - b, a * b, c * a};
  const unsigned int shapes[][2] = {{1, 3}, {2, 3}, {2, 2}, {2, 3}, {2, 3}, {2, 2}, {3, 3}};
  for (int k = 0; k < 7; ++k) {
    const Matrix_d &m = results[k];
    EXPECT_TRUE(m.SizeRow() == shapes[k][0] && m.SizeCol() == shapes[k][1]) << k;
    for (unsigned int i = 0; i < m.SizeRow() * m.SizeCol(); ++i) {
      EXPECT_EQ(t::quiet, t::bits(m(i / m.SizeCol(), i % m.SizeCol())) & t::quiet) << k;
    }
  }
}

} // namespace
