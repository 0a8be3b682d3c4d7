// SPDX-License-Identifier: MIT
// An old-style host program: only <tovra.h>, no C++11. It uses every public
// type and its main members. The compat tests compile it with g++ and clang++
// under every standard from C++98 to C++2b with warnings as errors; each build
// also links it against libtovra.so.1 as a C++98 program and runs it.
//
// With TOVRA_COMPAT_ALL_MEMBERS (syntax checks only) every member of every
// template is instantiated, so that no header line escapes the warnings.
#include <tovra.h>

#include <cstdio>

#ifdef TOVRA_COMPAT_ALL_MEMBERS
template class SeqBase<double>;
template class Seq<double>;
template class Vector<double>;
template class SeqBase<unsigned int>;
template class Seq<unsigned int>;
template class Vector<unsigned int>;
template class TableBase<double>;
template class Table<double>;
template class Vector2<double>;
template class Vector3<double>;
template class Vector4<double>;
#endif

static int failures = 0;

static void check(bool ok, const char *what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++failures;
  }
}

static void sequences() {
  Seq<double> s(3);
  s[0] = 1.0;
  s.v(1) = 2.0;
  s[2] = 3.0;
  Seq<double> copy(s);
  Seq<double> target(1);
  target.Dup(s);
  Seq<double> assigned(7);
  assigned = s;
  const Seq<double> &cs = copy;
  check(cs[2] == 3.0 && cs.v(1) == 2.0 && target.Size() == 3 && assigned[0] == 1.0, "Seq<double>");
  target.Redim(5);
  check(target.Size() == 5 && !target.IsEmpty(), "Redim");
  target.Empty();
  check(target.Size() == 0 && target.IsEmpty(), "Empty");

  Seq<unsigned int> p(2);
  p[0] = 1;
  p.v(1) = 0;
  check(p.Size() == 2 && p[0] == 1 && p.v(1) == 0, "Seq<unsigned int>");

  Vector<double> x(2);
  x[0] = 0.5;
  x[1] = -0.5;
  Vector<double> y(x);
  y = x;
  check(y.Size() == 2 && y[1] == -0.5, "Vector<double>");
}

static void tables() {
  Table<double> t(2, 3);
  t(1, 2) = 5.0;
  const Table<double> &ct = t;
  check(ct.v(1, 2) == 5.0 && ct(1, 2) == 5.0 && t.SizeRow() == 2 && t.SizeCol() == 3, "Table<double>");
}

static void matrices() {
  Matrix_d a(2, 2);
  a(0, 0) = 1.0;
  a(0, 1) = 2.0;
  a.v(1, 0) = 3.0;
  a.v(1, 1) = 4.0;
  Matrix_d b(a);
  Matrix_d c(2, 2);
  c.Zero();
  check(c.Dup(a) && (c = b) && c == a && !(c != a) && a.CmpMatrixSize(b), "Matrix_d copies");
  Matrix_d i(2, 3);
  i.Identity();
  check(i(1, 1) == 1.0 && i(1, 2) == 0.0, "Identity");

  Matrix_d r(2, 2);
  check(a.Sum(r, b) && a.Sub(r, b) && a.Neg(r) && a.Molt(r, 2.0) && a.Molt(r, b), "named arithmetic");
  Vector<double> x(2), y(2);
  x[0] = 1.0;
  x[1] = 1.0;
  check(a.Molt(y, x) && y[1] == 7.0, "Molt vector");
  Matrix_d s = a + b;
  s = a - b;
  s = -a;
  s = a * b;
  s = a * 3.0;
  Vector<double> ax = a * x;
  check(ax[0] == 3.0 && s(1, 1) == 12.0, "operators");
  check(a.trasp()(0, 1) == 3.0 && a.Sub(1, 0, 2, 2).SizeRow() == 1, "trasp, Sub");

  Matrix_d f(2, 2);
  Seq<unsigned int> p(2);
  double parity = 0.0;
  check(a.LU(f, p, parity) == 1, "LU");
  Vector<double> rhs(2);
  rhs[0] = 1.0;
  rhs[1] = 0.0;
  f.LUs(p, rhs);
  check(a.det() == -2.0 && !a.IsSingular() && a.inv().SizeCol() == 2, "det, inv, IsSingular");
}

static void fixed_size() {
  Matrix2x2_d m2;
  Matrix3x3_d m3;
  Matrix4x4_d m4;
  m2.Identity();
  m3.Identity();
  m4.Identity();
  Matrix2x2_d n2(m2);
  Matrix3x3_d n3(m3);
  Matrix4x4_d n4(m4);
  n2 = m2 + m2 - m2 * m2 * 2.0;
  n3 = -(m3 - m3);
  n4 = m4 * m4;
  Vector2<double> v2;
  Vector3<double> v3;
  Vector4<double> v4;
  v2[0] = v2[1] = 1.0;
  v3[0] = v3[1] = v3[2] = 1.0;
  v4[0] = v4[1] = v4[2] = v4[3] = 1.0;
  Vector2<double> u2 = m2 * v2;
  Vector3<double> u3 = m3 * v3;
  Vector4<double> u4 = m4 * v4;
  u2 = v2;
  u3 = v3;
  u4 = v4;
  Matrix_d general(3, 3);
  general.Identity();
  check((n3 = general) && !(n2 = general) && n4(3, 3) == 1.0, "fixed-size assignment");
  check(u2[1] == 1.0 && u3[2] == 1.0 && u4[3] == 1.0 && u4.Size() == 4 && n2(0, 0) == 0.0,
        "fixed-size operators");
}

int main() {
  sequences();
  tables();
  matrices();
  fixed_size();
  std::printf("%s\n", failures == 0 ? "host ok" : "host FAILED");
  return failures == 0 ? 0 : 1;
}
