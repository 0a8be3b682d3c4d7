// tovra-solve: solves a linear system A x = b read from a file or standard
// input and prints the solution, det(A), the inverse of A, the residual and
// whether A counts as singular, every number at round-trip precision.
//
// Exit status: 0 solved; 1 bad input or an input/output failure (one line on
// standard error, nothing on standard output); 2 bad command line; 3 A has a
// row without a non-zero element, so there is no solution to print.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "solution.h"
#include "system_reader.h"

namespace {

const char kUsage[] = "usage: tovra-solve [--hex] [FILE | -]\n"
                      "Solves A x = b. FILE holds the order n on the first line, then the n rows of A,\n"
                      "one per line, then b on one line; '-' reads standard input; without FILE the\n"
                      "built-in example is solved. Numbers may be written in any form strtod accepts,\n"
                      "hexadecimal floats included; '#' starts a comment. --hex prints with %a\n"
                      "instead of %.17g.\n";

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
};

// False, with a message in `error`, when the command line makes no sense.
bool parse_args(int argc, char **argv, Options &opts, std::string &error, bool &help) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--hex") {
      opts.notation = Notation::hex;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (opts.path != nullptr) {
      error = "more than one input given";
      return false;
    } else {
      opts.path = argv[i];
    }
  }
  return true;
}

// Reads the system from where the options say; false after reporting.
bool load(const Options &opts, LinearSystem &sys) {
  std::FILE *in;
  std::string name;
  if (opts.path == nullptr) {
    in = fmemopen(const_cast<char *>(kExample), sizeof kExample - 1, "r");
    name = "built-in example";
  } else if (std::strcmp(opts.path, "-") == 0) {
    in = stdin;
    name = "<stdin>";
  } else {
    in = std::fopen(opts.path, "r");
    name = opts.path;
  }
  if (in == nullptr) {
    std::fprintf(stderr, "tovra-solve: cannot open %s: %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  std::string error;
  const bool ok = read_system(in, sys, error);
  if (in != stdin) {
    std::fclose(in);
  }
  if (!ok) {
    std::fprintf(stderr, "tovra-solve: %s: %s\n", name.c_str(), error.c_str());
  }
  return ok;
}

int run(const Options &opts) {
  LinearSystem sys;
  if (!load(opts, sys)) {
    return 1;
  }
  Solution s(sys.n);
  solve(sys, s);

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
  bool help = false;
  if (!parse_args(argc, argv, opts, error, help)) {
    std::fprintf(stderr, "tovra-solve: %s (usage: tovra-solve [--hex] [FILE | -])\n", error.c_str());
    return 2;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    return run(opts);
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "tovra-solve: out of memory\n");
    return 1;
  }
}
