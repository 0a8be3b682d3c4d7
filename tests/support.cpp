#include "support.h"

#include <cinttypes>
#include <cstdio>

namespace t {

std::string show(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a (0x%016" PRIx64 ")", d, bits(d));
  return buf;
}

Matrix_d mat(std::initializer_list<std::initializer_list<double>> rows) {
  const unsigned int cols = rows.size() == 0 ? 0 : static_cast<unsigned int>(rows.begin()->size());
  Matrix_d m(static_cast<unsigned int>(rows.size()), cols);
  return fill(m, rows);
}

Vector<double> vec(std::initializer_list<double> xs) {
  Vector<double> v(static_cast<unsigned int>(xs.size()));
  unsigned int i = 0;
  for (double x : xs) {
    v[i++] = x;
  }
  return v;
}

::testing::AssertionResult same_bits(const Matrix_d &e, const Matrix_d &a) {
  if (e.SizeRow() != a.SizeRow() || e.SizeCol() != a.SizeCol()) {
    return ::testing::AssertionFailure() << "shape " << a.SizeRow() << "x" << a.SizeCol() << ", expected "
                                         << e.SizeRow() << "x" << e.SizeCol();
  }
  for (unsigned int r = 0; r < e.SizeRow(); ++r) {
    for (unsigned int c = 0; c < e.SizeCol(); ++c) {
      if (bits(e(r, c)) != bits(a(r, c))) {
        return ::testing::AssertionFailure()
               << "element (" << r << ", " << c << ") is " << show(a(r, c)) << ", expected " << show(e(r, c));
      }
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult same_bits(const Vector<double> &e, const Vector<double> &a) {
  if (e.Size() != a.Size()) {
    return ::testing::AssertionFailure() << "size " << a.Size() << ", expected " << e.Size();
  }
  for (unsigned int i = 0; i < e.Size(); ++i) {
    if (bits(e[i]) != bits(a[i])) {
      return ::testing::AssertionFailure()
             << "entry " << i << " is " << show(a[i]) << ", expected " << show(e[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

} // namespace t
