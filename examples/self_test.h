// SPDX-License-Identifier: MIT
// tovra-solve --self-test: a handful of the golden cases, whose results were
// hashed once on x86, computed on every arithmetic path this processor can
// take, each reached by the floating-point state a host would set. Meant
// for a new platform or a build with a distribution's own flags.
#ifndef TOVRA_EXAMPLES_SELF_TEST_H
#define TOVRA_EXAMPLES_SELF_TEST_H

#include <cstdio>

// Lines of the golden file, verbatim: family, order, seed, then one hash per
// operation in the order of cases::Op.
extern const char kSelfTestCases[];

// Prints one line per path, "<path> (<state>): identical" or the first case
// and operation that differs, and puts the host's state back. Returns true
// when every path gave every hash of `golden`.
bool self_test(std::FILE *out, const char *golden = kSelfTestCases);

#endif
