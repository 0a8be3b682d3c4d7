// SPDX-License-Identifier: MIT
// Members of Matrix_d: the object, arithmetic, transpose and block. Every
// operation that computes or compares values tests its shapes, then picks
// its arithmetic once (arith/arith.h) and runs a kernel (kernels/kernels.h);
// every value moved unchanged goes through the helpers of bitwise/moves.h.
#include "tovra/matrix_d.h"

#include "arith/arith.h"
#include "bitwise/moves.h"
#include "kernels/kernels.h"
#include "nan_fill.h"

namespace {

// The four shape tests of Sum and Sub, in their order.
bool fits_elementwise(const Matrix_d &a, const Matrix_d &res, const Matrix_d &b) {
  return res.SizeCol() == b.SizeCol() && res.SizeRow() == b.SizeRow() && a.SizeCol() == res.SizeCol() &&
         a.SizeRow() == res.SizeRow();
}

} // namespace

// ---- Object -----------------------------------------------------------------

Matrix_d::Matrix_d(unsigned int rows, unsigned int cols) : Table<double>(rows, cols) {}

Matrix_d::Matrix_d(const Matrix_d &m) : Table<double>(m.SizeRow(), m.SizeCol()) { Dup(m); }

Matrix_d::~Matrix_d() {}

bool Matrix_d::CmpMatrixSize(const Matrix_d &m) const {
  return m.SizeRow() == SizeRow() && m.SizeCol() == SizeCol();
}

void Matrix_d::Zero() {
  for (unsigned int r = 0; r < SizeRow(); ++r) {
    for (unsigned int c = 0; c < SizeCol(); ++c) {
      (*this)(r, c) = 0.0;
    }
  }
}

void Matrix_d::Identity() {
  Zero();
  const unsigned int n = SizeCol() > SizeRow() ? SizeRow() : SizeCol();
  for (unsigned int i = 0; i < n; ++i) {
    (*this)(i, i) = 1.0;
  }
}

bool Matrix_d::Dup(const Matrix_d &m) {
  if (!CmpMatrixSize(m)) {
    return false;
  }
  // Each row is one contiguous array, copied by its bytes; a Dup from
  // itself has nothing to copy.
  if (&m != this && SizeCol() != 0) {
    for (unsigned int r = 0; r < SizeRow(); ++r) {
      tovra_detail::move_bits(&(*this)(r, 0), &m(r, 0), SizeCol());
    }
  }
  return true;
}

bool Matrix_d::operator=(const Matrix_d &m) { return Dup(m); }

bool Matrix_d::operator==(const Matrix_d &m) const {
  return CmpMatrixSize(m) &&
         tovra_detail::with_arithmetic(tovra_detail::task(tovra_detail::Work::compare, SizeRow(), SizeCol()),
                                       [&](auto a) { return tovra_detail::equal<decltype(a)>(*this, m); });
}

bool Matrix_d::operator!=(const Matrix_d &m) const { return !(*this == m); }

// ---- Arithmetic into a target -------------------------------------------------

bool Matrix_d::Sum(Matrix_d &res, const Matrix_d &b) const {
  if (!fits_elementwise(*this, res, b)) {
    return false;
  }
  tovra_detail::with_arithmetic(tovra_detail::task(tovra_detail::Work::elementwise, SizeRow(), SizeCol()),
                                [&](auto a) { tovra_detail::add<decltype(a)>(*this, b, res); });
  return true;
}

bool Matrix_d::Sub(Matrix_d &res, const Matrix_d &b) const {
  if (!fits_elementwise(*this, res, b)) {
    return false;
  }
  tovra_detail::with_arithmetic(tovra_detail::task(tovra_detail::Work::elementwise, SizeRow(), SizeCol()),
                                [&](auto a) { tovra_detail::subtract<decltype(a)>(*this, b, res); });
  return true;
}

bool Matrix_d::Neg(Matrix_d &res) const {
  if (!CmpMatrixSize(res)) {
    return false;
  }
  for (unsigned int r = 0; r < SizeRow(); ++r) {
    for (unsigned int c = 0; c < SizeCol(); ++c) {
      tovra_detail::negate_bits(res(r, c), (*this)(r, c));
    }
  }
  return true;
}

bool Matrix_d::Molt(Matrix_d &res, double s) const {
  if (!CmpMatrixSize(res)) {
    return false;
  }
  tovra_detail::with_arithmetic(tovra_detail::task(tovra_detail::Work::elementwise, SizeRow(), SizeCol()),
                                [&](auto a) { tovra_detail::scale<decltype(a)>(*this, s, res); });
  return true;
}

bool Matrix_d::Molt(Matrix_d &res, const Matrix_d &b) const {
  if (SizeCol() != b.SizeRow() || SizeRow() != res.SizeRow() || b.SizeCol() != res.SizeCol()) {
    return false;
  }
  tovra_detail::with_arithmetic(tovra_detail::product_task(SizeRow(), SizeCol(), b.SizeCol()),
                                [&](auto a) { tovra_detail::multiply<decltype(a)>(*this, b, res); });
  return true;
}

bool Matrix_d::Molt(Vector<double> &y, const Vector<double> &x) const {
  if (SizeCol() != x.Size() || y.Size() != SizeRow()) {
    return false;
  }
  tovra_detail::with_arithmetic(tovra_detail::task(tovra_detail::Work::matrix_vector, SizeRow(), SizeCol()),
                                [&](auto a) { tovra_detail::multiply<decltype(a)>(*this, x, y); });
  return true;
}

// ---- Arithmetic by value --------------------------------------------------------
// Each result is built in a local and returned as that object (no second copy).

Matrix_d Matrix_d::operator+(const Matrix_d &b) const {
  Matrix_d res(SizeRow(), SizeCol());
  if (!Sum(res, b)) {
    tovra_detail::fill_nan(res);
  }
  return res;
}

Matrix_d Matrix_d::operator-(const Matrix_d &b) const {
  Matrix_d res(SizeRow(), SizeCol());
  if (!Sub(res, b)) {
    tovra_detail::fill_nan(res);
  }
  return res;
}

Matrix_d Matrix_d::operator-() const {
  Matrix_d res(SizeRow(), SizeCol());
  Neg(res);
  return res;
}

Matrix_d Matrix_d::operator*(const Matrix_d &b) const {
  Matrix_d res(SizeRow(), b.SizeCol());
  if (!Molt(res, b)) {
    tovra_detail::fill_nan(res);
  }
  return res;
}

Vector<double> Matrix_d::operator*(const Vector<double> &x) const {
  Vector<double> res(SizeRow());
  if (!Molt(res, x)) {
    tovra_detail::fill_nan(res);
  }
  return res;
}

Matrix_d Matrix_d::operator*(double s) const {
  Matrix_d res(SizeRow(), SizeCol());
  Molt(res, s);
  return res;
}

// ---- Transpose and block ----------------------------------------------------------

Matrix_d Matrix_d::trasp() const {
  Matrix_d res(SizeCol(), SizeRow());
  for (unsigned int i = 0; i < SizeRow(); ++i) {
    for (unsigned int j = 0; j < SizeCol(); ++j) {
      tovra_detail::move_bits(res(j, i), (*this)(i, j));
    }
  }
  return res;
}

Matrix_d Matrix_d::Sub(unsigned int row0, unsigned int col0, unsigned int row1, unsigned int col1) const {
  // Checked before any subtraction, so a reversed pair never becomes a
  // wrapped-around size and nothing outside the matrix is read. One result
  // object on every path, so that it is returned without a second copy.
  const bool inside = row0 <= row1 && row1 <= SizeRow() && col0 <= col1 && col1 <= SizeCol();
  const unsigned int last_row = inside ? row1 : row0;
  Matrix_d res(last_row - row0, inside ? col1 - col0 : 0);
  if (res.SizeCol() != 0) {
    for (unsigned int i = row0; i < last_row; ++i) {
      tovra_detail::move_bits(&res(i - row0, 0), &(*this)(i, col0), res.SizeCol());
    }
  }
  return res;
}
