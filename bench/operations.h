// SPDX-License-Identifier: MIT
// The operations the path benchmarks time (bench_paths.cpp with Google
// Benchmark, time_paths.cpp without it, for WebAssembly), on the inputs of
// inputs.h: each as run<A>(), its kernels forced onto arithmetic A with the
// allocations and scans the public member makes on that path, and as
// run_default(), the public member itself in the default state. Every call
// keeps one value of its result, so that none can be dropped.
#ifndef TOVRA_BENCH_OPERATIONS_H
#define TOVRA_BENCH_OPERATIONS_H

#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "arith/arith.h"
#include "fp_state.h"
#include "inputs.h"
#include "kernels/kernels.h"

namespace bench_ops {

using namespace tovra_detail;

inline void keep(double x) {
  static volatile double sink;
  sink = x;
}

// The signalling-NaN scan the library makes before the x87 path only.
template <class A> bool scanned(const Matrix_d &m) {
#if TOVRA_HAVE_X87
  if (std::is_same<A, X87>::value) {
    bool clean = true;
    for (unsigned int r = 0; r < m.SizeRow(); ++r) {
      clean = no_signalling_nan(&m(r, 0), m.SizeCol()) && clean;
    }
    return clean;
  }
#endif
  (void)m;
  return true;
}

// LU as the member runs it: its scale vector, the scan, the copy, the
// factorisation.
template <class A> int lu_of(const Matrix_d &src, Matrix_d &f, Seq<unsigned int> &perm, double &parity) {
  Vector<double> scale(src.SizeRow());
  keep(scanned<A>(src));
  f = src;
  parity = 1.0;
  return factor<A>(f, perm, parity, scale);
}

struct Product {
  static constexpr const char *name = "product";
  Matrix_d a, b, res;
  explicit Product(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  Task task() const { return product_task(a.SizeRow(), a.SizeCol(), b.SizeCol()); }
  template <class A> void run() {
    multiply<A>(a, b, res);
    keep(res(0, 0));
  }
  void run_default() {
    a.Molt(res, b);
    keep(res(0, 0));
  }
};

struct Lu {
  static constexpr const char *name = "LU";
  Matrix_d a, f;
  Seq<unsigned int> perm;
  double parity = 1.0;
  explicit Lu(unsigned int n) : a(inputs::matrix(n, n, 1)), f(n, n), perm(n) {}
  Task task() const { return tovra_detail::task(Work::factor, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() { keep(lu_of<A>(a, f, perm, parity)); }
  void run_default() { keep(a.LU(f, perm, parity)); }
};

struct Det {
  static constexpr const char *name = "det";
  Matrix_d a;
  explicit Det(unsigned int n) : a(inputs::matrix(n, n, 1)) {}
  Task task() const { return tovra_detail::task(Work::determinant, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    Matrix_d work(a.SizeRow(), a.SizeCol());
    Seq<unsigned int> perm(a.SizeRow());
    double d;
    lu_of<A>(a, work, perm, d);
    determinant<A>(work, d, d);
    keep(d);
  }
  void run_default() { keep(a.det()); }
};

struct Inv {
  static constexpr const char *name = "inv";
  Matrix_d a;
  explicit Inv(unsigned int n) : a(inputs::matrix(n, n, 1)) {}
  Task task() const { return tovra_detail::task(Work::inverse, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    const unsigned int n = a.SizeRow();
    Matrix_d work(n, n), res(n, n);
    Vector<double> col(n);
    Seq<unsigned int> perm(n);
    double parity;
    lu_of<A>(a, work, perm, parity);
    invert<A>(work, perm, res, col);
    keep(res(0, 0));
  }
  void run_default() {
    Matrix_d r = a.inv();
    keep(r(0, 0));
  }
};

struct Lus {
  static constexpr const char *name = "LUs";
  Matrix_d f;
  Seq<unsigned int> perm;
  Vector<double> b, x;
  explicit Lus(unsigned int n) : f(n, n), perm(n), b(inputs::vector(n, 3)), x(n) {
    double parity;
    inputs::matrix(n, n, 1).LU(f, perm, parity);
  }
  Task task() const { return tovra_detail::task(Work::substitute, f.SizeRow(), f.SizeCol()); }
  template <class A> void run() {
    x = b;
    keep(scanned<A>(f) && (x.Size() == 0 || no_signalling_nan(&x[0], x.Size())));
    substitute<A>(f, perm, x);
    keep(x[0]);
  }
  void run_default() {
    x = b;
    f.LUs(perm, x);
    keep(x[0]);
  }
};

struct MatVec {
  static constexpr const char *name = "matvec";
  Matrix_d a;
  Vector<double> x, y;
  explicit MatVec(unsigned int n) : a(inputs::matrix(n, n, 1)), x(inputs::vector(n, 3)), y(n) {}
  Task task() const { return tovra_detail::task(Work::matrix_vector, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    multiply<A>(a, x, y);
    keep(y[0]);
  }
  void run_default() {
    a.Molt(y, x);
    keep(y[0]);
  }
};

// The element-wise operations: a kernel of kernels.h and the member that
// calls it, over the same operands.
struct Sum {
  static constexpr const char *name = "Sum";
  Matrix_d a, b, res;
  explicit Sum(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  Task task() const { return tovra_detail::task(Work::elementwise, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    add<A>(a, b, res);
    keep(res(0, 0));
  }
  void run_default() {
    a.Sum(res, b);
    keep(res(0, 0));
  }
};

struct Sub : Sum {
  static constexpr const char *name = "Sub";
  using Sum::Sum;
  template <class A> void run() {
    subtract<A>(a, b, res);
    keep(res(0, 0));
  }
  void run_default() {
    a.Sub(res, b);
    keep(res(0, 0));
  }
};

struct Scale : Sum {
  static constexpr const char *name = "Scale";
  double s = 0.7;
  using Sum::Sum;
  template <class A> void run() {
    scale<A>(a, s, res);
    keep(res(0, 0));
  }
  void run_default() {
    a.Molt(res, s);
    keep(res(0, 0));
  }
};

// Calls f with a null pointer to each operation, in the tables' order.
template <class F> void for_each_operation(F f) {
  f(static_cast<Product *>(nullptr));
  f(static_cast<Lu *>(nullptr));
  f(static_cast<Det *>(nullptr));
  f(static_cast<Inv *>(nullptr));
  f(static_cast<Lus *>(nullptr));
  f(static_cast<MatVec *>(nullptr));
  f(static_cast<Sum *>(nullptr));
  f(static_cast<Sub *>(nullptr));
  f(static_cast<Scale *>(nullptr));
}

#if TOVRA_HAVE_FAST_FMA
// The layer Fma takes on this processor, as a path name; ask in the default
// state.
inline std::string fma_layer() {
#if defined(TOVRA_FMA_AVX512)
  return cpu_has_avx512() ? "fma-avx512" : "fma-avx2";
#elif defined(TOVRA_FMA_AVX)
  return "fma-avx2";
#elif defined(TOVRA_FMA_NEON)
  return "fma-neon";
#elif defined(TOVRA_FMA_DEKKER)
  return "fma-dekker";
#else
  return "fma-scalar";
#endif
}
#endif

// The path the default state takes for the task, by the library's own test.
inline std::string default_path(Task task) {
  const fp_state::Scope host(fp_state::standard());
  std::string path = "integer";
#if TOVRA_HAVE_FAST_FMA
  if (fma_state_is_default()) {
    path = fma_layer();
  }
#endif
#if TOVRA_HAVE_X87
#if TOVRA_HAVE_FAST_FMA
  if (x87_state_is_default() && !(fma_pays(task) && fma_state_is_default())) {
#else
  if (x87_state_is_default()) {
#endif
    path = "x87";
  }
#endif
  (void)task;
  return path;
}

// A list of orders such as "8,12,24"; empty when it is not one.
inline std::vector<int> parse_orders(const char *s) {
  std::vector<int> list;
  for (char *end; *s != '\0'; s = *end == ',' ? end + 1 : end) {
    const long n = std::strtol(s, &end, 10);
    if (end == s || n < 1) {
      return {};
    }
    list.push_back(static_cast<int>(n));
  }
  return list;
}

} // namespace bench_ops

#endif
