// SPDX-License-Identifier: MIT
#include "system_reader.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Hands out the input as whitespace-separated tokens, line by line, and
// remembers the number of the current line for error messages. Only the
// token being read is held, so a line of any length costs no memory.
// The text comes from a file or, with no file, from a string in memory.
class TokenSource {
public:
  TokenSource(std::FILE *in, const char *text) : in_(in), text_(text) {}

  // Moves to the next line that holds a token, skipping what is left of the
  // current one. False at the end of the input or on a read error (see
  // read_error()).
  bool next_line() {
    if (!at_line_end_) {
      skip_line();
    }
    for (;;) {
      int c = get();
      if (c == EOF) {
        return false;
      }
      if (line_start_) {
        ++line_;
        line_start_ = false;
      }
      if (c == '\n') {
        line_start_ = true;
      } else if (c == '#') {
        skip_line();
      } else if (!is_space(c)) {
        unget(c);
        at_line_end_ = false;
        return true;
      }
    }
  }

  // The next token of the current line; false when the line has none left.
  // A token longer than kMaxToken comes back cut to kMaxToken + 1 characters.
  bool next_token(std::string &token) {
    token.clear();
    if (at_line_end_) {
      return false;
    }
    int c = get();
    while (c != EOF && c != '\n' && c != '#' && is_space(c)) {
      c = get();
    }
    for (; c != EOF && c != '\n' && c != '#' && !is_space(c); c = get()) {
      if (token.size() <= kMaxToken) {
        token.push_back(static_cast<char>(c));
      }
    }
    if (c == EOF || c == '\n') {
      end_line();
    } else if (c == '#') {
      skip_line();
    }
    return !token.empty();
  }

  unsigned long line() const { return line_; }
  // The errno of a failed read, 0 when the input simply ended.
  int read_error() const { return errno_; }

private:
  static bool is_space(int c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

  int get() {
    if (in_ == nullptr) {
      return *text_ == '\0' ? EOF : static_cast<unsigned char>(*text_++);
    }
    int c = std::getc(in_);
    if (c == EOF && std::ferror(in_) && errno_ == 0) {
      errno_ = errno != 0 ? errno : EIO;
    }
    return c;
  }
  void unget(int c) {
    if (in_ == nullptr) {
      --text_;
    } else {
      std::ungetc(c, in_);
    }
  }
  // Discards the rest of the current line, its line end included.
  void skip_line() {
    int c;
    do {
      c = get();
    } while (c != EOF && c != '\n');
    end_line();
  }
  void end_line() {
    at_line_end_ = true;
    line_start_ = true;
  }

  std::FILE *in_;
  const char *text_;
  unsigned long line_ = 0;
  bool line_start_ = true;  // the next character read starts a line
  bool at_line_end_ = true; // the current line has been read to its end
  int errno_ = 0;
};

// A token as it may appear in a message: quoted, shortened, and with control
// bytes (a stray NUL, say) made visible.
std::string quoted(const std::string &token) {
  const std::string::size_type limit = 32;
  std::string out = "'";
  for (std::string::size_type i = 0; i < token.size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>(token[i]);
    out.push_back(std::isprint(c) ? static_cast<char>(c) : '?');
  }
  if (token.size() > limit) {
    out += "...";
  }
  return out + "'";
}

// Only plain decimal digits: "3.0", "+3" and "0x3" are refused for the order
// rather than guessed at. Sets `too_large` for an order above kMaxOrder.
bool parse_order(const std::string &token, unsigned int &n, bool &too_large) {
  too_large = false;
  if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  errno = 0;
  unsigned long long value = std::strtoull(token.c_str(), nullptr, 10);
  if (errno == ERANGE || value > kMaxOrder) {
    too_large = true;
    return false;
  }
  n = static_cast<unsigned int>(value);
  return true;
}

// The whole token must be consumed: "1.5x" is an error, not 1.5. Values out
// of range come back as strtod gives them, and `lost` says what became of
// them when nothing of the number is left: an infinity, or a zero. A
// subnormal result is the nearest double to what was written (strtod calls
// that a range error too, when it is inexact), so it is kept without a word.
bool parse_number(const std::string &token, double &x, const char *&lost) {
  const char *begin = token.c_str();
  char *end = nullptr;
  errno = 0;
  x = std::strtod(begin, &end);
  lost = nullptr;
  if (errno == ERANGE && x == 0) {
    lost = "underflowed to zero";
  } else if (errno == ERANGE && std::isinf(x)) {
    lost = "overflowed to infinity";
  }
  return end != begin && end == begin + token.size();
}

std::string count(std::size_t numbers) {
  return std::to_string(numbers) + (numbers == 1 ? " number" : " numbers");
}

class Reader {
public:
  Reader(std::FILE *in, const char *text, LinearSystem &sys, std::string &error)
      : input_(in, text), sys_(sys), error_(error) {}

  bool run() { return read_order() && read_rows() && read_numbers(sys_.b, "b") && at_end(); }

private:
  // A read error explains whatever went wrong after it, so it is reported
  // instead.
  bool fail(const std::string &what) {
    if (input_.read_error() != 0) {
      return fail_missing("");
    }
    error_ = "line " + std::to_string(input_.line()) + ": " + what;
    return false;
  }
  bool fail_missing(const std::string &what) {
    if (input_.read_error() != 0) {
      error_ = (input_.line() == 0 ? std::string("cannot read")
                                   : "read error after line " + std::to_string(input_.line())) +
               ": " + std::strerror(input_.read_error());
    } else if (input_.line() == 0) {
      error_ = "the input is empty: expected the order n";
    } else {
      error_ = "the input ends after line " + std::to_string(input_.line()) + ": " + what + " is missing";
    }
    return false;
  }
  // The next token of the current line into token_; false at the line's end
  // and, with a message, for a token too long to be a number.
  bool next_token(const std::string &what) {
    if (!input_.next_token(token_)) {
      return false;
    }
    if (token_.size() > kMaxToken) {
      fail(what + " is longer than " + std::to_string(kMaxToken) + " characters, found " + quoted(token_));
      return false;
    }
    return true;
  }

  bool read_order() {
    if (!input_.next_line()) {
      return fail_missing("the order n");
    }
    if (!next_token("the order n")) {
      return false;
    }
    bool too_large;
    if (!parse_order(token_, sys_.n, too_large)) {
      return fail(too_large ? "the order n is too large, found " + quoted(token_) + " (at most " +
                                  std::to_string(kMaxOrder) + ")"
                            : "the order n must be a non-negative integer, found " + quoted(token_));
    }
    if (input_.next_token(token_)) {
      return fail("unexpected " + quoted(token_) + " after the order n");
    }
    return true;
  }

  bool read_rows() {
    std::vector<double> row;
    for (unsigned int i = 0; i < sys_.n; ++i) {
      if (!read_numbers(row, "row " + std::to_string(i + 1) + " of A")) {
        return false;
      }
      sys_.a.insert(sys_.a.end(), row.begin(), row.end());
    }
    return true;
  }

  // One line of exactly n numbers. The line is given up at its n + 1-th
  // number, so that a huge line costs no more than a right one.
  bool read_numbers(std::vector<double> &out, const std::string &what) {
    if (sys_.n == 0) {
      return true;
    }
    if (!input_.next_line()) {
      return fail_missing(what + " (" + count(sys_.n) + ")");
    }
    out.clear();
    while (next_token("a number in " + what)) {
      double x;
      const char *lost;
      if (!parse_number(token_, x, lost)) {
        return fail(quoted(token_) + " in " + what + " is not a number");
      }
      if (out.size() == sys_.n) {
        return fail(what + " has more than " + count(sys_.n));
      }
      if (lost != nullptr) {
        sys_.warnings.push_back("line " + std::to_string(input_.line()) + ": " + quoted(token_) + " in " +
                                what + " " + lost + " when read");
      }
      out.push_back(x);
    }
    if (!error_.empty()) { // a token too long, already reported
      return false;
    }
    if (out.size() != sys_.n) {
      return fail(what + " has " + count(out.size()) + ", expected " + std::to_string(sys_.n));
    }
    return true;
  }

  bool at_end() {
    if (input_.next_line() && input_.next_token(token_)) {
      return fail("unexpected " + quoted(token_) + (sys_.n == 0 ? " after the order 0" : " after b"));
    }
    if (input_.read_error() != 0) {
      return fail_missing("");
    }
    return true;
  }

  TokenSource input_;
  LinearSystem &sys_;
  std::string &error_;
  std::string token_;
};

} // namespace

bool read_system(std::FILE *in, LinearSystem &sys, std::string &error) {
  sys = LinearSystem();
  error.clear();
  return Reader(in, nullptr, sys, error).run();
}

bool read_system(const char *text, LinearSystem &sys, std::string &error) {
  sys = LinearSystem();
  error.clear();
  return Reader(nullptr, text, sys, error).run();
}
