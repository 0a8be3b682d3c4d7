// SPDX-License-Identifier: MIT
#include "self_test.h"

#include <sstream>
#include <string>
#include <vector>

#include "cases.h"
#include "fp_state.h"

// Chosen to reach every corner the golden file does, at orders that cross
// the edges of the row tiles (4, 8) and column blocks (32) of the kernels:
// small integers; uniform values; infinities, NaNs and overflow; pivots that
// cancel to exactly zero and are replaced by 1e-20 (near-singular, duplicate
// rows); equal scaled pivots; a zero row (LU refuses); subnormal elements and
// products; products and sums whose extended result ties at the double grid;
// quiet and signalling NaNs with payloads.
const char kSelfTestCases[] =
    R"(0 5 1 2ce206ac177be8c1 4aad89c2fb2de790 a12f6a9516b22c7b 724022fa06b0d2c2 37ecfb545d8f1d32 89cd31291d2aefa4 72b756a228a5401a 8da7334e912bd5d5 3ea6c403f9ccaf0d 1d28c95fc8e178f5 a8c7f832281a39c5
1 17 2 ad3d764016a99951 f48400d83ea8d061 81878972d98d4c76 d1cf5354449d2547 8bf6d79ddadacedc 89cd31291d2aefa4 0f161ee2cbffbc57 290a036db019cd42 7777decb5aa71c2b 75ced3b34c9bc862 a8c7f832281a39c5
1 33 1 3eb5d3e750b29ca7 05f0a362191bcb84 ab0390bf70248080 ec3800d6d7b7ca04 cfc09a0ea202641c 89cd31291d2aefa4 90c1785a6a0b56fa 0f7a07c299c9958a 22f79203b9393f51 79a0130d96527e3f a8c7f832281a39c5
2 9 1 d8088cdd546a3e92 c6d90eefae44add2 693bb3fd044124c2 deca252cb9872880 c3f37e866312b720 a8c7f832281a39c5 681e5dc4a763b97f 28b591b1735b1800 aa96293229a2e940 feca825b2c8992c0 a8c7f832281a39c5
3 13 1 92761b0b611e7bab b49e771058b9d033 d5b0a29d16ce11f1 407571434e8146ca 94902f54634412e3 89cd31291d2aefa4 a75a0151bb23ed28 3164725d12eb4f9a ca3378717bf01a7e d1153f1bdda1bb83 a8c7f832281a39c5
3 2 2 f539de43b2f3ef54 fd20eb4f375509a9 4bb394cebb6959e5 1f8a930599084a25 3346316fe773ba65 89cd31291d2aefa4 eeee3d8b8bb3ff42 0f11683169b47ae5 a02bc40852469128 7697e1621123518c a8c7f832281a39c5
4 7 1 7a00bd20bc76ca54 4f7bf504516c9c15 cb4d19ef6b9ea590 6dbabcfc7173b6ce 55611671570046b0 89cd31291d2aefa4 5c2ee4754c2e3cb8 b02e68c87020f92f dc917592b70dd523 d28654fc5dbe2145 a8c7f832281a39c5
5 8 2 56188d88487bf444 d57d114927324e16 a437da75fdabc930 2e3507a0c5ca5311 eb5ec55bde072932 89cd31291d2aefa4 d2c8a76c27e33fa3 fecb3c671fff23c1 026704086c572615 5349b8b9b09ed6a3 a8c7f832281a39c5
6 4 1 5024aa0c223666c9 83bad6a686785d15 255bc67d3938ad8b 070df21a90d1c2fe 912d0697dcae8399 89cd31291d2aefa4 a6810f69e1128743 cbf29ce484222325 a8c7783228196045 cbf29ce484222325 89cd31291d2aefa4
7 12 1 887ace6bcf8e2e93 5dc369c0949abf87 7e2310b3d6a703a2 e1f3bdcb2d67f752 aea413013e32a8d6 89cd31291d2aefa4 9e81f1624ce5bdb4 4da08e4df5950492 a8c7f832281a39c5 9f122ccca4da1084 a8c7f832281a39c5
8 11 1 20dac88e0ac63c60 20dac88e0ac63c60 8df1b09428a3907e d909915d6bb0dbfd 72c261d462732111 89cd31291d2aefa4 b30cdb65584c1649 2c37600fc874eb6f 649654caeded14c0 66d90520248f705a a8c7f832281a39c5
8 32 2 63f0a56930a55200 63f0a56930a55200 ac58ea96d59e3e84 eb63985cdea79f82 7a21dd2c75a298c0 89cd31291d2aefa4 0d44388d346fc0fd 8690c732c53bdf18 c87d25f37b2eaf5f 04ec9e5af738d5e4 a8c7f832281a39c5
8 65 1 73eff0af617f2406 73eff0af617f2406 545f4a116d8c21ef 9a73191ab1525c97 16cd390cafa2ce86 89cd31291d2aefa4 b4ba595bdee9db14 659fa4f5d00a9776 864dcecde95a2c1c 338ca48384bb833d a8c7f832281a39c5
9 3 1 e93c2a06a40f1d97 87f61dace0ecefaf b01e9929a0892d39 a6456106a65ec929 5d06c4013dc0ad86 a8c7f832281a39c5 20df3ef59c99a7a2 cbf29ce484222325 ee55ffe2177017fb cbf29ce484222325 89cd31291d2aefa4
9 6 2 b216d3602cca85cf 117ba211deb6bfc7 b7ff89c34162340c 4bf7e607edaa895d 86c29ad2c0cccb25 a8c7f832281a39c5 42e9dec1d031c7dd cbf29ce484222325 af03ef117da157ce cbf29ce484222325 89cd31291d2aefa4
9 13 1 b3ec6bf416e80fc7 ebfbc06cd09fa13a f522d651338e1722 4f674dc17b7c6d3e 3f3e4f840a511579 a8c7f832281a39c5 f6a3c9ea83c61ad4 cbf29ce484222325 9a311f66b83a3baa cbf29ce484222325 89cd31291d2aefa4
)";

namespace {

struct Expected {
  int family;
  unsigned n;
  cases::u64 seed, hash[cases::kOps];
};

std::vector<Expected> parse(const char *text) {
  std::vector<Expected> list;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    Expected e;
    if (words >> e.family >> e.n >> e.seed) {
      for (cases::u64 &h : e.hash) {
        words >> std::hex >> h;
      }
      list.push_back(e);
    }
  }
  return list;
}

// The first difference on one path, "" when there is none. Only the calls
// run in the path's state: the cases are drawn beforehand, in the state the
// program started in, because drawing them computes with doubles.
std::string run_path(const fp_state::State &state, const std::vector<Expected> &golden,
                     const std::vector<cases::Inputs> &inputs) {
  for (size_t i = 0; i < golden.size(); ++i) {
    cases::Outputs out;
    fp_state::State set, after;
    {
      const fp_state::Scope scope(state);
      set = fp_state::current();
      cases::outputs<cases::Library>(inputs[i], out);
      after = fp_state::current();
    }
    const Expected &g = golden[i];
    if (after != set) {
      return "the library changed the floating-point state from " + fp_state::describe(set) + " to " +
             fp_state::describe(after);
    }
    for (int op = 0; op < cases::kOps; ++op) {
      if (cases::hash(out[op]) != g.hash[op]) {
        return std::string(cases::op_name[op]) + " differs for " + cases::family_name[g.family] + " order " +
               std::to_string(g.n) + " seed " + std::to_string(g.seed);
      }
    }
  }
  return "";
}

} // namespace

bool self_test(std::FILE *out, const char *golden) {
  const std::vector<Expected> list = parse(golden);
  std::vector<cases::Inputs> inputs;
  for (const Expected &g : list) {
    inputs.push_back(cases::generate(static_cast<cases::Family>(g.family), g.n, g.seed));
  }
  bool identical = true;
  for (const fp_state::PathState &p : fp_state::paths()) {
    const std::string diff = run_path(p.state, list, inputs);
    std::fprintf(out, "%s (%s): %s\n", fp_state::path_name(p.path), p.how,
                 diff.empty() ? "identical" : diff.c_str());
    identical = identical && diff.empty();
  }
  return identical;
}
