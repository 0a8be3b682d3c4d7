// libFuzzer target: the input chooses an operation, the shapes of its
// operands and targets (fitting or not) and every element's bits. The
// library must not crash or trip a sanitizer, must leave every bit of a
// refused target alone, and must produce exactly the model's results.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/bridge.h"

namespace {

using model::Mat;
using model::Vec;

void require(bool ok, const std::string &what) {
  if (!ok) {
    std::fprintf(stderr, "tovra fuzz: %s\n", what.c_str());
    std::abort();
  }
}
void same(const std::string &what, const std::string &diff) { require(diff.empty(), what + ": " + diff); }

// Untouched means every bit, NaN payloads included.
bool identical(const Vec &x, const Vec &y) {
  if (x.size() != y.size()) {
    return false;
  }
  for (unsigned i = 0; i < x.size(); ++i) {
    if (model::bits_of(x[i]) != model::bits_of(y[i])) {
      return false;
    }
  }
  return true;
}

struct Input {
  FuzzedDataProvider &p;

  unsigned dim() { return p.ConsumeIntegralInRange<unsigned>(0, 7); }
  double value() {
    static const double common[] = {0.0, -0.0,  1.0,   -1.0,      2.0,      0.5,
                                    3.0, 1e-20, 1e300, 0x1p-1074, INFINITY, NAN};
    const unsigned pick = p.ConsumeIntegral<unsigned char>();
    if (pick < 128) {
      return common[pick % 12];
    }
    if (pick < 192) { // small integers: exact pivots, ties and cancellations
      return static_cast<double>(static_cast<int>(pick % 17) - 8);
    }
    const std::uint64_t u = p.ConsumeIntegral<std::uint64_t>();
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
  }
  Vec vec(unsigned n) {
    Vec v(n);
    for (double &x : v) {
      x = value();
    }
    return v;
  }
  Mat mat(unsigned r, unsigned c) {
    Mat m(r, c);
    m.a = vec(r * c);
    return m;
  }
  // Mostly a given size, sometimes another one, so that refusals are reached.
  unsigned near(unsigned want) { return p.ConsumeIntegralInRange<unsigned>(0, 3) == 0 ? dim() : want; }
};

template <class F>
void elementwise(Input &in, const Mat &x, Mat (*model_op)(const Mat &, const Mat &), F op) {
  const Mat b = in.mat(in.near(x.r), in.near(x.c)), t = in.mat(in.near(x.r), in.near(x.c));
  const bool fits = model::fits_elementwise(x, b, t);
  Matrix_d res = model::to_lib(t);
  const bool ok = op(model::to_lib(x), res, model::to_lib(b));
  require(ok == fits, "element-wise flag");
  if (fits) {
    same("element-wise", model::differ(model_op(x, b), model::of_lib(res)));
  } else {
    require(identical(t.a, model::of_lib(res).a), "refused element-wise touched its target");
  }
}

void lu_family(Input &in, const Mat &x) {
  const unsigned tr = in.near(x.r), tc = in.near(tr), pn = in.near(x.c);
  Matrix_d target = model::to_lib(in.mat(tr, tc));
  const Mat before = model::of_lib(target);
  Seq<unsigned int> perm(pn);
  for (unsigned i = 0; i < pn; ++i) {
    perm[i] = 1000 + i;
  }
  double parity = 5.0;
  const int code = model::to_lib(x).LU(target, perm, parity);
  const bool fits = tc == tr && x.c == tr && x.r == x.c && pn == x.c;
  if (!fits) {
    require(code == -1 && parity == 5.0 && identical(before.a, model::of_lib(target).a), "refused LU");
    for (unsigned i = 0; i < pn; ++i) {
      require(perm[i] == 1000 + i, "refused LU touched the permutation");
    }
    return;
  }
  const model::Lu want = model::lu(x);
  require(code == want.code, "LU result " + std::to_string(code));
  same("LU factors", model::differ(want.f, model::of_lib(target)));
  same("LU parity", model::differ(Vec{want.parity}, Vec{parity}));
  for (unsigned i = 0; i < pn; ++i) {
    require(perm[i] == (code == 1 ? want.perm[i] : 1000 + i), "LU permutation");
  }
  const Vec b = in.vec(in.near(x.r));
  Vector<double> rhs = model::to_lib(b);
  if (code == 1) {
    target.LUs(perm, rhs);
    Vec sol = b;
    if (b.size() == x.r) {
      model::lus(want.f, want.perm, sol);
    }
    same("LUs", model::differ(sol, model::of_lib(rhs)));
  }
  same("det", model::differ(Vec{model::det(want)}, Vec{model::to_lib(x).det()}));
  same("inv", model::differ(model::inv(want), model::of_lib(model::to_lib(x).inv())));
  require(model::to_lib(x).IsSingular() == (want.code == 0), "IsSingular");
}

template <class M, class V> void fixed(Input &in) {
  const unsigned n = M().SizeRow();
  const Mat x = in.mat(n, n), y = in.mat(n, n);
  const double s = in.value();
  M a, b;
  model::copy_into(a, x);
  model::copy_into(b, y);
  same("fixed +", model::differ(model::sum(x, y), model::of_lib(a + b)));
  same("fixed -", model::differ(model::sub(x, y), model::of_lib(a - b)));
  same("fixed unary -", model::differ(model::neg(x), model::of_lib(-a)));
  same("fixed *", model::differ(model::product(x, y), model::of_lib(a * b)));
  same("fixed * scalar", model::differ(model::scale(x, s), model::of_lib(a * s)));
  V v;
  const unsigned len = in.near(n);
  if (len != n) {
    v.Redim(len);
  }
  const Vec w = in.vec(len);
  for (unsigned i = 0; i < len; ++i) {
    v[i] = w[i];
  }
  same("fixed * vector", model::differ(len == n ? model::product(x, w) : Vec(n, NAN), model::of_lib(a * v)));
  const Mat other = in.mat(in.near(n), in.near(n));
  const bool fits = other.r == n && other.c == n;
  require((a = model::to_lib(other)) == fits, "fixed assignment flag");
  require(identical(fits ? other.a : x.a, model::of_lib(a).a), "fixed assignment");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider p(data, size);
  Input in = {p};
  const unsigned op = p.ConsumeIntegralInRange<unsigned>(0, 9);
  const unsigned r = in.dim();
  const Mat x = in.mat(r, p.ConsumeBool() ? r : in.dim());
  const Matrix_d lx = model::to_lib(x);
  switch (op) {
  case 0:
    elementwise(in, x, model::sum,
                [](const Matrix_d &a, Matrix_d &t, const Matrix_d &b) { return a.Sum(t, b); });
    break;
  case 1:
    elementwise(in, x, model::sub,
                [](const Matrix_d &a, Matrix_d &t, const Matrix_d &b) { return a.Sub(t, b); });
    break;
  case 2: { // unary operations, into a target of any shape and in place
    const Mat t = in.mat(in.near(x.r), in.near(x.c));
    const double s = in.value();
    const bool fits = t.r == x.r && t.c == x.c;
    Matrix_d neg = model::to_lib(t), scaled = model::to_lib(t), self(lx);
    require(lx.Neg(neg) == fits && lx.Molt(scaled, s) == fits && self.Molt(self, s), "unary flags");
    same("Neg", model::differ(fits ? model::neg(x) : t, model::of_lib(neg)));
    same("Molt scalar", model::differ(fits ? model::scale(x, s) : t, model::of_lib(scaled)));
    same("Molt scalar in place", model::differ(model::scale(x, s), model::of_lib(self)));
    same("operator* scalar", model::differ(model::scale(x, s), model::of_lib(lx * s)));
    same("unary operator-", model::differ(model::neg(x), model::of_lib(-lx)));
    break;
  }
  case 3: { // products, named and operators
    const Mat b = in.mat(in.near(x.c), in.dim()), t = in.mat(in.near(x.r), in.near(b.c));
    const Vec v = in.vec(in.near(x.c)), y = in.vec(in.near(x.r));
    Matrix_d res = model::to_lib(t);
    Vector<double> ly = model::to_lib(y);
    const bool fits = model::fits_product(x, b, t), vfits = x.c == v.size() && y.size() == x.r;
    require(lx.Molt(res, model::to_lib(b)) == fits && lx.Molt(ly, model::to_lib(v)) == vfits,
            "product flags");
    same("Molt matrix", model::differ(fits ? model::product(x, b) : t, model::of_lib(res)));
    same("Molt vector", model::differ(vfits ? model::product(x, v) : y, model::of_lib(ly)));
    same("operator* matrix", model::differ(x.c == b.r ? model::product(x, b) : Mat(x.r, b.c, NAN),
                                           model::of_lib(lx * model::to_lib(b))));
    same("operator* vector", model::differ(x.c == v.size() ? model::product(x, v) : Vec(x.r, NAN),
                                           model::of_lib(lx * model::to_lib(v))));
    break;
  }
  case 4: { // operators + and - with operands of any shape
    const Mat b = in.mat(in.near(x.r), in.near(x.c));
    const bool fits = b.r == x.r && b.c == x.c;
    same("operator+",
         model::differ(fits ? model::sum(x, b) : Mat(x.r, x.c, NAN), model::of_lib(lx + model::to_lib(b))));
    same("operator-",
         model::differ(fits ? model::sub(x, b) : Mat(x.r, x.c, NAN), model::of_lib(lx - model::to_lib(b))));
    break;
  }
  case 5: { // writing over operands that are still being read
    const Mat b = in.mat(x.r, x.c);
    Matrix_d a1(lx), b1 = model::to_lib(b);
    require(a1.Sum(a1, b1) && lx.Sub(b1, b1), "in-place flags");
    same("Sum into this", model::differ(model::sum(x, b), model::of_lib(a1)));
    same("Sub into operand", model::differ(model::sub(x, b), model::of_lib(b1)));
    break;
  }
  case 6:
    lu_family(in, x);
    break;
  case 7: { // solving with factors or vectors of the wrong size leaves rhs alone
    Seq<unsigned int> perm(in.near(x.c));
    for (unsigned i = 0; i < perm.Size(); ++i) {
      perm[i] = 0;
    }
    const Vec b = in.vec(in.near(x.c));
    Vector<double> rhs = model::to_lib(b);
    if (x.r != x.c || perm.Size() != x.c || b.size() != x.c) {
      lx.LUs(perm, rhs);
      require(identical(b, model::of_lib(rhs)), "refused LUs touched its right-hand side");
    }
    break;
  }
  case 8:
    fixed<Matrix2x2_d, Vector2<double>>(in);
    fixed<Matrix3x3_d, Vector3<double>>(in);
    break;
  default:
    fixed<Matrix4x4_d, Vector4<double>>(in);
  }
  return 0;
}
