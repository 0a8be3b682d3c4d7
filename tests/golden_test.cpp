// SPDX-License-Identifier: MIT
// Every numeric result of a few hundred seeded cases against hashes computed
// once on x86: the same bits on every CPU, with either kernel set, in every
// floating-point state a host may set, which the library must leave as is.
//   golden_test --write FILE          regenerates the file (on x86 only)
//   golden_test --dump FAMILY N SEED  prints every output of one case
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "cases.h"
#include "fp_state.h"
#include "self_test.h"

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

TEST(Golden, EveryCaseInTheDefaultState) {
  // Where the start-up code left another state (MinGW's sets the x87 unit to
  // 64 bits too), this would test some other arithmetic than the default's.
  ASSERT_EQ(fp_state::describe(fp_state::standard()), fp_state::describe(fp_state::current()))
      << "the program did not start in the default state";
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

// Every other state takes another path (the fused multiply-add or the
// integers), which must give the default state's bits; the larger orders are
// left to the default-state run for time.
TEST(Golden, EveryHostStateKeepsTheBitsAndTheState) {
  const std::vector<Golden> list = read_golden();
  const fp_state::State initial = fp_state::current();
  for (const fp_state::Named &s : fp_state::variations()) {
    for (const Golden &g : list) {
      if (g.n > 33) {
        continue;
      }
      // Drawn in the default state: the draw computes with doubles itself.
      const cases::Inputs in = inputs(g);
      cases::Outputs out;
      fp_state::State set, after;
      {
        const fp_state::Scope scope(s.state);
        set = fp_state::current();
        cases::outputs<cases::Library>(in, out);
        after = fp_state::current();
      }
      ASSERT_EQ(fp_state::describe(set), fp_state::describe(after))
          << s.name << ": the library changed the state";
      if (!check(g, out, s.name)) {
        break;
      }
    }
  }
  EXPECT_EQ(fp_state::describe(initial), fp_state::describe(fp_state::current()));
}

// tovra-solve --self-test: its cases are lines of the golden file, and a
// hash that does not match is reported on every path, naming the case and
// the operation, with the host's state put back.
TEST(SelfTest, CasesAreGoldenLines) {
  std::ifstream in(TOVRA_GOLDEN_FILE);
  std::set<std::string> golden;
  for (std::string line; std::getline(in, line);) {
    golden.insert(line);
  }
  std::istringstream embedded(kSelfTestCases);
  for (std::string line; std::getline(embedded, line);) {
    EXPECT_TRUE(line.empty() || golden.count(line)) << line;
  }
}

TEST(SelfTest, ReportsTheFirstDifferenceOnEveryPath) {
  std::string corrupt = kSelfTestCases;
  const size_t line = corrupt.find("\n9 6 2 "); // payloads, order 6: flip a bit of the det hash
  ASSERT_NE(std::string::npos, line);
  size_t at = line;
  for (int word = 0; word < 3 + cases::Det + 1; ++word) {
    at = corrupt.find(' ', at + 1);
  }
  corrupt[at - 1] ^= 1;
  const fp_state::State before = fp_state::current();
  std::FILE *out = std::tmpfile();
  ASSERT_FALSE(self_test(out, corrupt.c_str()));
  EXPECT_EQ(fp_state::describe(before), fp_state::describe(fp_state::current()));
  std::rewind(out);
  char text[256];
  for (const fp_state::PathState &p : fp_state::paths()) {
    ASSERT_TRUE(std::fgets(text, sizeof text, out));
    EXPECT_EQ(std::string(fp_state::path_name(p.path)) + " (" + p.how +
                  "): det differs for payloads order 6 seed 2\n",
              text);
  }
  EXPECT_FALSE(std::fgets(text, sizeof text, out));
  std::fclose(out);
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
    std::FILE *f = std::fopen(argv[2], "w");
    std::fprintf(f, "# family (0..%d) order seed, then one hash per operation:", cases::kFamilies - 1);
    for (int op = 0; op < cases::kOps; ++op) {
      std::fprintf(f, "%s %s", op == 0 ? "" : ";", cases::op_name[op]);
    }
    std::fprintf(f, " (golden_test --write, on x86)\n");
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
