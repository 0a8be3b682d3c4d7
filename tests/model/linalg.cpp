#include "linalg.h"

#include <limits>
#include <utility>

#include "x87.h"

namespace model {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

template <class F> Mat each(const Mat &x, F f) {
  Mat r(x.r, x.c);
  for (unsigned i = 0; i < x.a.size(); ++i) {
    r.a[i] = f(i);
  }
  return r;
}

double magnitude(double x) { return x < 0 ? -x : x; } // a NaN passes unchanged: it never counts

} // namespace

Mat sum(const Mat &x, const Mat &b) {
  return each(x, [&](unsigned i) { return add(x.a[i], b.a[i]); });
}
Mat sub(const Mat &x, const Mat &b) {
  return each(x, [&](unsigned i) { return model::sub(x.a[i], b.a[i]); });
}
Mat neg(const Mat &x) {
  return each(x, [&](unsigned i) { return -x.a[i]; });
}
Mat scale(const Mat &x, double s) {
  return each(x, [&](unsigned i) { return mul(s, x.a[i]); });
}

Mat product(const Mat &x, const Mat &b) {
  Mat r(x.r, b.c);
  for (unsigned i = 0; i < x.r; ++i) {
    for (unsigned j = 0; j < b.c; ++j) {
      double s = 0.0;
      for (unsigned k = 0; k < b.r; ++k) {
        s = madd(s, x(i, k), b(k, j));
      }
      r(i, j) = s;
    }
  }
  return r;
}

Vec product(const Mat &x, const Vec &v) {
  Vec y(x.r);
  for (unsigned i = 0; i < x.r; ++i) {
    double s = 0.0;
    for (unsigned k = 0; k < x.c; ++k) {
      s = madd(s, x(i, k), v[k]);
    }
    y[i] = s;
  }
  return y;
}

Lu lu(const Mat &x) {
  Lu out = {x.r == x.c ? 1 : -1, x, std::vector<unsigned>(), 1.0};
  if (out.code != 1) {
    return out;
  }
  const unsigned n = x.r;
  Mat &f = out.f;
  Vec scale(n);
  for (unsigned i = 0; i < n; ++i) {
    double big = 0.0;
    for (unsigned c = 0; c < n; ++c) {
      if (magnitude(f(i, c)) > big) {
        big = magnitude(f(i, c));
      }
    }
    if (big == 0.0) {
      out.code = 0;
      return out;
    }
    scale[i] = div(1.0, big);
  }
  for (unsigned j = 0; j < n; ++j) {
    for (unsigned i = 0; i < j; ++i) {
      double s = f(i, j);
      for (unsigned k = 0; k < i; ++k) {
        s = msub(s, f(i, k), f(k, j));
      }
      f(i, j) = s;
    }
    double best = 0.0;
    unsigned p = j; // kept when every candidate's scaled magnitude is NaN
    for (unsigned i = j; i < n; ++i) {
      double s = f(i, j);
      for (unsigned k = 0; k < j; ++k) {
        s = msub(s, f(i, k), f(k, j));
      }
      f(i, j) = s;
      double rounded;
      if (scaled_ge(s, scale[i], best, &rounded)) {
        best = rounded;
        p = i;
      }
    }
    if (p != j) {
      for (unsigned k = 0; k < n; ++k) {
        std::swap(f(p, k), f(j, k));
      }
      out.parity = -out.parity;
      scale[p] = scale[j];
    }
    out.perm.push_back(p);
    if (f(j, j) == 0.0) {
      f(j, j) = 1e-20;
    }
    if (j + 1 < n) {
      const double r = div(1.0, f(j, j));
      for (unsigned i = j + 1; i < n; ++i) {
        f(i, j) = mul(f(i, j), r);
      }
    }
  }
  return out;
}

void lus(const Mat &f, const std::vector<unsigned> &perm, Vec &b) {
  const int n = static_cast<int>(f.c);
  int first = -1;
  for (int i = 0; i < n; ++i) {
    double s = b[perm[i]];
    b[perm[i]] = b[i];
    if (first >= 0) {
      for (int k = first; k < i; ++k) {
        s = msub(s, f(i, k), b[k]);
      }
    } else if (s != 0.0) {
      first = i;
    }
    b[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int k = i + 1; k < n; ++k) {
      s = msub(s, f(i, k), b[k]);
    }
    b[i] = div(s, f(i, i));
  }
}

double det(const Lu &d) {
  if (d.code < 0) {
    return kNaN;
  }
  double p = d.parity;
  for (unsigned i = 0; i < d.f.r; ++i) {
    p = mul(p, d.f(i, i));
  }
  return p;
}

Mat inv(const Lu &d) {
  const unsigned n = d.f.r;
  Mat r(n, d.f.c, kNaN);
  for (unsigned j = 0; d.code == 1 && j < n; ++j) {
    Vec col(n, 0.0);
    col[j] = 1.0;
    lus(d.f, d.perm, col);
    for (unsigned i = 0; i < n; ++i) {
      r(i, j) = col[i];
    }
  }
  return r;
}

double det(const Mat &x) { return det(lu(x)); }
Mat inv(const Mat &x) { return inv(lu(x)); }
bool singular(const Mat &x) { return lu(x).code == 0; }

} // namespace model
