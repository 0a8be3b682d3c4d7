// SPDX-License-Identifier: MIT
// Eigen as a peer (SSE2 doubles: its results differ from the library's in
// the last bits; it shows what the same work costs without extended
// precision and per-term rounding).
#include <benchmark/benchmark.h>

#include <Eigen/Dense>

namespace {

const int all_sizes[] = {4, 16, 64, 256, 512, 1024};

Eigen::MatrixXd random_matrix(int n) {
  std::srand(1);
  return Eigen::MatrixXd::Random(n, n);
}

void product(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::MatrixXd a = random_matrix(n), b = Eigen::MatrixXd::Random(n, n);
  Eigen::MatrixXd c(n, n);
  for (auto _ : state) {
    c.noalias() = a * b;
    benchmark::ClobberMemory();
  }
}

void matvec(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::MatrixXd a = random_matrix(n);
  const Eigen::VectorXd x = Eigen::VectorXd::Random(n);
  Eigen::VectorXd y(n);
  for (auto _ : state) {
    y.noalias() = a * x;
    benchmark::ClobberMemory();
  }
}

void lu(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::MatrixXd a = random_matrix(n);
  Eigen::PartialPivLU<Eigen::MatrixXd> f(n);
  for (auto _ : state) {
    f.compute(a);
    benchmark::ClobberMemory();
  }
}

void lus(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::PartialPivLU<Eigen::MatrixXd> f(random_matrix(n));
  const Eigen::VectorXd b = Eigen::VectorXd::Random(n);
  Eigen::VectorXd x(n);
  for (auto _ : state) {
    x = f.solve(b);
    benchmark::ClobberMemory();
  }
}

void det(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::MatrixXd a = random_matrix(n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.partialPivLu().determinant());
  }
}

void inv(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::MatrixXd a = random_matrix(n);
  for (auto _ : state) {
    Eigen::MatrixXd r = a.partialPivLu().inverse();
    benchmark::DoNotOptimize(r(0, 0));
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
  add("product/eigen", product);
  add("matvec/eigen", matvec);
  add("LU/eigen", lu);
  add("LUs/eigen", lus);
  add("det/eigen", det);
  add("inv/eigen", inv);
  return 0;
}();

} // namespace
