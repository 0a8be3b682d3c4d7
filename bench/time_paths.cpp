// SPDX-License-Identifier: MIT
// The operations of bench_paths.cpp, on the same inputs, timed without
// Google Benchmark, so that the same program builds natively and for
// WebAssembly (Emscripten, run under Node) and the two can be compared on
// one machine: scripts/bench-wasm.sh builds both, runs them in turn and
// divides. Each operation is timed on every path the build has: "x87"
// (forced), the fused multiply-add layer (forced, "fma-avx512",
// "fma-scalar", "fma-dekker", ...) and "default" (the public member in the
// default state, whatever path it takes there). Output, one line each:
//   <operation> <n> <path> <nanoseconds per call>
// the median of the repetitions, each timing enough calls to last the
// minimum time. Wall-clock time, the clock both builds have: under Node a
// process's CPU time is not to be had.
//
//   tovra_time_paths [--orders=4,16,64,256,512] [--reps=5] [--min-ms=20] [--ops=product,LU,...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "arith/arith.h"
#include "fp_state.h"
#include "inputs.h"
#include "kernels/kernels.h"

namespace {

using namespace tovra_detail;

// Every call leaves one result element here, so that none can be dropped.
volatile double sink;

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
  sink = scanned<A>(src);
  f = src;
  parity = 1.0;
  return factor<A>(f, perm, parity, scale);
}

// The operations, as in bench_paths.cpp: run<A>() forced onto arithmetic A,
// run_default() the public member.
struct Product {
  static constexpr const char *name = "product";
  Matrix_d a, b, res;
  explicit Product(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  template <class A> void run() {
    multiply<A>(a, b, res);
    sink = res(0, 0);
  }
  void run_default() {
    a.Molt(res, b);
    sink = res(0, 0);
  }
};

struct Lu {
  static constexpr const char *name = "LU";
  Matrix_d a, f;
  Seq<unsigned int> perm;
  double parity = 1.0;
  explicit Lu(unsigned int n) : a(inputs::matrix(n, n, 1)), f(n, n), perm(n) {}
  template <class A> void run() { sink = lu_of<A>(a, f, perm, parity); }
  void run_default() { sink = a.LU(f, perm, parity); }
};

struct Det {
  static constexpr const char *name = "det";
  Matrix_d a;
  explicit Det(unsigned int n) : a(inputs::matrix(n, n, 1)) {}
  template <class A> void run() {
    Matrix_d work(a.SizeRow(), a.SizeCol());
    Seq<unsigned int> perm(a.SizeRow());
    double d;
    lu_of<A>(a, work, perm, d);
    determinant<A>(work, d, d);
    sink = d;
  }
  void run_default() { sink = a.det(); }
};

struct Inv {
  static constexpr const char *name = "inv";
  Matrix_d a;
  explicit Inv(unsigned int n) : a(inputs::matrix(n, n, 1)) {}
  template <class A> void run() {
    const unsigned int n = a.SizeRow();
    Matrix_d work(n, n), res(n, n);
    Vector<double> col(n);
    Seq<unsigned int> perm(n);
    double parity;
    lu_of<A>(a, work, perm, parity);
    invert<A>(work, perm, res, col);
    sink = res(0, 0);
  }
  void run_default() {
    Matrix_d r = a.inv();
    sink = r(0, 0);
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
  template <class A> void run() {
    x = b;
    sink = scanned<A>(f) && (x.Size() == 0 || no_signalling_nan(&x[0], x.Size()));
    substitute<A>(f, perm, x);
    sink = x[0];
  }
  void run_default() {
    x = b;
    f.LUs(perm, x);
    sink = x[0];
  }
};

struct MatVec {
  static constexpr const char *name = "matvec";
  Matrix_d a;
  Vector<double> x, y;
  explicit MatVec(unsigned int n) : a(inputs::matrix(n, n, 1)), x(inputs::vector(n, 3)), y(n) {}
  template <class A> void run() {
    multiply<A>(a, x, y);
    sink = y[0];
  }
  void run_default() {
    a.Molt(y, x);
    sink = y[0];
  }
};

struct Sum {
  static constexpr const char *name = "Sum";
  Matrix_d a, b, res;
  explicit Sum(unsigned int n) : a(inputs::matrix(n, n, 1)), b(inputs::matrix(n, n, 2)), res(n, n) {}
  template <class A> void run() {
    add<A>(a, b, res);
    sink = res(0, 0);
  }
  void run_default() {
    a.Sum(res, b);
    sink = res(0, 0);
  }
};

struct Options {
  std::vector<int> orders{4, 16, 64, 256, 512};
  int reps = 5;
  double min_seconds = 0.02;
  std::string ops; // empty: all
};

#if TOVRA_HAVE_FAST_FMA
// The layer Fma::update_rows takes on this processor; ask in the default state.
const char *fma_layer() {
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

struct Path {
  std::string name;
  void (*run)(void *op);
  std::vector<double> ns; // per call, one per repetition
};

template <class Op, class A> void forced(void *op) { static_cast<Op *>(op)->template run<A>(); }
template <class Op> void by_default(void *op) { static_cast<Op *>(op)->run_default(); }

double seconds_of(void (*run)(void *), void *op, long calls) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < calls; ++i) {
    run(op);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Enough calls for the minimum time, found by doubling.
long calls_for(void (*run)(void *), void *op, double min_seconds) {
  long calls = 1;
  while (seconds_of(run, op, calls) < min_seconds && calls < (1L << 30)) {
    calls *= 2;
  }
  return calls;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t k = v.size() / 2;
  return v.size() % 2 ? v[k] : (v[k - 1] + v[k]) / 2;
}

// The paths of one operation at one order, their repetitions interleaved so
// that a busy spell of the machine falls on all of them alike.
template <class Op> void time_operation(const Options &opt, int n) {
  Op op(static_cast<unsigned int>(n));
  const fp_state::Scope host(fp_state::standard());
  std::vector<Path> paths;
#if TOVRA_HAVE_X87
  paths.push_back({"x87", forced<Op, X87>, {}});
#endif
#if TOVRA_HAVE_FAST_FMA
  if (fma_state_is_default()) {
    paths.push_back({fma_layer(), forced<Op, Fma>, {}});
  }
#endif
  paths.push_back({"default", by_default<Op>, {}});
  std::vector<long> calls;
  for (const Path &p : paths) {
    calls.push_back(calls_for(p.run, &op, opt.min_seconds));
  }
  for (int r = 0; r < opt.reps; ++r) {
    for (size_t i = 0; i < paths.size(); ++i) {
      paths[i].ns.push_back(seconds_of(paths[i].run, &op, calls[i]) * 1e9 / double(calls[i]));
    }
  }
  for (const Path &p : paths) {
    std::printf("%s %d %s %.6g\n", Op::name, n, p.name.c_str(), median(p.ns));
  }
  std::fflush(stdout);
}

template <class Op> void time_all(const Options &opt) {
  const std::string list = "," + opt.ops + ",";
  if (!opt.ops.empty() && list.find(std::string(",") + Op::name + ",") == std::string::npos) {
    return;
  }
  for (int n : opt.orders) {
    time_operation<Op>(opt, n);
  }
}

std::vector<int> parse_orders(const char *s) {
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

bool parse(int argc, char **argv, Options &opt) {
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    const auto value = [arg](const char *key) -> const char * {
      const size_t k = std::strlen(key);
      return std::strncmp(arg, key, k) == 0 ? arg + k : nullptr;
    };
    if (const char *v = value("--orders=")) {
      opt.orders = parse_orders(v);
      if (opt.orders.empty()) {
        return false;
      }
    } else if (const char *v = value("--reps=")) {
      opt.reps = std::atoi(v);
    } else if (const char *v = value("--min-ms=")) {
      opt.min_seconds = std::atof(v) / 1e3;
    } else if (const char *v = value("--ops=")) {
      opt.ops = v;
    } else {
      return false;
    }
  }
  return opt.reps > 0 && opt.min_seconds >= 0;
}

} // namespace

int main(int argc, char **argv) {
  Options opt;
  if (!parse(argc, argv, opt)) {
    std::fprintf(stderr,
                 "usage: %s [--orders=4,16,64,256,512] [--reps=5] [--min-ms=20] [--ops=product,LU,...]\n",
                 argv[0]);
    return 2;
  }
  time_all<Product>(opt);
  time_all<Lu>(opt);
  time_all<Det>(opt);
  time_all<Inv>(opt);
  time_all<Lus>(opt);
  time_all<MatVec>(opt);
  time_all<Sum>(opt);
  return 0;
}
