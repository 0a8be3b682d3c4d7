// SPDX-License-Identifier: MIT
/// \file
/// Table storage: the two-dimensional container under every matrix.
///
/// A table holds a row count, a column count and an array of row pointers;
/// each row is an array of its own. Rows are separate allocations so that a
/// row never moves while the table lives: references returned by the element
/// accessors stay valid until the table is destroyed: TableBase's destructor
/// releases the rows, and those of the classes above add nothing. The shape
/// never changes after construction.
///
/// This header must stay usable from C++98 host programs.
#ifndef TOVRA_TABLE_H
#define TOVRA_TABLE_H

/// The storage of a table of T: its two counts and the rows it owns.
template <class T> class TableBase {
public:
  /// rows x cols unset elements. The row-pointer array is allocated even for
  /// 0 rows; with 0 columns every row is a zero-length array. Should a row
  /// allocation fail, the rows already made and the row-pointer array are
  /// released before std::bad_alloc passes on: a failed table leaks nothing.
  TableBase(unsigned int rows, unsigned int cols) : rows_(rows), cols_(cols), row_(new T *[rows]) {
    unsigned int i = 0;
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
    try {
      for (; i < rows; ++i) {
        row_[i] = new T[cols];
      }
    } catch (...) {
      while (i > 0) {
        delete[] row_[--i];
      }
      delete[] row_;
      throw;
    }
#else
    for (; i < rows; ++i) {
      row_[i] = new T[cols];
    }
#endif
  }
  /// Releases the rows and the row-pointer array; references from operator()
  /// and v() die with the table.
  ~TableBase() { _Empty(); }

  /// Releases every row, in increasing order, then the row-pointer array; the
  /// fields keep their values. The destructor's release step only.
  void _Empty() {
    if (row_ == 0) {
      return;
    }
    for (unsigned int i = 0; i < rows_; ++i) {
      if (row_[i] != 0) {
        delete[] row_[i];
      }
    }
    delete[] row_;
  }

  /// Element (r, c): references, no bounds or pointer checks.
  T &operator()(unsigned int r, unsigned int c) { return row_[r][c]; }
  /// Element (r, c) of a const table, unchecked like the other accessors.
  const T &operator()(unsigned int r, unsigned int c) const { return row_[r][c]; }
  /// The same as operator()(r, c).
  T &v(unsigned int r, unsigned int c) { return row_[r][c]; }
  /// The same as operator()(r, c) const.
  const T &v(unsigned int r, unsigned int c) const { return row_[r][c]; }
  /// The row count fixed at construction.
  unsigned int SizeRow() const { return rows_; }
  /// The column count fixed at construction.
  unsigned int SizeCol() const { return cols_; }

private:
  // A member-wise copy would leave two tables owning the same rows; a matrix
  // copies element by element through its own members instead.
  TableBase(const TableBase &);
  TableBase &operator=(const TableBase &);

  unsigned int rows_;
  unsigned int cols_;
  T **row_;
};

/// A table that cannot be copied: the base of Matrix_d.
template <class T> class Table : public TableBase<T> {
public:
  /// rows x cols unset elements. Tables cannot be copied; a matrix copies
  /// through its own copy constructor or Dup.
  Table(unsigned int rows, unsigned int cols) : TableBase<T>(rows, cols) {}
  ~Table() {}

private:
  Table(const Table &);
  Table &operator=(const Table &);
};

#endif
