// The runner of the stand-in benchmark library: doubles the iteration count
// until a run lasts the minimum time, repeats, and prints the median time
// per iteration in nanoseconds, as a table or as Google Benchmark's JSON.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>

namespace benchmark {
namespace {

std::vector<std::unique_ptr<Benchmark>> &registry() {
  static std::vector<std::unique_ptr<Benchmark>> all;
  return all;
}

std::string filter = ".";
double min_time = 0.5;
int repetitions = 1;
bool json = false;

double time_once(Benchmark &b, std::int64_t arg, std::int64_t iterations) {
  State s(arg, iterations);
  b.body_(s);
  return s.seconds();
}

} // namespace

Benchmark *RegisterBenchmark(const char *name, void (*body)(State &)) {
  registry().emplace_back(new Benchmark(name, body));
  return registry().back().get();
}

void Initialize(int *argc, char **argv) {
  for (int i = 1; i < *argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&a](const char *key) { return a.substr(std::string(key).size()); };
    if (a.rfind("--benchmark_filter=", 0) == 0) {
      filter = value("--benchmark_filter=");
    } else if (a.rfind("--benchmark_min_time=", 0) == 0) {
      min_time = std::atof(value("--benchmark_min_time=").c_str());
    } else if (a.rfind("--benchmark_repetitions=", 0) == 0) {
      repetitions = std::max(1, std::atoi(value("--benchmark_repetitions=").c_str()));
    } else if (a == "--benchmark_format=json") {
      json = true;
    }
  }
}

size_t RunSpecifiedBenchmarks() {
  const std::regex re(filter);
  size_t count = 0;
  std::printf(json ? "{\n  \"benchmarks\": [\n" : "%-40s %16s %12s\n", "name", "ns/iteration", "iterations");
  for (auto &b : registry()) {
    std::vector<std::int64_t> args = b->args_;
    if (args.empty()) {
      args.push_back(-1);
    }
    for (std::int64_t arg : args) {
      const std::string name = arg < 0 ? b->name_ : b->name_ + "/" + std::to_string(arg);
      if (!std::regex_search(name, re)) {
        continue;
      }
      std::int64_t iterations = 1;
      while (time_once(*b, arg, iterations) < min_time && iterations < (std::int64_t(1) << 40)) {
        iterations *= 2;
      }
      std::vector<double> ns;
      for (int r = 0; r < repetitions; ++r) {
        ns.push_back(time_once(*b, arg, iterations) * 1e9 / static_cast<double>(iterations));
      }
      std::sort(ns.begin(), ns.end());
      const double median = ns[ns.size() / 2];
      if (json) {
        std::printf("%s    {\"name\": \"%s_median\", \"run_name\": \"%s\", \"run_type\": \"aggregate\", "
                    "\"aggregate_name\": \"median\", \"iterations\": %lld, \"real_time\": %.6g, "
                    "\"cpu_time\": %.6g, \"time_unit\": \"ns\"}",
                    count ? ",\n" : "", name.c_str(), name.c_str(), static_cast<long long>(iterations),
                    median, median);
      } else {
        std::printf("%-40s %16.1f %12lld\n", name.c_str(), median, static_cast<long long>(iterations));
      }
      ++count;
    }
  }
  if (json) {
    std::printf("\n  ]\n}\n");
  }
  return count;
}

void Shutdown() {}

} // namespace benchmark

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
