// SPDX-License-Identifier: MIT
// The numerics against values worked out independently of the library, and
// the shape rules of every named operation, on the cases of
// tests/data/worked.txt (whose header says what each kind of case holds).
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support.h"

namespace {

// A field of a case: its numbers, in rows of equal length.
struct Field {
  unsigned int rows, cols;
  std::vector<double> v;

  Matrix_d mat() const {
    Matrix_d m(rows, cols);
    for (unsigned int i = 0; i < v.size(); ++i) {
      std::memcpy(&m(i / cols, i % cols), &v[i], sizeof(double));
    }
    return m;
  }
  template <class T> Vector<T> vec() const {
    Vector<T> x(static_cast<unsigned int>(v.size()));
    for (unsigned int i = 0; i < v.size(); ++i) {
      x[i] = static_cast<T>(v[i]);
    }
    return x;
  }
  unsigned int dim(int i) const { return static_cast<unsigned int>(v[i]); }
};

// A number of the file. A NaN is made from its bits: a C library may drop
// the payload, and a sign applied by arithmetic is the engine's choice for
// a NaN (WebAssembly leaves it open).
double number(const std::string &w) {
  const bool minus = w[0] == '-';
  const char *body = w.c_str() + (minus || w[0] == '+');
  double d;
  if (std::strncmp(body, "nan", 3) == 0) {
    bitwise::set_bits(d, bitwise::quiet | (body[3] == '(' ? std::strtoull(body + 4, nullptr, 0) : 0));
  } else {
    d = std::strtod(body, nullptr);
  }
  bitwise::set_bits(d, bitwise::bits(d) | bitwise::u64(minus) << 63);
  return d;
}

// LU into fresh outputs full of marker bits, then in place: the result, the
// factors, the permutation (left untouched when perm is empty) and the parity.
void expect_lu(const Matrix_d &a, int result, const bitwise::Snap &factors, const bitwise::Snap &perm,
               double parity) {
  for (int in_place = 0; in_place < 2; ++in_place) {
    Matrix_d f(a.SizeRow(), a.SizeRow()), m(a);
    Seq<unsigned int> p(a.SizeRow());
    double par;
    bitwise::poison(f), bitwise::poison(p), bitwise::set_bits(par, bitwise::marker);
    const bitwise::Snap untouched = bitwise::snap(p);
    ASSERT_EQ(result, in_place ? m.LU(m, p, par) : a.LU(f, p, par)) << "in place: " << in_place;
    EXPECT_EQ(factors, bitwise::snap(in_place ? m : f));
    EXPECT_EQ(perm.empty() ? untouched : perm, bitwise::snap(p));
    EXPECT_BITS(parity, par);
  }
}

// The call op refused for the shapes of f, every object as it was after it.
void refuse(const std::string &op, const std::vector<Field> &f) {
  Matrix_d a(f[1].dim(0), f[1].dim(1)), b(f[2].dim(0), f[2].dim(1)), r(f[3].dim(0), f[3].dim(1));
  Vector<double> x(b.SizeRow()), y(r.SizeRow());
  Seq<unsigned int> p(b.SizeRow());
  double parity;
  bitwise::poison(b), bitwise::poison(r), bitwise::poison(x), bitwise::poison(y),
      bitwise::set_bits(parity, bitwise::marker);
  for (unsigned int i = 0; i < a.SizeRow() * a.SizeCol(); ++i) {
    a(i / a.SizeCol(), i % a.SizeCol()) = 1.0 + i % a.SizeCol() + 2.0 * (i / a.SizeCol()); // would factor
  }
  for (unsigned int i = 0; i < p.Size(); ++i) {
    p[i] = op == "lus" ? 0 : 7; // an exchange list that LUs could use
  }
  auto state = [&] {
    return std::vector<bitwise::Snap>{bitwise::snap(a),     bitwise::snap(b), bitwise::snap(r),
                                      bitwise::snap(x),     bitwise::snap(y), bitwise::snap(p),
                                      bitwise::snap(parity)};
  };
  const std::vector<bitwise::Snap> before = state();
  ASSERT_TRUE(op == "sum" || op == "sub" || op == "neg" || op == "scale" || op == "dup" || op == "assign" ||
              op == "product" || op == "matvec" || op == "lu" || op == "lus")
      << "unknown operation " << op;
  EXPECT_TRUE(op == "sum"       ? !a.Sum(r, b)
              : op == "sub"     ? !a.Sub(r, b)
              : op == "neg"     ? !a.Neg(r)
              : op == "scale"   ? !a.Molt(r, 2.0)
              : op == "dup"     ? !r.Dup(a)
              : op == "assign"  ? !(r = a)
              : op == "product" ? !a.Molt(r, b)
              : op == "matvec"  ? !a.Molt(y, x)
              : op == "lu"      ? a.LU(r, p, parity) == -1
                                : (a.LUs(p, y), true))
      << op;
  EXPECT_EQ(before, state()) << op;
}

void check(const std::string &kind, const std::vector<Field> &f) {
  if (kind.compare(0, 7, "refuse ") == 0) {
    std::istringstream ops(kind.substr(7));
    for (std::string op; ops >> op;) {
      refuse(op, f);
    }
    return;
  }
  const Matrix_d a = f[1].mat();
  const unsigned int n = a.SizeRow();
  if (kind == "lu" || kind == "factor") {
    expect_lu(a, 1, bitwise::snap(f[2].mat()), bitwise::snap(f[3].vec<unsigned int>()), f[4].v[0]);
    EXPECT_FALSE(a.IsSingular());
  } else if (kind == "zerorow") {
    expect_lu(a, 0, bitwise::snap(a), bitwise::Snap(), 1.0);
    EXPECT_TRUE(a.IsSingular());
    EXPECT_BITS(f[2].v[0], a.det());
  } else if (kind == "solve") {
    Vector<unsigned int> p = f[2].vec<unsigned int>();
    Vector<double> x = f[3].vec<double>();
    a.LUs(p, x);
    EXPECT_SAME(f[4].vec<double>(), x);
  } else if (kind == "dot") {
    const unsigned int k = static_cast<unsigned int>(f[1].v.size());
    const Matrix_d row = Field{1, k, f[1].v}.mat(), col = Field{k, 1, f[2].v}.mat();
    const Vector<double> x = f[2].vec<double>();
    Matrix_d r(1, 1);
    Vector<double> y(1);
    bitwise::poison(r), bitwise::poison(y);
    EXPECT_TRUE(row.Molt(r, col)) << "by a matrix";
    EXPECT_TRUE(row.Molt(y, x)) << "by a vector";
    const Matrix_d op = row * col;
    const Vector<double> opv = row * x;
    for (const double *got : std::initializer_list<const double *>{&r(0, 0), &y[0], &op(0, 0), &opv[0]}) {
      EXPECT_BITS(f[3].v[0], *got);
    }
  } else { // element-wise: into a fresh target, into the operand itself, and by the operator
    const Matrix_d b = f[2].mat();
    const double &k = f[2].v.empty() ? bitwise::inf : f[2].v[0];
    const bool sum = kind == "sum", sub = kind == "sub", scale = kind == "scale";
    Matrix_d r(n, a.SizeCol()), self(a);
    bitwise::poison(r);
    auto apply = [&](const Matrix_d &x, Matrix_d &target) {
      return sum ? x.Sum(target, b) : sub ? x.Sub(target, b) : scale ? x.Molt(target, k) : x.Neg(target);
    };
    EXPECT_TRUE(apply(a, r)) << "into a fresh target";
    EXPECT_TRUE(apply(self, self)) << "into the operand itself";
    const Matrix_d op = sum ? a + b : sub ? a - b : scale ? a * k : -a;
    for (const Matrix_d *m : std::initializer_list<const Matrix_d *>{&r, &self, &op}) {
      EXPECT_SAME(f[3].mat(), *m);
    }
  }
  if (kind == "lu") {
    EXPECT_BITS(f[5].v[0], a.det());
    EXPECT_SAME(f[6].mat(), a.inv());
  }
}

TEST(Numerics, WorkedValuesAndRefusals) {
  std::ifstream in(TOVRA_WORKED_FILE);
  int count = 0;
  for (std::string line, kind; std::getline(in, line);) {
    std::istringstream fields(line);
    if (line.empty() || line[0] == '#' || !std::getline(fields, kind, ';')) {
      continue;
    }
    std::vector<Field> f(1); // field 0 is the kind
    for (std::string text; f.size() < 8; text.clear()) {
      std::getline(fields, text, ';');
      std::istringstream words(text);
      f.push_back({0, 0, {}});
      for (std::string w; words >> w;) {
        if (w == "/") {
          ++f.back().rows;
        } else {
          f.back().v.push_back(number(w));
        }
      }
      f.back().rows += !f.back().v.empty();
      f.back().cols = f.back().rows ? static_cast<unsigned int>(f.back().v.size()) / f.back().rows : 0;
    }
    SCOPED_TRACE(line);
    check(kind, f), ++count;
  }
  EXPECT_GE(count, 100) << TOVRA_WORKED_FILE;
}

// Operands that cannot be combined, det and inv of a matrix that is not
// square, inv of one that cannot be factored: a result of the usual shape,
// every element a quiet NaN. IsSingular of a matrix that is not square is
// false.
TEST(Numerics, ResultsOfOperandsThatDoNotFit) {
  const Matrix_d a(2, 3), b(2, 2), c(3, 4), zero_row = bitwise::mat({{1, 2}, {0, 0}});
  EXPECT_FALSE(a.IsSingular());
  const double d = a.det();
  const Vector<double> y = a * Vector<double>(2);
  ASSERT_EQ(2u, y.Size());
  const Matrix_d results[] = {
      bitwise::mat({{d, y[0], y[1]}}), a.inv(), zero_row.inv(), a + b, a - b, a * b, c * a};
  const unsigned int shapes[][2] = {{1, 3}, {2, 3}, {2, 2}, {2, 3}, {2, 3}, {2, 2}, {3, 3}};
  for (int k = 0; k < 7; ++k) {
    const Matrix_d &m = results[k];
    EXPECT_EQ(shapes[k][0], m.SizeRow()) << k;
    EXPECT_EQ(shapes[k][1], m.SizeCol()) << k;
    for (unsigned int i = 0; i < m.SizeRow() * m.SizeCol(); ++i) {
      EXPECT_EQ(bitwise::quiet, bitwise::bits(m(i / m.SizeCol(), i % m.SizeCol())) & bitwise::quiet) << k;
    }
  }
}

} // namespace
