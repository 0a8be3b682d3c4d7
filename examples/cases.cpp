// SPDX-License-Identifier: MIT
#include "cases.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace cases {

const char *const family_name[kFamilies] = {"small-int",       "uniform",    "wide-range", "near-singular",
                                            "duplicate-rows",  "pivot-ties", "zero-row",   "underflow",
                                            "double-rounding", "payloads"};
const char *const op_name[kOps] = {"Sum", "Sub", "Molt scalar", "Molt matrix", "Molt vector", "operator==",
                                   "LU",  "LUs", "det",         "inv",         "IsSingular"};

namespace {

typedef std::mt19937_64 Rng;

unsigned below(Rng &g, unsigned n) { return static_cast<unsigned>(g() % n); }

// A full 53-bit significand, random sign, binary exponent in [lo, hi].
u64 scaled(Rng &g, int lo, int hi) {
  const double m = std::ldexp(static_cast<double>((g() >> 11) | u64(1) << 52), -52);
  const double v = std::ldexp(m, lo + static_cast<int>(below(g, static_cast<unsigned>(hi - lo + 1))));
  return bits_of(v) | (g() & 1) << 63;
}

u64 value(Rng &g, Family f) {
  switch (f) {
  case SmallInt:
  case DuplicateRows:
    return bits_of(static_cast<double>(static_cast<int>(below(g, 19)) - 9));
  case WideRange: {
    const u64 special[] = {0x7ff0000000000000, 0xfff0000000000000, 0x7ff8000000000000, 0, u64(1) << 63};
    return below(g, 50) == 0 ? special[below(g, 5)] : scaled(g, -1000, 1000);
  }
  case PivotTies: {
    const double tie[] = {0.0, 1.0, -1.0, 2.0, -2.0, 0.5, -0.5, 4.0, -4.0};
    return bits_of(tie[below(g, 9)]);
  }
  case NearUnderflow:
    return below(g, 8) == 0 ? g() >> 12 | (g() & u64(1) << 63) : scaled(g, -560, -500);
  case Payloads: // quiet or signalling, payload in the low bits or the high ones
    if (below(g, 6) == 0) {
      const u64 payload = g() >> (below(g, 2) ? 13 : 44);
      return 0x7ff0000000000000 | (g() & 1) << 63 | (g() & 1) << 51 | (payload == 0 ? 1 : payload);
    }
    return scaled(g, -4, 4);
  default:
    return scaled(g, -4, 4);
  }
}

// a * (1 + 2^-m), m >= 14, rounds twice to a value other than its single
// rounding when a's last m bits are a half, eleven zeros and a non-zero
// rest: the extended result is exactly the midpoint of two doubles, and the
// tie goes to the even kept part, while the exact value lies above it.
u64 product_tie(Rng &g, int m, int exponent) {
  for (;;) {
    u64 a = (g() >> 11 | u64(1) << 52) >> m << m;
    a |= u64(1) << (m - 1) | 2 * (1 + g() % ((u64(1) << (m - 13)) - 1)); // even, so sums can tie too
    if ((a + (a >> m)) & 1) {
      a ^= u64(1) << m;
    }
    if (a >> 52 == 1 && a + (a >> m) < u64(1) << 53) {
      return bits_of(std::ldexp(static_cast<double>(a), exponent)) | (g() & 1) << 63;
    }
  }
}

// For an even significand a = A 2^e: a + b with |b| = 2^(e-1) (1 + 2^-t),
// t >= 12, extends to the midpoint above a and ties back down to a, where
// one rounding goes up. Same sign as a for Sum, the other sign for Sub.
u64 sum_tie(Rng &g, u64 a, bool same_sign) {
  int e;
  std::frexp(from_bits(a), &e);
  const double b = std::ldexp(1.0 + std::ldexp(1.0, -12 - static_cast<int>(below(g, 41))), e - 54);
  return bits_of(b) | u64((a >> 63) != same_sign) << 63;
}

} // namespace

Inputs generate(Family f, unsigned n, u64 seed) {
  Rng g(seed * 0x9e3779b97f4a7c15ull ^ (n + 1) * 0xbf58476d1ce4e5b9ull ^ static_cast<u64>(f));
  Inputs in = {n,
               std::vector<u64>(n * n),
               std::vector<u64>(n * n),
               std::vector<u64>(n),
               std::vector<u64>(n),
               scaled(g, -4, 4)};
  for (std::vector<u64> *v : {&in.a, &in.b, &in.x, &in.rhs}) {
    for (u64 &e : *v) {
      e = value(g, f);
    }
  }
  for (unsigned i = 0; i < n / 3; ++i) {
    if (g() & 1) {
      in.rhs[i] = 0; // leading zeros skip forward products
    }
  }
  std::vector<u64> &a = in.a;
  if (f == NearSingular && n > 1) {
    if (g() & 1) { // integer rank n-1: pivots cancel to exactly zero or nearly
      std::vector<long long> x(n * n), y(n * n);
      for (long long &e : x) {
        e = static_cast<int>(below(g, 19)) - 9;
      }
      for (long long &e : y) {
        e = static_cast<int>(below(g, 19)) - 9;
      }
      for (unsigned i = 0; i < n * n; ++i) {
        long long s = 0;
        for (unsigned k = 0; k + 1 < n; ++k) {
          s += x[i / n * n + k] * y[k * n + i % n];
        }
        a[i] = bits_of(static_cast<double>(s));
      }
    } else { // last row a power-of-two multiple of another, one element moved by an ulp
      const unsigned from_row = below(g, n - 1);
      const int k = static_cast<int>(below(g, 9)) - 4;
      for (unsigned c = 0; c < n; ++c) {
        a[(n - 1) * n + c] = bits_of(std::ldexp(from_bits(a[from_row * n + c]), k));
      }
      a[(n - 1) * n + below(g, n)] += 1;
    }
  }
  if (f == DuplicateRows && n > 1) {
    for (int k = 0; k < 2; ++k) {
      const unsigned src = below(g, n), dst = below(g, n), how = below(g, 3);
      for (unsigned c = 0; c < n; ++c) {
        const u64 e = a[src * n + c];
        a[dst * n + c] = how == 0 ? e : how == 1 ? e ^ u64(1) << 63 : bits_of(2 * from_bits(e));
      }
    }
  }
  if ((f == ZeroRow || f == Payloads) && n > 0) {
    const unsigned r = below(g, n);
    for (unsigned c = 0; c < n; ++c) {
      const u64 fill[] = {0, u64(1) << 63, 0, 0x7ff8000000000000};
      a[r * n + c] = fill[below(g, g() & 1 ? 3 : 4)];
    }
  }
  if (f == DoubleRounding) {
    const int m = 14 + static_cast<int>(below(g, 27)), e = static_cast<int>(below(g, 60)) - 82;
    in.s = bits_of(std::ldexp(1.0 + std::ldexp(1.0, -m), static_cast<int>(below(g, 9)) - 4));
    for (unsigned i = 0; i < n * n; ++i) {
      a[i] = product_tie(g, m, e);
      in.b[i] = sum_tie(g, a[i], g() & 1);
    }
  }
  return in;
}

double from_bits(u64 u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

u64 bits_of(const double &d) {
  u64 u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

Matrix_d matrix(unsigned n, const std::vector<u64> &bits) {
  Matrix_d m(n, n);
  for (unsigned i = 0; i < n * n; ++i) {
    std::memcpy(&m(i / n, i % n), &bits[i], sizeof(double));
  }
  return m;
}

Vector<double> vector(const std::vector<u64> &bits) {
  Vector<double> v(static_cast<unsigned>(bits.size()));
  for (unsigned i = 0; i < bits.size(); ++i) {
    std::memcpy(&v[i], &bits[i], sizeof(double));
  }
  return v;
}

void append(std::vector<u64> &out, const Matrix_d &m) {
  for (unsigned r = 0; r < m.SizeRow(); ++r) {
    for (unsigned c = 0; c < m.SizeCol(); ++c) {
      out.push_back(bits_of(m(r, c)));
    }
  }
}

void append(std::vector<u64> &out, const Vector<double> &v) {
  for (unsigned i = 0; i < v.Size(); ++i) {
    out.push_back(bits_of(v[i]));
  }
}

u64 hash(const std::vector<u64> &v) {
  u64 h = 0xcbf29ce484222325ull;
  for (u64 x : v) {
    for (int i = 0; i < 8; ++i) {
      h = (h ^ (x >> (8 * i) & 0xff)) * 0x100000001b3ull;
    }
  }
  return h;
}

std::string first_difference(const std::vector<u64> &want, const std::vector<u64> &got) {
  size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) {
    ++i;
  }
  char buf[96];
  std::snprintf(buf, sizeof buf, "output %zu: expected %016llx, got %016llx", i,
                i < want.size() ? static_cast<unsigned long long>(want[i]) : 0ull,
                i < got.size() ? static_cast<unsigned long long>(got[i]) : 0ull);
  return i == want.size() && i == got.size() ? "" : buf;
}

} // namespace cases
