// Parts 1.1 and 1.2: sequences and tables. The fields are read back from the
// object representation, in the order of the data model (count, array; rows,
// columns, row pointers), so that "fresh array", "null array" and "zero-length
// but non-null array" are observed without touching an element.
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "support.h"

namespace {

constexpr bool i386 = sizeof(void *) == 4;
static_assert(sizeof(SeqBase<double>) == (i386 ? 8 : 16), "a sequence is a count and a pointer");
static_assert(sizeof(SeqBase<unsigned int>) == sizeof(SeqBase<double>), "");
static_assert(sizeof(Seq<double>) == sizeof(SeqBase<double>) &&
                  sizeof(Vector<double>) == sizeof(SeqBase<double>) &&
                  sizeof(Seq<unsigned int>) == sizeof(SeqBase<unsigned int>),
              "no derived sequence adds a field");
static_assert(sizeof(TableBase<double>) == (i386 ? 12 : 16), "a table is two counts and a pointer");
static_assert(sizeof(Table<double>) == sizeof(TableBase<double>), "Table adds no field");
static_assert(!std::is_polymorphic<Vector<double>>::value && !std::is_polymorphic<Seq<unsigned int>>::value &&
                  !std::is_polymorphic<Table<double>>::value,
              "no virtual members");
static_assert(std::is_standard_layout<Vector<double>>::value && std::is_standard_layout<Table<double>>::value,
              "the fields can be read from the object representation");
// Tables forbid copies; sequences copy deeply and assign through Dup.
static_assert(!std::is_copy_constructible<Table<double>>::value &&
                  !std::is_copy_assignable<Table<double>>::value &&
                  !std::is_copy_constructible<TableBase<double>>::value &&
                  !std::is_copy_assignable<TableBase<double>>::value,
              "tables are not copyable");
template <class S>
constexpr bool assign_returns_target =
    std::is_same<decltype(std::declval<S &>() = std::declval<const S &>()), S &>::value;
static_assert(assign_returns_target<Seq<double>> && assign_returns_target<Vector<double>> &&
                  assign_returns_target<Seq<unsigned int>>,
              "sequence assignment returns a reference to the target");

template <class F, class O> F field(const O &o, std::size_t offset) {
  F f;
  std::memcpy(&f, reinterpret_cast<const unsigned char *>(&o) + offset, sizeof f);
  return f;
}
template <class T> unsigned int count_of(const SeqBase<T> &s) { return field<unsigned int>(s, 0); }
template <class T> const T *array_of(const SeqBase<T> &s) { return field<T *>(s, sizeof s - sizeof(T *)); }
template <class T> T *const *rows_of(const TableBase<T> &t) {
  return field<T **>(t, sizeof t - sizeof(T **));
}

// Distinct element values, as bit patterns: signed zeros, a NaN with a
// payload, a subnormal, an infinity.
template <class T> T value(unsigned int i);
template <> double value<double>(unsigned int i) {
  static const double v[] = {-0.0, 0.0, t::from_bits(0x7ff8000000000123ull), 0x1p-1074, -HUGE_VAL, 1.5};
  return i < 6 ? v[i] : 1.0 + i;
}
template <> unsigned int value<unsigned int>(unsigned int i) { return 0xdeadbeefu - i; }

template <class T> T element_type(const SeqBase<T> &);
template <class S> using Elem = decltype(element_type(std::declval<S>()));

template <class T> void fill(SeqBase<T> &s, unsigned int first = 0) {
  for (unsigned int i = 0; i < s.Size(); ++i) {
    s[i] = value<T>(first + i);
  }
}
template <class T> std::vector<T> contents(const SeqBase<T> &s) {
  return std::vector<T>(array_of(s), array_of(s) + s.Size());
}
// Bit-for-bit, so that -0.0 and +0.0 differ and a NaN equals itself.
template <class T> bool same_bits(const std::vector<T> &a, const std::vector<T> &b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// ---- Sequences, for each instantiation in use -------------------------------

template <class S> class Sequence : public ::testing::Test {};
using Sequences = ::testing::Types<Seq<double>, Seq<unsigned int>, Vector<double>>;
TYPED_TEST_SUITE(Sequence, Sequences);

TYPED_TEST(Sequence, FieldsAccessorsAndContiguity) {
  TypeParam s(5);
  const TypeParam &cs = s;
  EXPECT_EQ(5u, s.Size());
  EXPECT_EQ(5u, count_of(s));
  EXPECT_FALSE(s.IsEmpty());
  for (unsigned int i = 0; i < 5; ++i) {
    EXPECT_EQ(array_of(s) + i, &s[i]);
    EXPECT_EQ(&s[i], &s.v(i));
    EXPECT_EQ(&s[i], &cs[i]);
    EXPECT_EQ(&s[i], &cs.v(i));
  }
}

TYPED_TEST(Sequence, SizeZeroHoldsAZeroLengthArrayUntilEmpty) {
  TypeParam s(0);
  EXPECT_EQ(0u, s.Size());
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_NE(nullptr, array_of(s));
  s.Empty();
  EXPECT_EQ(nullptr, array_of(s));
  EXPECT_TRUE(s.IsEmpty());
  s.Empty(); // emptying an emptied sequence releases nothing
  EXPECT_EQ(nullptr, array_of(s));
}

// Redim always installs a fresh array (the new one is allocated while the old
// one is still held, so its address differs), or none for Redim(0).
TYPED_TEST(Sequence, RedimGivesFreshStorage) {
  const struct {
    int from; // -1: an emptied sequence (null array)
    unsigned int to;
  } cases[] = {{5, 5}, {5, 3}, {3, 5}, {0, 4}, {0, 0}, {5, 0}, {-1, 3}, {-1, 0}, {1, 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "Redim(" << c.to << ") on size " << c.from);
    TypeParam s(c.from < 0 ? 2u : static_cast<unsigned int>(c.from));
    if (c.from < 0) {
      s.Empty();
    }
    fill(s);
    const auto *before = array_of(s);
    s.Redim(c.to);
    EXPECT_EQ(c.to, s.Size());
    EXPECT_EQ(c.to == 0, s.IsEmpty());
    if (c.to == 0) {
      EXPECT_EQ(nullptr, array_of(s));
    } else {
      EXPECT_NE(nullptr, array_of(s));
      EXPECT_NE(before, array_of(s));
      fill(s, 1); // the new array is usable in full
      EXPECT_EQ(value<Elem<TypeParam>>(c.to), s[c.to - 1]);
    }
  }
}

TYPED_TEST(Sequence, EmptyThenReuse) {
  TypeParam s(3);
  s.Empty();
  s.Redim(4);
  fill(s);
  TypeParam src(2);
  fill(src, 3);
  s.Empty();
  s.Dup(src); // from the emptied state, Dup resizes
  EXPECT_EQ(2u, s.Size());
  EXPECT_NE(array_of(src), array_of(s));
  EXPECT_TRUE(same_bits(contents(src), contents(s)));
}

// Dup adopts the source's size: a new array when the sizes differ, the same
// array (overwritten) when they agree, and no array from an empty source.
TYPED_TEST(Sequence, DupAdoptsTheSourceSize) {
  const struct {
    int target; // -1: an emptied target
    unsigned int source;
    bool keeps_array;
  } cases[] = {{2, 4, false}, {4, 2, false}, {3, 3, true},  {0, 3, false},
               {3, 0, false}, {0, 0, true},  {-1, 0, true}, {-1, 2, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "target size " << c.target << ", source size " << c.source);
    TypeParam target(c.target < 0 ? 1u : static_cast<unsigned int>(c.target)), source(c.source);
    if (c.target < 0) {
      target.Empty();
    }
    fill(target, 10);
    fill(source);
    const auto *before = array_of(target);
    const auto *source_array = array_of(source);
    const auto expected = contents(source);
    target.Dup(source);
    EXPECT_EQ(c.source, target.Size());
    EXPECT_TRUE(same_bits(expected, contents(target)));
    EXPECT_TRUE(same_bits(expected, contents(source)));
    EXPECT_EQ(source_array, array_of(source));
    if (c.keeps_array) {
      EXPECT_EQ(before, array_of(target));
    } else if (c.source == 0) {
      EXPECT_EQ(nullptr, array_of(target)); // emptied
      EXPECT_TRUE(target.IsEmpty());
    } else {
      EXPECT_NE(before, array_of(target));
      EXPECT_NE(source_array, array_of(target));
    }
  }
}

TYPED_TEST(Sequence, DupWithItselfChangesNothing) {
  TypeParam s(6);
  fill(s);
  const auto before = contents(s);
  const auto *array = array_of(s);
  const TypeParam &self = s;
  s.Dup(self);
  s = self;
  EXPECT_EQ(array, array_of(s));
  EXPECT_TRUE(same_bits(before, contents(s)));
}

// Assignment is Dup: it resizes, copies deeply and returns the target.
TYPED_TEST(Sequence, AssignmentIsDup) {
  TypeParam a(1), b(4), c(0);
  fill(a, 7);
  fill(b);
  EXPECT_EQ(&a, &(a = b));
  EXPECT_EQ(4u, a.Size());
  EXPECT_NE(array_of(b), array_of(a));
  EXPECT_TRUE(same_bits(contents(b), contents(a)));
  const auto b_values = contents(b);
  fill(a, 9);
  EXPECT_TRUE(same_bits(b_values, contents(b)));
  a = b = c; // chains, right to left
  EXPECT_EQ(nullptr, array_of(a));
  EXPECT_EQ(nullptr, array_of(b));
  EXPECT_NE(nullptr, array_of(c)); // the source keeps its zero-length array
}

TYPED_TEST(Sequence, CopyIsDeep) {
  for (int n : {0, 1, 6, -1}) { // -1: an emptied source (null array)
    TypeParam s(n < 0 ? 3u : static_cast<unsigned int>(n));
    if (n < 0) {
      s.Empty();
    }
    fill(s);
    TypeParam copy(s);
    EXPECT_EQ(n < 0 ? 0u : static_cast<unsigned int>(n), copy.Size());
    EXPECT_NE(nullptr, array_of(copy)); // a copy of size 0 holds a zero-length array
    EXPECT_NE(array_of(s), array_of(copy));
    EXPECT_TRUE(same_bits(contents(s), contents(copy)));
    if (n > 0) {
      const auto original = contents(s);
      fill(copy, 20);
      EXPECT_TRUE(same_bits(original, contents(s)));
    }
  }
}

// ---- Tables -------------------------------------------------------------------

TEST(Table, ShapesIncludingEmptyOnes) {
  const struct { unsigned int rows, cols; } cases[] = {{0, 0}, {0, 5}, {3, 0}, {2, 3}, {1, 1}, {4, 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rows << "x" << c.cols);
    Table<double> t(c.rows, c.cols);
    EXPECT_EQ(c.rows, t.SizeRow());
    EXPECT_EQ(c.cols, t.SizeCol());
    EXPECT_EQ(c.rows, field<unsigned int>(t, 0));
    EXPECT_EQ(c.cols, field<unsigned int>(t, sizeof(unsigned int)));
    ASSERT_NE(nullptr, rows_of(t)); // also for 0 rows
    for (unsigned int r = 0; r < c.rows; ++r) {
      EXPECT_NE(nullptr, rows_of(t)[r]); // also for 0 columns
      for (unsigned int q = 0; q < r; ++q) {
        EXPECT_NE(rows_of(t)[q], rows_of(t)[r]);
      }
    }
  }
}

// All four accessors reach the same element; the row index comes first; a row
// is contiguous; rows are separate arrays.
TEST(Table, AccessorsRowsAndContiguity) {
  Table<double> t(2, 3);
  const Table<double> &ct = t;
  for (unsigned int r = 0; r < 2; ++r) {
    for (unsigned int c = 0; c < 3; ++c) {
      t(r, c) = value<double>(3 * r + c);
      EXPECT_EQ(rows_of(t)[r] + c, &t(r, c));
      EXPECT_EQ(&t(r, c), &t.v(r, c));
      EXPECT_EQ(&t(r, c), &ct(r, c));
      EXPECT_EQ(&t(r, c), &ct.v(r, c));
    }
  }
  for (unsigned int r = 0; r < 2; ++r) {
    for (unsigned int c = 0; c < 3; ++c) {
      EXPECT_BITS(value<double>(3 * r + c), ct.v(r, c));
    }
  }
}

} // namespace
