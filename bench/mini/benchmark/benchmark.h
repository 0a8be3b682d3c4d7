// A stand-in for the few pieces of Google Benchmark that the suite uses, for
// targets where the library is not installed (the i386 build: the packaged
// libbenchmark is 64-bit only). Same flags where it knows them:
// --benchmark_filter=REGEX, --benchmark_min_time=SECONDS,
// --benchmark_repetitions=N (medians are reported), --benchmark_format=json.
#ifndef TOVRA_BENCH_MINI_BENCHMARK_H
#define TOVRA_BENCH_MINI_BENCHMARK_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond };

class State {
public:
  State(std::int64_t arg, std::int64_t iterations) : arg_(arg), left_(iterations) {}
  std::int64_t range(int) const { return arg_; }

  // Not trivial, so that the unused loop variable draws no warning.
  struct Value {
    ~Value() {}
  };
  class Iterator {
  public:
    explicit Iterator(State *s) : s_(s) {}
    Value operator*() const { return Value(); }
    Iterator &operator++() {
      --s_->left_;
      return *this;
    }
    bool operator!=(const Iterator &) const {
      if (s_->left_ > 0) {
        return true;
      }
      s_->stop_ = std::chrono::steady_clock::now();
      return false;
    }

  private:
    State *s_;
  };
  Iterator begin() {
    start_ = std::chrono::steady_clock::now();
    return Iterator(this);
  }
  Iterator end() { return Iterator(this); }
  double seconds() const { return std::chrono::duration<double>(stop_ - start_).count(); }

private:
  std::int64_t arg_;
  std::int64_t left_;
  std::chrono::steady_clock::time_point start_, stop_;
};

template <class T> inline void DoNotOptimize(T const &value) {
  __asm__ __volatile__("" : : "r,m"(value) : "memory");
}
template <class T> inline void DoNotOptimize(T &value) {
  __asm__ __volatile__("" : "+r,m"(value) : : "memory");
}
inline void ClobberMemory() { __asm__ __volatile__("" : : : "memory"); }

class Benchmark {
public:
  Benchmark(const char *name, void (*body)(State &)) : name_(name), body_(body) {}
  Benchmark *Arg(std::int64_t a) {
    args_.push_back(a);
    return this;
  }
  Benchmark *Unit(TimeUnit) { return this; }

  std::string name_;
  void (*body_)(State &);
  std::vector<std::int64_t> args_;
};

Benchmark *RegisterBenchmark(const char *name, void (*body)(State &));
void Initialize(int *argc, char **argv);
size_t RunSpecifiedBenchmarks();
void Shutdown();

} // namespace benchmark

#endif
