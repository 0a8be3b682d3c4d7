// SPDX-License-Identifier: MIT
// Every numeric result of a few hundred seeded cases against hashes computed
// once on x86: the same bits on every CPU, with either kernel set, in every
// floating-point state a host may set, which the library must leave as is.
//   golden_test --write FILE          regenerates the file (on x86 only)
//   golden_test --dump FAMILY N SEED  prints every output of one case
#include <cfenv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cases.h"

namespace {

using cases::u64;

struct Golden {
  int family;
  unsigned n;
  u64 seed, hash[cases::kOps];
};

// Orders that cross every tile and block edge of the reordered kernels
// (rows by 4 and 8, blocks of 32 columns, stretches of 128).
std::vector<Golden> case_list() {
  std::vector<Golden> list;
  const unsigned small[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 16, 17, 31, 32, 33, 36};
  const unsigned large[] = {63, 64, 65, 127, 128, 129, 150};
  for (int f = 0; f < cases::kFamilies; ++f) {
    for (u64 seed = 1; seed <= 2; ++seed) {
      for (unsigned n : small) {
        list.push_back({f, n, seed, {}});
      }
    }
    if (f == cases::Uniform || f == cases::DoubleRounding || f == cases::Payloads) {
      for (unsigned n : large) {
        list.push_back({f, n, 1, {}});
      }
    }
  }
  return list;
}

cases::Inputs inputs(const Golden &g) {
  return cases::generate(static_cast<cases::Family>(g.family), g.n, g.seed);
}

void compute(const Golden &g, cases::Outputs &out) { cases::outputs<cases::Library>(inputs(g), out); }

std::vector<Golden> read_golden() {
  std::ifstream in(TOVRA_GOLDEN_FILE);
  std::vector<Golden> list;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    Golden g;
    if (line.empty() || line[0] == '#' || !(words >> g.family >> g.n >> g.seed)) {
      continue;
    }
    for (u64 &h : g.hash) {
      words >> std::hex >> h;
    }
    list.push_back(g);
  }
  return list;
}

// Compares one case; returns false (after reporting) on a difference.
bool check(const Golden &g, const cases::Outputs &out, const char *state) {
  for (int op = 0; op < cases::kOps; ++op) {
    if (cases::hash(out[op]) != g.hash[op]) {
      ADD_FAILURE() << state << ": " << cases::family_name[g.family] << " n=" << g.n << ": "
                    << cases::op_name[op] << " differs; golden_test --dump " << g.family << " " << g.n << " "
                    << g.seed << " prints every output, to compare with a run on x86";
      return false;
    }
  }
  return true;
}

// The states a host may set, with a way to set and to read each back.
struct State {
  const char *name;
  unsigned x87_cw, mxcsr, fpcr_bits;
  int round;
};

#if defined(__i386__) || defined(__x86_64__)
const State states[] = {
    {"x87 53-bit precision", 0x027f, 0x1f80, 0, FE_TONEAREST},
    {"x87 24-bit precision, toward zero", 0x0c7f, 0x1f80, 0, FE_TONEAREST},
    {"x87 rounding up", 0x0b7f, 0x1f80, 0, FE_TONEAREST},
    {"x87 rounding down", 0x077f, 0x1f80, 0, FE_TONEAREST},
    {"x87 exceptions unmasked", 0x0340, 0x1f80, 0, FE_TONEAREST},
#if defined(__SSE__)
    {"MXCSR flush-to-zero and denormals-are-zero", 0x037f, 0x9fc0, 0, FE_TONEAREST},
    {"MXCSR rounding up", 0x037f, 0x5f80, 0, FE_TONEAREST},
    {"MXCSR exceptions unmasked", 0x037f, 0x0000, 0, FE_TONEAREST},
#endif
};
void set_state(const State &s) {
  const unsigned short cw = static_cast<unsigned short>(s.x87_cw);
  __asm__ __volatile__("fclex\n\tfldcw %0" : : "m"(cw));
#if defined(__SSE__)
  unsigned csr = s.mxcsr;
  __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
#endif
}
std::string read_state() {
  unsigned short cw;
  unsigned csr = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
#if defined(__SSE__)
  __asm__ __volatile__("stmxcsr %0" : "=m"(csr));
#endif
  return std::to_string(cw) + "/" + std::to_string(csr & 0xffc0);
}
#elif defined(__aarch64__)
const State states[] = {{"FPCR rounding up", 0, 0, 1u << 22, FE_UPWARD},
                        {"FPCR rounding toward zero", 0, 0, 3u << 22, FE_TOWARDZERO},
                        {"FPCR flush-to-zero", 0, 0, 1u << 24, FE_TONEAREST}};
void set_state(const State &s) {
  std::uint64_t fpcr = s.fpcr_bits;
  __asm__ __volatile__("msr fpcr, %0" : : "r"(fpcr));
}
std::string read_state() {
  std::uint64_t fpcr;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  return std::to_string(fpcr);
}
#elif defined(__riscv) // neither traps nor a way to enable them
const State states[] = {{"rounding up", 0, 0, 0, FE_UPWARD}, {"rounding down", 0, 0, 0, FE_DOWNWARD}};
void set_state(const State &s) { std::fesetround(s.round); }
std::string read_state() { return std::to_string(std::fegetround()); }
#else                  // fpcr_bits: the exceptions that trap
const State states[] = {{"rounding up", 0, 0, 0, FE_UPWARD},
                        {"rounding down", 0, 0, 0, FE_DOWNWARD},
                        {"inexact trapped", 0, 0, FE_INEXACT, FE_TONEAREST}};
void set_state(const State &s) {
  std::fesetround(s.round);
  fedisableexcept(FE_ALL_EXCEPT);
  std::feclearexcept(FE_ALL_EXCEPT); // POWER traps at once on an enabled flag already raised
  feenableexcept(static_cast<int>(s.fpcr_bits));
}
std::string read_state() { return std::to_string(std::fegetround()) + "/" + std::to_string(fegetexcept()); }
#endif

TEST(Golden, EveryCaseInTheDefaultState) {
  const std::vector<Golden> list = read_golden();
  ASSERT_EQ(case_list().size(), list.size()) << "golden file " << TOVRA_GOLDEN_FILE;
  int failures = 0;
  for (const Golden &g : list) {
    cases::Outputs out;
    compute(g, out);
    if (!check(g, out, "default state") && ++failures == 5) {
      FAIL() << "stopping after 5 failing cases";
    }
  }
}

// The integer path must give the default state's bits in every other state;
// the larger orders are left to the default-state run for time.
TEST(Golden, EveryHostStateKeepsTheBitsAndTheState) {
  const std::vector<Golden> list = read_golden();
  const std::string initial = read_state();
  for (const State &s : states) {
    set_state(s);
    const std::string expected = read_state();
    set_state(State{"", 0x037f, 0x1f80, 0, FE_TONEAREST});
    for (const Golden &g : list) {
      if (g.n > 33) {
        continue;
      }
      // Drawn in the default state: the draw computes with doubles itself.
      const cases::Inputs in = inputs(g);
      cases::Outputs out;
      set_state(s);
      cases::outputs<cases::Library>(in, out);
      const std::string after = read_state();
      set_state(State{"", 0x037f, 0x1f80, 0, FE_TONEAREST});
      ASSERT_EQ(expected, after) << s.name << ": the library changed the host's state";
      if (!check(g, out, s.name)) {
        break;
      }
    }
  }
  EXPECT_EQ(initial, read_state());
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
    std::FILE *f = std::fopen(argv[2], "w");
    std::fprintf(f,
                 "# family order seed, then a hash of each operation's outputs (golden_test --write, x86)\n");
    for (const Golden &g : case_list()) {
      cases::Outputs out;
      compute(g, out);
      std::fprintf(f, "%d %u %" PRIu64, g.family, g.n, g.seed);
      for (const std::vector<u64> &o : out) {
        std::fprintf(f, " %016" PRIx64, cases::hash(o));
      }
      std::fprintf(f, "\n");
    }
    return std::fclose(f) == 0 ? 0 : 1;
  }
  if (argc == 5 && std::strcmp(argv[1], "--dump") == 0) {
    const Golden g = {std::atoi(argv[2]),
                      static_cast<unsigned>(std::atoi(argv[3])),
                      std::strtoull(argv[4], nullptr, 0),
                      {}};
    cases::Outputs out;
    compute(g, out);
    for (int op = 0; op < cases::kOps; ++op) {
      for (size_t i = 0; i < out[op].size(); ++i) {
        std::printf("%s %zu %016" PRIx64 "\n", cases::op_name[op], i, out[op][i]);
      }
    }
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
