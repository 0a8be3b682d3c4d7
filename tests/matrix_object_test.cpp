// The matrix object. Shapes never change; a refused copy leaves the
// target bit-for-bit as it was; equality is IEEE equality.
#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "support.h"

namespace {

static_assert(
    std::is_same<decltype(std::declval<Matrix_d &>() = std::declval<const Matrix_d &>()), bool>::value,
    "assignment returns Dup's flag, not a reference");
static_assert(sizeof(Matrix_d) == sizeof(TableBase<double>) && !std::is_polymorphic<Matrix_d>::value,
              "no added fields, no virtual members");

struct Shape {
  unsigned int rows, cols;
};
std::ostream &operator<<(std::ostream &os, const Shape &s) { return os << s.rows << "x" << s.cols; }

const Shape shapes[] = {{0, 0}, {0, 5}, {5, 0}, {1, 1}, {2, 3}, {3, 2}, {1, 4}, {4, 1}, {3, 3}};

const double qnan = t::from_bits(0x7ff8000000000abcull); // a quiet NaN with a payload

// Element values that copying must keep apart: signed zeros, a subnormal,
// infinities. Six distinct values in a cycle, so filled(s, 3) differs from
// filled(s) in every element.
double special(unsigned int i) {
  static const double v[] = {-0.0, 0.0, 0x1p-1074, HUGE_VAL, -1.25, -HUGE_VAL};
  return v[i % 6];
}

Matrix_d filled(Shape s, unsigned int first = 0) {
  Matrix_d m(s.rows, s.cols);
  for (unsigned int r = 0; r < s.rows; ++r) {
    for (unsigned int c = 0; c < s.cols; ++c) {
      m(r, c) = special(first + r * s.cols + c);
    }
  }
  return m;
}

// Element addresses, row by row: unchanged addresses mean unchanged storage.
std::vector<const double *> addresses(const Matrix_d &m) {
  std::vector<const double *> a;
  for (unsigned int r = 0; r < m.SizeRow(); ++r) {
    for (unsigned int c = 0; c < m.SizeCol(); ++c) {
      a.push_back(&m(r, c));
    }
  }
  return a;
}

TEST(MatrixObject, ShapesAndTheRowCountFirst) {
  for (const Shape &s : shapes) {
    SCOPED_TRACE(s);
    Matrix_d m(s.rows, s.cols);
    EXPECT_EQ(s.rows, m.SizeRow());
    EXPECT_EQ(s.cols, m.SizeCol());
    for (unsigned int r = 0; r < s.rows; ++r) {
      for (unsigned int c = 0; c + 1 < s.cols; ++c) {
        EXPECT_EQ(&m(r, c) + 1, &m.v(r, c + 1)); // rows are contiguous
      }
    }
  }
}

TEST(MatrixObject, CmpMatrixSize) {
  for (const Shape &a : shapes) {
    for (const Shape &b : shapes) {
      const bool same = a.rows == b.rows && a.cols == b.cols;
      EXPECT_EQ(same, Matrix_d(a.rows, a.cols).CmpMatrixSize(Matrix_d(b.rows, b.cols))) << a << " vs " << b;
    }
  }
}

// Zero writes +0.0 (all bits clear) everywhere; Identity adds 1.0 on the
// leading diagonal of length min(rows, cols), also on non-square shapes.
TEST(MatrixObject, ZeroAndIdentity) {
  for (const Shape &s : shapes) {
    SCOPED_TRACE(s);
    Matrix_d z = filled(s), id = filled(s);
    if (s.rows && s.cols) {
      z(s.rows - 1, s.cols - 1) = qnan;
    }
    z.Zero();
    id.Identity();
    for (unsigned int r = 0; r < s.rows; ++r) {
      for (unsigned int c = 0; c < s.cols; ++c) {
        EXPECT_BITS(0.0, z(r, c));
        EXPECT_BITS(r == c ? 1.0 : 0.0, id(r, c)) << r << ", " << c;
      }
    }
  }
}

// Dup and operator= copy every bit when the shapes agree and keep the target's
// storage; otherwise they return false and leave shape and bits untouched.
TEST(MatrixObject, DupAndAssignment) {
  for (const Shape &to : shapes) {
    for (const Shape &from : shapes) {
      SCOPED_TRACE(::testing::Message() << from << " into " << to);
      const bool fits = to.rows == from.rows && to.cols == from.cols;
      const Matrix_d source = filled(from, 3);
      for (int assign = 0; assign < 2; ++assign) {
        Matrix_d target = filled(to);
        if (to.rows && to.cols) {
          target(to.rows - 1, to.cols - 1) = qnan;
        }
        const Matrix_d snapshot(target);
        const auto storage = addresses(target);
        EXPECT_EQ(fits, assign ? (target = source) : target.Dup(source));
        EXPECT_SAME(fits ? source : snapshot, target);
        EXPECT_EQ(storage, addresses(target));
      }
      EXPECT_SAME(filled(from, 3), source);
    }
  }
}

TEST(MatrixObject, DupWithItselfChangesNothing) {
  Matrix_d a = filled({3, 2});
  a(1, 1) = qnan;
  const Matrix_d before(a);
  const Matrix_d &self = a;
  EXPECT_TRUE(a.Dup(self));
  EXPECT_TRUE(a = self);
  EXPECT_SAME(before, a);
}

TEST(MatrixObject, CopyIsDeep) {
  for (const Shape &s : shapes) {
    SCOPED_TRACE(s);
    Matrix_d a = filled(s);
    if (s.rows && s.cols) {
      a(0, s.cols - 1) = qnan;
    }
    const Matrix_d copy(a);
    EXPECT_SAME(a, copy);
    const auto mine = addresses(copy), theirs = addresses(a);
    for (const double *p : mine) {
      EXPECT_EQ(theirs.end(), std::find(theirs.begin(), theirs.end(), p));
    }
    const Matrix_d snapshot(copy);
    a.Zero(); // writing the source leaves the copy alone
    EXPECT_SAME(snapshot, copy);
  }
}

// IEEE equality: -0.0 == +0.0, a NaN equals nothing, shapes must agree.
TEST(MatrixObject, Equality) {
  for (const Shape &s : shapes) {
    SCOPED_TRACE(s);
    const Matrix_d a = filled(s);
    Matrix_d b(a);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    for (unsigned int r = 0; r < s.rows; ++r) {
      for (unsigned int c = 0; c < s.cols; ++c) {
        SCOPED_TRACE(::testing::Message() << "element " << r << ", " << c);
        const double keep = b(r, c);
        b(r, c) = keep == 0.0 ? -keep : keep; // the other zero: still equal
        EXPECT_TRUE(a == b);
        b(r, c) = keep == 0.0 ? 1.0 : -keep; // a different value
        EXPECT_FALSE(a == b);
        EXPECT_TRUE(a != b);
        b(r, c) = qnan;
        EXPECT_FALSE(b == b);
        EXPECT_TRUE(b != b);
        EXPECT_FALSE(a == b);
        b(r, c) = keep;
      }
    }
    for (const Shape &o : shapes) {
      if (o.rows != s.rows || o.cols != s.cols) {
        EXPECT_FALSE(a == filled(o)) << o;
        EXPECT_TRUE(a != filled(o)) << o;
      }
    }
  }
}

} // namespace
