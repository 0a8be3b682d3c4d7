// SPDX-License-Identifier: MIT
// tovra-solve: solves a linear system A x = b read from a file or standard
// input and prints the solution, det(A), the inverse of A, the residual and
// whether A counts as singular, every number at round-trip precision.
//
// Exit status: 0 solved; 1 bad input or an input/output failure (one line on
// standard error, nothing on standard output); 2 bad command line; 3 A has a
// row without a non-zero element, so there is no solution to print. A zero
// pivot replaced by 1e-20, a number out of range in the input, and results
// that are not finite each add a warning on standard error but leave the
// status as it is: the numbers printed are still the library's answer.
// With --self-test: 0 when every arithmetic path gave the golden bits, 1 not.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <sys/stat.h>

#include <tovra/version.h>

#include "self_test.h"
#include "solution.h"
#include "system_reader.h"

namespace {

const char kUsageLine[] = "usage: tovra-solve [--hex] [--] [FILE | -]";

// Written for help2man too, which makes the man page from it: the sections
// are the lines that end with a colon.
const char kHelp[] = "Usage: tovra-solve [--hex] [--] [FILE | -]\n"
                     "  or:  tovra-solve --self-test\n"
                     "Solve A x = b with libtovra and print x, det(A), the inverse of A, the residual\n"
                     "A x - b and whether A counts as singular, every number at round-trip precision.\n"
                     "\n"
                     "FILE holds the order n on the first line, then the n rows of A, one per line,\n"
                     "then b on one line; '-' reads standard input; without FILE the built-in example\n"
                     "is solved. Numbers may be written in any form strtod accepts, hexadecimal floats\n"
                     "included; '#' starts a comment. The order may be at most 4096, a number at most\n"
                     "4096 characters long.\n"
                     "\n"
                     "Options:\n"
                     "  --hex       print every number with %a instead of %.17g\n"
                     "  --          end of the options: what follows is FILE, even if it starts with '-'\n"
                     "  --self-test\n"
                     "              run built-in cases on every arithmetic path this processor has (x87,\n"
                     "              fused multiply-add, integer), each chosen by the floating-point state\n"
                     "              a program may set, against their results on x86; one line per path:\n"
                     "              'identical', or the first case and operation that differs\n"
                     "  -h, --help  print this help and exit\n"
                     "  --version   print the version and exit\n"
                     "\n"
                     "Exit status:\n"
                     "  0  solved. A warning on standard error, which leaves the status as it is,\n"
                     "     says when LU replaced an exactly zero pivot by 1e-20 (A singular or nearly\n"
                     "     so, without a zero row; a singular A whose pivots are not exactly zero gives\n"
                     "     no warning), when a number of the input overflowed to infinity or\n"
                     "     underflowed to zero as it was read (a subnormal is kept), and when results\n"
                     "     are NaNs or infinities, with the cause where the input shows it\n"
                     "  1  bad input, or a read, write or memory failure: one line on standard error\n"
                     "     and nothing on standard output\n"
                     "  2  bad command line\n"
                     "  3  A has a row without a non-zero element: IsSingular() holds, and only that\n"
                     "     and det(A) are printed\n"
                     "\n"
                     "With --self-test the exit status is 0 when every path is identical, 1 when one\n"
                     "is not.\n";

static_assert(kMaxOrder == 4096 && kMaxToken == 4096, "the help text states both limits");

const char kVersion[] = "tovra-solve (tovra) " TOVRA_VERSION_STRING "\n"
                        "Copyright (c) The tovra developers. MIT licence.\n";

// The built-in example goes through the same reader as any file, so it also
// shows the input format.
const char kExample[] = "# order n, the rows of A, then b\n"
                        "3\n"
                        "2  1 1\n"
                        "4 -6 0\n"
                        "-2 7 2\n"
                        "5 -2 9\n";

struct Options {
  Notation notation = Notation::decimal;
  const char *path = nullptr; // null: the built-in example; "-": standard input
  bool help = false;
  bool version = false;
  bool self_test = false;
};

// False, with a message in `error`, when the command line makes no sense.
bool parse_args(int argc, char **argv, Options &opts, std::string &error) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--hex") {
      opts.notation = Notation::hex;
    } else if (options && (arg == "--help" || arg == "-h")) {
      opts.help = true;
    } else if (options && arg == "--version") {
      opts.version = true;
    } else if (options && arg == "--self-test") {
      opts.self_test = true;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (opts.path != nullptr) {
      error = "more than one input given";
      return false;
    } else {
      opts.path = argv[i];
    }
  }
  if (opts.self_test && (opts.path != nullptr || opts.notation == Notation::hex)) {
    error = "--self-test takes no input and no --hex";
    return false;
  }
  return true;
}

// Reads the system from where the options say; false after reporting.
bool load(const Options &opts, LinearSystem &sys) {
  std::string error;
  bool ok;
  std::string name;
  if (opts.path == nullptr) {
    name = "built-in example";
    ok = read_system(kExample, sys, error);
  } else {
    const bool is_stdin = std::strcmp(opts.path, "-") == 0;
    name = is_stdin ? "<stdin>" : opts.path;
    // Binary: the bytes read are the file's on every system (a Windows text
    // read would end at a Ctrl-Z); a CR before a line end counts as a space.
    std::FILE *in = is_stdin ? stdin : std::fopen(opts.path, "rb");
    if (in == nullptr) {
      const int open_error = errno;
      // Windows refuses to open a directory, where POSIX refuses to read
      // one: either way it is told as a read error.
      struct stat st;
      if (stat(opts.path, &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "tovra-solve: %s: cannot read: %s\n", name.c_str(), std::strerror(EISDIR));
      } else {
        std::fprintf(stderr, "tovra-solve: cannot open %s: %s\n", name.c_str(), std::strerror(open_error));
      }
      return false;
    }
    ok = read_system(in, sys, error);
    if (!is_stdin) {
      std::fclose(in);
    }
  }
  if (!ok) {
    std::fprintf(stderr, "tovra-solve: %s: %s\n", name.c_str(), error.c_str());
    return false;
  }
  for (const std::string &w : sys.warnings) {
    std::fprintf(stderr, "tovra-solve: warning: %s: %s\n", name.c_str(), w.c_str());
  }
  return true;
}

int run(const Options &opts) {
  LinearSystem sys;
  if (!load(opts, sys)) {
    return 1;
  }
  Solution s(sys.n);
  solve(sys, s);
  if (s.zero_pivot) {
    std::fprintf(stderr, "tovra-solve: warning: LU replaced an exactly zero pivot by 1e-20 (A is singular or "
                         "nearly so), so the results carry magnitudes near 1e20\n");
  }
  const std::string non_finite = non_finite_warning(sys, s);
  if (!non_finite.empty()) {
    std::fprintf(stderr, "tovra-solve: warning: %s\n", non_finite.c_str());
  }

  if (opts.path == nullptr) {
    std::printf("No input given, so here is the built-in example (tovra-solve --help for more).\n");
    print_matrix(stdout, "A", matrix_of(sys), opts.notation);
    print_vector(stdout, "b", rhs_of(sys), opts.notation);
    std::printf("\n");
  }
  print_solution(stdout, s, opts.notation);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "tovra-solve: cannot write the answer: %s\n", std::strerror(errno));
    return 1;
  }
  return s.singular ? 3 : 0;
}

} // namespace

int main(int argc, char **argv) {
  Options opts;
  std::string error;
  if (!parse_args(argc, argv, opts, error)) {
    std::fprintf(stderr, "tovra-solve: %s (%s)\n", error.c_str(), kUsageLine);
    return 2;
  }
  if (opts.help || opts.version) {
    std::fputs(opts.help ? kHelp : kVersion, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  try {
    if (opts.self_test) {
      const bool identical = self_test(stdout);
      return std::fflush(stdout) == 0 && identical ? 0 : 1;
    }
    return run(opts);
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "tovra-solve: out of memory\n");
    return 1;
  }
}
