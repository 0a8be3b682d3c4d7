#include "system_reader.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Hands out the lines that hold something, as whitespace-separated tokens,
// and remembers the number of the last line read for error messages.
class LineSource {
public:
  explicit LineSource(std::FILE *in) : in_(in) {}

  // False at the end of the input or on a read error (see read_error()); a line
  // cut short by a read error is not handed out.
  bool next(std::vector<std::string> &tokens) {
    std::string text;
    while (read_line(text) && errno_ == 0) {
      tokens.clear();
      split(text, tokens);
      if (!tokens.empty()) {
        return true;
      }
    }
    return false;
  }
  unsigned long line() const { return line_; }
  // The errno of a failed read, 0 when the input simply ended.
  int read_error() const { return errno_; }

private:
  bool read_line(std::string &text) {
    text.clear();
    int c = std::getc(in_);
    if (c == EOF) {
      note_error();
      return false;
    }
    ++line_;
    for (; c != EOF && c != '\n'; c = std::getc(in_)) {
      text.push_back(static_cast<char>(c));
    }
    note_error();
    return true;
  }
  void note_error() {
    if (std::ferror(in_) && errno_ == 0) {
      errno_ = errno != 0 ? errno : EIO;
    }
  }
  static void split(const std::string &text, std::vector<std::string> &tokens) {
    std::string::size_type i = 0, end = text.find('#');
    if (end == std::string::npos) {
      end = text.size();
    }
    while (i < end) {
      while (i < end && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
      }
      std::string::size_type start = i;
      while (i < end && !std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
      }
      if (i > start) {
        tokens.push_back(text.substr(start, i - start));
      }
    }
  }

  std::FILE *in_;
  unsigned long line_ = 0;
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
// rather than guessed at.
bool parse_order(const std::string &token, unsigned int &n) {
  if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  errno = 0;
  unsigned long long value = std::strtoull(token.c_str(), nullptr, 10);
  if (errno == ERANGE || value > UINT_MAX) {
    return false;
  }
  n = static_cast<unsigned int>(value);
  return true;
}

// The whole token must be consumed: "1.5x" is an error, not 1.5. Values out
// of range come back as strtod gives them (inf, or a zero or subnormal).
bool parse_number(const std::string &token, double &x) {
  const char *begin = token.c_str();
  char *end = nullptr;
  x = std::strtod(begin, &end);
  return end != begin && end == begin + token.size();
}

std::string count(std::size_t numbers) {
  return std::to_string(numbers) + (numbers == 1 ? " number" : " numbers");
}

class Reader {
public:
  Reader(std::FILE *in, LinearSystem &sys, std::string &error) : lines_(in), sys_(sys), error_(error) {}

  bool run() { return read_order() && read_rows() && read_numbers(sys_.b, "b") && at_end(); }

private:
  bool fail(const std::string &what) {
    error_ = "line " + std::to_string(lines_.line()) + ": " + what;
    return false;
  }
  bool fail_missing(const std::string &what) {
    if (lines_.read_error() != 0) {
      error_ = (lines_.line() == 0 ? std::string("cannot read")
                                   : "read error after line " + std::to_string(lines_.line())) +
               ": " + std::strerror(lines_.read_error());
    } else if (lines_.line() == 0) {
      error_ = "the input is empty: expected the order n";
    } else {
      error_ = "the input ends after line " + std::to_string(lines_.line()) + ": " + what + " is missing";
    }
    return false;
  }

  bool read_order() {
    if (!lines_.next(tokens_)) {
      return fail_missing("the order n");
    }
    if (!parse_order(tokens_[0], sys_.n)) {
      return fail("the order n must be a non-negative integer, found " + quoted(tokens_[0]));
    }
    if (tokens_.size() > 1) {
      return fail("unexpected " + quoted(tokens_[1]) + " after the order n");
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

  // One line of exactly n numbers.
  bool read_numbers(std::vector<double> &out, const std::string &what) {
    if (sys_.n == 0) {
      return true;
    }
    if (!lines_.next(tokens_)) {
      return fail_missing(what + " (" + count(sys_.n) + ")");
    }
    out.clear();
    for (const std::string &token : tokens_) {
      double x;
      if (!parse_number(token, x)) {
        return fail(quoted(token) + " in " + what + " is not a number");
      }
      out.push_back(x);
    }
    if (out.size() != sys_.n) {
      return fail(what + " has " + count(out.size()) + ", expected " + std::to_string(sys_.n));
    }
    return true;
  }

  bool at_end() {
    if (lines_.next(tokens_)) {
      return fail("unexpected " + quoted(tokens_[0]) + (sys_.n == 0 ? " after the order 0" : " after b"));
    }
    if (lines_.read_error() != 0) {
      return fail_missing("");
    }
    return true;
  }

  LineSource lines_;
  LinearSystem &sys_;
  std::string &error_;
  std::vector<std::string> tokens_;
};

} // namespace

bool read_system(std::FILE *in, LinearSystem &sys, std::string &error) {
  sys = LinearSystem();
  return Reader(in, sys, error).run();
}
