// SPDX-License-Identifier: MIT
// The reference BLAS and LAPACK (Fortran, column-major) as peers: dgemm,
// dgemv, dgetrf, dgetrs and dgetri on the same pseudo-random operands.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

extern "C" {
void dgemm_(const char *ta, const char *tb, const int *m, const int *n, const int *k, const double *alpha,
            const double *a, const int *lda, const double *b, const int *ldb, const double *beta, double *c,
            const int *ldc);
void dgemv_(const char *t, const int *m, const int *n, const double *alpha, const double *a, const int *lda,
            const double *x, const int *incx, const double *beta, double *y, const int *incy);
void dgetrf_(const int *m, const int *n, double *a, const int *lda, int *ipiv, int *info);
void dgetrs_(const char *t, const int *n, const int *nrhs, const double *a, const int *lda, const int *ipiv,
             double *b, const int *ldb, int *info);
void dgetri_(const int *n, double *a, const int *lda, const int *ipiv, double *work, const int *lwork,
             int *info);
}

namespace {

const int all_sizes[] = {4, 16, 64, 256, 512, 1024};

std::vector<double> random_values(int count, unsigned int seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> v(static_cast<size_t>(count));
  for (double &x : v) {
    x = dist(gen);
  }
  return v;
}

void product(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> a = random_values(n * n, 1), b = random_values(n * n, 2);
  std::vector<double> c(static_cast<size_t>(n) * n);
  const double one = 1.0, zero = 0.0;
  for (auto _ : state) {
    dgemm_("N", "N", &n, &n, &n, &one, a.data(), &n, b.data(), &n, &zero, c.data(), &n);
    benchmark::ClobberMemory();
  }
}

void matvec(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> a = random_values(n * n, 1), x = random_values(n, 3);
  std::vector<double> y(static_cast<size_t>(n));
  const double one = 1.0, zero = 0.0;
  const int inc = 1;
  for (auto _ : state) {
    dgemv_("N", &n, &n, &one, a.data(), &n, x.data(), &inc, &zero, y.data(), &inc);
    benchmark::ClobberMemory();
  }
}

void lu(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> a = random_values(n * n, 1);
  std::vector<double> f(a.size());
  std::vector<int> piv(static_cast<size_t>(n));
  int info;
  for (auto _ : state) {
    f = a;
    dgetrf_(&n, &n, f.data(), &n, piv.data(), &info);
    benchmark::ClobberMemory();
  }
}

void lus(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<double> f = random_values(n * n, 1);
  std::vector<int> piv(static_cast<size_t>(n));
  int info;
  dgetrf_(&n, &n, f.data(), &n, piv.data(), &info);
  const std::vector<double> b = random_values(n, 3);
  std::vector<double> x(b.size());
  const int one = 1;
  for (auto _ : state) {
    x = b;
    dgetrs_("N", &n, &one, f.data(), &n, piv.data(), x.data(), &n, &info);
    benchmark::ClobberMemory();
  }
}

void det(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> a = random_values(n * n, 1);
  std::vector<double> f(a.size());
  std::vector<int> piv(static_cast<size_t>(n));
  int info;
  for (auto _ : state) {
    f = a;
    dgetrf_(&n, &n, f.data(), &n, piv.data(), &info);
    double d = 1.0;
    for (int i = 0; i < n; ++i) {
      d *= piv[static_cast<size_t>(i)] != i + 1 ? -f[static_cast<size_t>(i) * n + i]
                                                : f[static_cast<size_t>(i) * n + i];
    }
    benchmark::DoNotOptimize(d);
  }
}

void inv(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> a = random_values(n * n, 1);
  std::vector<double> f(a.size()), work(static_cast<size_t>(n) * 64);
  std::vector<int> piv(static_cast<size_t>(n));
  const int lwork = n * 64;
  int info;
  for (auto _ : state) {
    f = a;
    dgetrf_(&n, &n, f.data(), &n, piv.data(), &info);
    dgetri_(&n, f.data(), &n, piv.data(), work.data(), &lwork, &info);
    benchmark::ClobberMemory();
  }
}

void add(const char *name, void (*body)(benchmark::State &)) {
  auto *b = benchmark::RegisterBenchmark(name, body);
  for (int n : all_sizes) {
    b->Arg(n);
  }
  b->Unit(benchmark::kMicrosecond);
}

int registered = [] {
  add("product/lapack", product);
  add("matvec/lapack", matvec);
  add("LU/lapack", lu);
  add("LUs/lapack", lus);
  add("det/lapack", det);
  add("inv/lapack", inv);
  return 0;
}();

} // namespace
