// SPDX-License-Identifier: MIT
// The arithmetic paths side by side, in one run: each operation's kernels
// (compiled in) forced onto the x87 unit ("x87"), onto this build's fused
// multiply-add layer ("fma-avx512", "fma-avx2", "fma-neon", "fma-scalar":
// the build fixes the layer, see TOVRA_TEST_FMA_LAYER) and onto the integer
// arithmetic ("integer"), with the allocations and scans the public member
// makes on that path; and the public member itself in the default state,
// named after the path the library takes there for that operation and order
// ("default-x87", "default-fma-avx512", ...). Names are
// "paths/<operation>/<path>/<n>"; scripts/bench-paths.sh joins the runs of
// several builds into one table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "arith/arith.h"
#include "fp_state.h"
#include "inputs.h"
#include "kernels/kernels.h"

namespace {

using namespace tovra_detail;

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
  benchmark::DoNotOptimize(scanned<A>(src));
  f = src;
  parity = 1.0;
  return factor<A>(f, perm, parity, scale);
}

struct Product {
  static constexpr const char *name = "product";
  Matrix_d a, b, res;
  explicit Product(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  Task task() const { return product_task(a.SizeRow(), a.SizeCol(), b.SizeCol()); }
  template <class A> void run() { multiply<A>(a, b, res); }
  void run_default() { a.Molt(res, b); }
};

struct Lu {
  static constexpr const char *name = "LU";
  Matrix_d a, f;
  Seq<unsigned int> perm;
  double parity = 1.0;
  explicit Lu(unsigned int n) : a(inputs::matrix(n, n, 1)), f(n, n), perm(n) {}
  Task task() const { return tovra_detail::task(Work::factor, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() { benchmark::DoNotOptimize(lu_of<A>(a, f, perm, parity)); }
  void run_default() { benchmark::DoNotOptimize(a.LU(f, perm, parity)); }
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
    benchmark::DoNotOptimize(d);
  }
  void run_default() { benchmark::DoNotOptimize(a.det()); }
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
    benchmark::DoNotOptimize(&res(0, 0));
  }
  void run_default() {
    Matrix_d r = a.inv();
    benchmark::DoNotOptimize(&r(0, 0));
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
    benchmark::DoNotOptimize(scanned<A>(f) && (x.Size() == 0 || no_signalling_nan(&x[0], x.Size())));
    substitute<A>(f, perm, x);
    benchmark::ClobberMemory();
  }
  void run_default() {
    x = b;
    f.LUs(perm, x);
    benchmark::ClobberMemory();
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
    benchmark::ClobberMemory();
  }
  void run_default() {
    a.Molt(y, x);
    benchmark::ClobberMemory();
  }
};

struct Sum {
  static constexpr const char *name = "Sum";
  Matrix_d a, b, res;
  explicit Sum(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  Task task() const { return tovra_detail::task(Work::elementwise, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    add<A>(a, b, res);
    benchmark::ClobberMemory();
  }
  void run_default() {
    a.Sum(res, b);
    benchmark::ClobberMemory();
  }
};

struct Sub {
  static constexpr const char *name = "Sub";
  Matrix_d a, b, res;
  explicit Sub(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  Task task() const { return tovra_detail::task(Work::elementwise, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    subtract<A>(a, b, res);
    benchmark::ClobberMemory();
  }
  void run_default() {
    a.Sub(res, b);
    benchmark::ClobberMemory();
  }
};

struct Scale {
  static constexpr const char *name = "Scale";
  Matrix_d a, res;
  double s = 0.7;
  explicit Scale(unsigned int n) : a(inputs::matrix(n, n, 1)), res(n, n) {}
  Task task() const { return tovra_detail::task(Work::elementwise, a.SizeRow(), a.SizeCol()); }
  template <class A> void run() {
    scale<A>(a, s, res);
    benchmark::ClobberMemory();
  }
  void run_default() {
    a.Molt(res, s);
    benchmark::ClobberMemory();
  }
};

template <class Op, class A> void forced(benchmark::State &state) {
  Op op(static_cast<unsigned int>(state.range(0)));
  const fp_state::Scope host(fp_state::standard());
  for (auto _ : state) {
    op.template run<A>();
  }
}

template <class Op> void by_default(benchmark::State &state) {
  Op op(static_cast<unsigned int>(state.range(0)));
  const fp_state::Scope host(fp_state::standard());
  for (auto _ : state) {
    op.run_default();
  }
}

#if TOVRA_HAVE_FAST_FMA
// The layer Fma::update_rows takes on this processor; call in the default state.
std::string fma_layer() {
#if defined(TOVRA_FMA_AVX512)
  return cpu_has_avx512() ? "fma-avx512" : "fma-avx2";
#elif defined(TOVRA_FMA_AVX)
  return "fma-avx2";
#elif defined(TOVRA_FMA_NEON)
  return "fma-neon";
#else
  return "fma-scalar";
#endif
}
#endif

// The path the default state takes for the task, by the library's own test.
std::string default_path(Task task) {
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
  return "default-" + path;
}

// The orders measured: TOVRA_BENCH_ORDERS (e.g. "8,12,24,32,48"), to find
// where one path overtakes another, else those of the README's table.
std::vector<int> orders() {
  std::vector<int> list;
  if (const char *env = std::getenv("TOVRA_BENCH_ORDERS")) {
    for (char *end; *env != '\0'; env = *end == ',' ? end + 1 : end) {
      list.push_back(static_cast<int>(std::strtol(env, &end, 10)));
      if (end == env) {
        break;
      }
    }
  }
  return list.empty() ? std::vector<int>{4, 16, 64, 256, 512} : list;
}

template <class Op> void register_operation() {
  const std::string prefix = std::string("paths/") + Op::name + "/";
  for (int n : orders()) {
    const auto add = [&](const std::string &path, void (*run)(benchmark::State &)) {
      benchmark::RegisterBenchmark((prefix + path).c_str(), run)->Arg(n)->Unit(benchmark::kMicrosecond);
    };
#if TOVRA_HAVE_X87
    add("x87", forced<Op, X87>);
#endif
#if TOVRA_HAVE_FAST_FMA
    if (fma_state_is_default()) {
      add(fma_layer(), forced<Op, Fma>);
    }
#endif
    add("integer", forced<Op, Soft>);
    add(default_path(Op(static_cast<unsigned int>(n)).task()), by_default<Op>);
  }
}

const bool registered = [] {
  register_operation<Product>();
  register_operation<Lu>();
  register_operation<Det>();
  register_operation<Inv>();
  register_operation<Lus>();
  register_operation<MatVec>();
  register_operation<Sum>();
  register_operation<Sub>();
  register_operation<Scale>();
  return true;
}();

} // namespace
