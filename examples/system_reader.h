// SPDX-License-Identifier: MIT
// Reads a linear system A x = b written as plain text.
//
// The text holds, one item per line: the order n (a non-negative decimal
// integer), then the n rows of A (n numbers each), then b (n numbers on one
// line). Numbers are anything strtod takes whole: 2, -0.5, 1e-3, 0x1.8p+1,
// inf, nan. Blank lines and everything from a '#' to the end of its line are
// ignored.
//
// Memory stays bounded by the order whatever the input: the text is read a
// token at a time, never a line at a time, a row is given up at its n + 1-th
// number, and a token longer than kMaxToken characters is refused rather
// than kept.
#ifndef TOVRA_EXAMPLES_SYSTEM_READER_H
#define TOVRA_EXAMPLES_SYSTEM_READER_H

#include <cstdio>
#include <string>
#include <vector>

// The largest order accepted: the solver holds about six n x n matrices at
// once (128 MiB each at this order), and the inverse takes minutes.
const unsigned int kMaxOrder = 4096;
// The longest number accepted, in characters: far more than any double needs
// (a decimal that decides a rounding exactly has fewer than 800 digits).
const std::size_t kMaxToken = 4096;

struct LinearSystem {
  unsigned int n = 0;
  std::vector<double> a; // row by row, n * n entries
  std::vector<double> b;
  // One line for each number that did not survive reading ("line 3: '1e400'
  // in row 2 of A overflowed to infinity"); the system holds what was read.
  std::vector<std::string> warnings;
};

// Reads the whole of `in` into `sys`. On bad input returns false and sets
// `error` to one line naming the input line and what was wrong; `sys` is then
// not to be used. A number too large for a double is read as an infinity and
// a non-zero one too small as zero, each with a line in sys.warnings; one in
// the subnormal range is read as the nearest double, without a word.
bool read_system(std::FILE *in, LinearSystem &sys, std::string &error);
// The same for a text in memory, up to its terminating NUL.
bool read_system(const char *text, LinearSystem &sys, std::string &error);

#endif
