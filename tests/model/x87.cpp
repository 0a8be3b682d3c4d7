#include "x87.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

namespace model {
namespace {

typedef std::uint32_t u32;
typedef std::uint64_t u64;

// Unsigned integer of 256 bits in 32-bit limbs, least significant first;
// wide enough for every aligned sum below (at most about 215 bits).
const int L = 8;
struct Wide {
  u32 w[L];
};

Wide wide(u64 x) {
  Wide r = {};
  r.w[0] = static_cast<u32>(x);
  r.w[1] = static_cast<u32>(x >> 32);
  return r;
}
bool is_zero(const Wide &a) {
  for (int i = 0; i < L; ++i) {
    if (a.w[i] != 0) {
      return false;
    }
  }
  return true;
}
int bitlen(const Wide &a) {
  for (int i = L - 1; i >= 0; --i) {
    if (a.w[i] != 0) {
      return 32 * i + 32 - __builtin_clz(a.w[i]);
    }
  }
  return 0;
}
bool bit(const Wide &a, int i) { return i >= 0 && i < 32 * L && (a.w[i / 32] >> (i % 32) & 1); }
bool any_below(const Wide &a, int i) { // any of bits 0 to i-1 set
  for (int k = 0; k < L && 32 * k < i; ++k) {
    const u32 mask = i - 32 * k >= 32 ? ~u32(0) : (u32(1) << (i - 32 * k)) - 1;
    if (a.w[k] & mask) {
      return true;
    }
  }
  return false;
}
Wide shl(const Wide &a, int k) {
  Wide r = {};
  const int limbs = k / 32, s = k % 32;
  for (int i = L - 1; i >= limbs; --i) {
    r.w[i] =
        static_cast<u32>(a.w[i - limbs] << s | (s != 0 && i > limbs ? a.w[i - limbs - 1] >> (32 - s) : 0));
  }
  return r;
}
Wide shr(const Wide &a, int k) {
  Wide r = {};
  const int limbs = k / 32, s = k % 32;
  for (int i = 0; i + limbs < L; ++i) {
    r.w[i] = static_cast<u32>(a.w[i + limbs] >> s |
                              (s != 0 && i + limbs + 1 < L ? u64(a.w[i + limbs + 1]) << (32 - s) : 0));
  }
  return r;
}
int cmp(const Wide &a, const Wide &b) {
  for (int i = L - 1; i >= 0; --i) {
    if (a.w[i] != b.w[i]) {
      return a.w[i] < b.w[i] ? -1 : 1;
    }
  }
  return 0;
}
Wide plus(const Wide &a, const Wide &b) {
  Wide r;
  u64 carry = 0;
  for (int i = 0; i < L; ++i) {
    carry += static_cast<u64>(a.w[i]) + b.w[i];
    r.w[i] = static_cast<u32>(carry);
    carry >>= 32;
  }
  assert(carry == 0);
  return r;
}
Wide minus(const Wide &a, const Wide &b) { // a >= b
  Wide r;
  u64 borrow = 0;
  for (int i = 0; i < L; ++i) {
    const u64 d = static_cast<u64>(a.w[i]) - b.w[i] - borrow;
    r.w[i] = static_cast<u32>(d);
    borrow = d >> 63;
  }
  return r;
}
Wide times(const Wide &a, const Wide &b) {
  Wide r = {};
  for (int i = 0; i < L; ++i) {
    u64 carry = 0;
    for (int j = 0; a.w[i] != 0 && i + j < L; ++j) {
      carry += static_cast<u64>(a.w[i]) * b.w[j] + r.w[i + j];
      r.w[i + j] = static_cast<u32>(carry);
      carry >>= 32;
    }
    assert(carry == 0);
  }
  return r;
}

// sign * m * 2^e; m != 0 exactly when kind is Num.
struct Val {
  enum Kind { Zero, Num, Inf, NaN } kind;
  bool neg;
  Wide m;
  int e;
};

Val special(Val::Kind k, bool neg) {
  Val v = {k, neg, {}, 0};
  return v;
}
Val of(double d) {
  u64 u;
  std::memcpy(&u, &d, sizeof u);
  const bool neg = u >> 63;
  const int ex = static_cast<int>(u >> 52 & 0x7ff);
  const u64 f = u & ((u64(1) << 52) - 1);
  if (ex == 0x7ff) {
    return special(f != 0 ? Val::NaN : Val::Inf, neg);
  }
  if (ex == 0 && f == 0) {
    return special(Val::Zero, neg);
  }
  Val v = {Val::Num, neg, wide(ex == 0 ? f : f | u64(1) << 52), ex == 0 ? -1074 : ex - 1075};
  return v;
}
int top(const Val &v) { return v.e + bitlen(v.m) - 1; }

// Round to nearest-even with p significant bits, no quantum below 2^qmin
// (gradual underflow) and infinity above 2^(top_max + 1).
Val round(Val v, int p, int qmin, int top_max) {
  if (v.kind != Val::Num) {
    return v;
  }
  const int q = std::max(top(v) - p + 1, qmin);
  if (q > v.e) {
    const int sh = q - v.e;
    const bool half = bit(v.m, sh - 1), rest = any_below(v.m, sh - 1);
    v.m = shr(v.m, sh);
    v.e = q;
    if (half && (rest || bit(v.m, 0))) {
      v.m = plus(v.m, wide(1));
    }
    if (is_zero(v.m)) {
      return special(Val::Zero, v.neg);
    }
  }
  return top(v) > top_max ? special(Val::Inf, v.neg) : v;
}
Val ext(const Val &v) { return round(v, 64, -16445, 16383); }
Val dbl(const Val &v) { return round(v, 53, -1074, 1023); }

double to_double(const Val &v) { // v representable as a double
  u64 u = v.neg ? u64(1) << 63 : 0;
  if (v.kind == Val::NaN) {
    u = 0x7ff8000000000000ull;
  } else if (v.kind == Val::Inf) {
    u |= 0x7ff0000000000000ull;
  } else if (v.kind == Val::Num) {
    u64 m = static_cast<u64>(v.m.w[1]) << 32 | v.m.w[0];
    int e = v.e;
    for (; m >= u64(1) << 53; m >>= 1) {
      ++e;
    }
    for (; m < u64(1) << 52 && e > -1074; m <<= 1) {
      --e;
    }
    u |= m < u64(1) << 52 ? m : static_cast<u64>(e + 1075) << 52 | (m & ((u64(1) << 52) - 1));
  }
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

Val negate(Val v) {
  v.neg = !v.neg;
  return v;
}

Val mul(const Val &a, const Val &b) {
  const bool neg = a.neg != b.neg;
  if (a.kind == Val::NaN || b.kind == Val::NaN) {
    return special(Val::NaN, neg);
  }
  if (a.kind == Val::Inf || b.kind == Val::Inf) {
    return special(a.kind == Val::Zero || b.kind == Val::Zero ? Val::NaN : Val::Inf, neg);
  }
  if (a.kind == Val::Zero || b.kind == Val::Zero) {
    return special(Val::Zero, neg);
  }
  Val r = {Val::Num, neg, times(a.m, b.m), a.e + b.e};
  return r;
}

// A term so far below the other that it lies under both the other's last
// bit and 66 bits under its leading bit can only push the sum off a value
// that every rounding here (to 64 or 53 bits, or to the subnormal grid)
// keeps or tie-breaks; every such value is a multiple of 2^g. Replacing the
// term by a single bit of its sign under 2^(g-1) keeps the sum in the same
// open interval of that grid, and keeps the aligned sum short.
void shrink_tiny(const Val &big, Val &small) {
  const int g = std::min(big.e, top(big) - 66);
  if (top(small) < g - 1) {
    small.m = wide(1);
    small.e = g - 2;
  }
}

Val add(Val a, Val b) {
  if (a.kind == Val::NaN || b.kind == Val::NaN) {
    return special(Val::NaN, false);
  }
  if (a.kind == Val::Inf) {
    return b.kind == Val::Inf && b.neg != a.neg ? special(Val::NaN, true) : a;
  }
  if (b.kind == Val::Inf || a.kind == Val::Zero) {
    return b.kind == Val::Zero ? special(Val::Zero, a.neg && b.neg) : b;
  }
  if (b.kind == Val::Zero) {
    return a;
  }
  shrink_tiny(a, b);
  shrink_tiny(b, a);
  const int e = std::min(a.e, b.e);
  const Wide x = shl(a.m, a.e - e), y = shl(b.m, b.e - e);
  Val r = {Val::Num, a.neg, {}, e};
  if (a.neg == b.neg) {
    r.m = plus(x, y);
  } else if (cmp(x, y) == 0) {
    return special(Val::Zero, false); // exact cancellation gives +0 to nearest
  } else {
    r.neg = cmp(x, y) > 0 ? a.neg : b.neg;
    r.m = cmp(x, y) > 0 ? minus(x, y) : minus(y, x);
  }
  return r;
}

// Quotient to at least 71 bits and a sticky bit under them: no rounding
// here reaches that far down, so it rounds like the true quotient.
Val div(const Val &a, const Val &b) {
  const bool neg = a.neg != b.neg;
  if (a.kind == Val::NaN || b.kind == Val::NaN || (a.kind == Val::Inf && b.kind == Val::Inf) ||
      (a.kind == Val::Zero && b.kind == Val::Zero)) {
    return special(Val::NaN, neg);
  }
  if (a.kind == Val::Inf || b.kind == Val::Zero) {
    return special(Val::Inf, neg);
  }
  if (a.kind == Val::Zero || b.kind == Val::Inf) {
    return special(Val::Zero, neg);
  }
  assert(bitlen(b.m) <= 53);
  const u64 d = static_cast<u64>(b.m.w[1]) << 32 | b.m.w[0];
  const int k = std::max(0, 71 + bitlen(b.m) - bitlen(a.m));
  const Wide n = shl(a.m, k);
  Wide q = {};
  u64 r = 0;
  for (int i = bitlen(n) - 1; i >= 0; --i) {
    r = r << 1 | (bit(n, i) ? 1 : 0);
    if (r >= d) {
      r -= d;
      q.w[i / 32] |= u32(1) << (i % 32);
    }
  }
  q = shl(q, 1);
  q.w[0] |= r != 0 ? 1 : 0;
  Val v = {Val::Num, neg, q, a.e - k - b.e - 1};
  return v;
}

bool ge(const Val &a, const Val &b) {
  if (a.kind == Val::NaN || b.kind == Val::NaN) {
    return false;
  }
  if (a.kind == Val::Inf || b.kind == Val::Inf) {
    const int ra = a.kind != Val::Inf ? 0 : a.neg ? -1 : 1, rb = b.kind != Val::Inf ? 0 : b.neg ? -1 : 1;
    return ra >= rb;
  }
  const Val d = add(a, negate(b));
  return d.kind == Val::Zero || !d.neg;
}

unsigned long long g_double_rounding = 0;

bool same(double x, double y) {
  u64 a, b;
  std::memcpy(&a, &x, sizeof a);
  std::memcpy(&b, &y, sizeof b);
  return a == b || (x != x && y != y);
}

// Stores the extended result of a step as a double, counting the steps
// where that differs from rounding the step's exact value once.
double store(const Val &extended, const Val &exact) {
  const double twice = to_double(dbl(extended));
  if (!same(twice, to_double(dbl(exact)))) {
    ++g_double_rounding;
  }
  return twice;
}
double step(const Val &exact) { return store(ext(exact), exact); }

} // namespace

double add(double a, double b) { return step(add(of(a), of(b))); }
double sub(double a, double b) { return step(add(of(a), negate(of(b)))); }
double mul(double a, double b) { return step(mul(of(a), of(b))); }
double div(double a, double b) { return step(div(of(a), of(b))); }

double madd(double s, double a, double b) {
  const Val p = mul(of(a), of(b));
  return store(ext(add(ext(p), of(s))), add(p, of(s)));
}

double msub(double s, double a, double b) {
  const Val p = negate(mul(of(a), of(b)));
  return store(ext(add(of(s), ext(p))), add(of(s), p));
}

bool scaled_ge(double s, double scale, double best, double *rounded) {
  Val mag = of(s);
  mag.neg = false;
  const Val exact = mul(mag, of(scale)), m = ext(exact);
  *rounded = store(m, exact);
  return ge(m, of(best));
}

unsigned long long double_rounding_steps() { return g_double_rounding; }

} // namespace model
