// SPDX-License-Identifier: MIT
/// \file
/// Sequence storage: a count and one free-store array, the base of every
/// vector of the library and of the LU permutation.
///
/// Ownership: a sequence owns its array alone; every copy is deep. SeqBase's
/// destructor releases it; those of the classes above add nothing. The array
/// is null only after Empty() (directly, or through Redim(0) or a Dup from an
/// empty source into a sequence of another size); a sequence built with size
/// 0 holds a valid zero-length array instead.
///
/// Failure: the only failure is the free store's std::bad_alloc, which passes
/// through unchanged. Redim allocates before it changes anything, so a failed
/// Redim (and so a failed resizing Dup) leaves size and contents as they were.
///
/// This header must stay usable from C++98 host programs.
#ifndef TOVRA_SEQ_H
#define TOVRA_SEQ_H

#include <cstring>

namespace tovra_detail {

// Element copies of Dup: by assignment in general, by bytes for double,
// since on i386 an assignment may go through an x87 register, which would
// set the quiet bit of a signalling NaN.
template <class T> inline void copy_elements(T *dst, const T *src, unsigned int n) {
  for (unsigned int i = 0; i < n; ++i) {
    dst[i] = src[i];
  }
}

inline void copy_elements(double *dst, const double *src, unsigned int n) {
  std::memcpy(dst, src, n * sizeof(double));
}

} // namespace tovra_detail

/// The storage of a sequence of T: an element count and the array it owns.
template <class T> class SeqBase {
public:
  /// Element count n and a fresh array of n unset elements (non-null also for n == 0).
  SeqBase(unsigned int n) : n_(n), a_(new T[n]) {}
  /// Releases the array through _Empty().
  ~SeqBase() { _Empty(); }

  /// Releases the array if there is one and touches no field: the release step
  /// the destructor shares with Empty(). The object is not used afterwards
  /// unless Empty() resets the fields.
  void _Empty() {
    if (a_ != 0) {
      delete[] a_;
    }
  }
  /// Releases the array; afterwards the array is null and the size 0.
  void Empty() {
    _Empty();
    a_ = 0;
    n_ = 0;
  }
  /// True when the count is 0, whether or not a zero-length array is held.
  bool IsEmpty() { return n_ == 0; }
  /// A fresh array of n unset elements (old contents are lost, also when n
  /// equals the current size); Redim(0) is Empty(). The new array is
  /// allocated before anything changes, so a failure leaves the sequence whole.
  void Redim(unsigned int n) {
    if (n == 0) {
      Empty();
      return;
    }
    T *fresh = new T[n];
    _Empty();
    a_ = fresh;
    n_ = n;
  }
  /// The element count; 0 after Empty().
  unsigned int Size() const { return n_; }
  /// Element i: element access returns references and checks neither index nor array.
  T &operator[](unsigned int i) { return v(i); }
  /// Element i of a const sequence, unchecked like the other accessors.
  const T &operator[](unsigned int i) const { return v(i); }
  /// The same as operator[](i).
  T &v(unsigned int i) { return a_[i]; }
  /// The same as operator[](i) const.
  const T &v(unsigned int i) const { return a_[i]; }

private:
  // A member-wise copy would leave two sequences owning one array; copying
  // is Seq<T>'s job.
  SeqBase(const SeqBase &);
  SeqBase &operator=(const SeqBase &);

  unsigned int n_;
  T *a_;
};

/// A sequence that copies deeply; the permutation of the LU family is a Seq<unsigned int>.
template <class T> class Seq : public SeqBase<T> {
public:
  /// n unset elements (a valid zero-length array for n == 0).
  Seq(unsigned int n) : SeqBase<T>(n) {}
  /// Deep copy: an array of the source's size, then Dup (which then allocates
  /// nothing). Should the copy fail, the base releases the new array.
  Seq(const Seq<T> &s) : SeqBase<T>(s.Size()) { Dup(s); }
  ~Seq() {}

  /// Makes this sequence an element-by-element copy of s, first resizing it
  /// through Redim when the sizes differ (a source of size 0 then empties it).
  /// Never refuses; Dup with itself changes nothing (and copies nothing).
  void Dup(const Seq<T> &s) {
    if (&s == this) {
      return;
    }
    if (this->Size() != s.Size()) {
      this->Redim(s.Size());
    }
    if (s.Size() != 0) {
      tovra_detail::copy_elements(&this->v(0), &s[0], s.Size());
    }
  }
  /// Assignment is Dup: the target takes the source's size and values.
  Seq &operator=(const Seq<T> &s) {
    Dup(s);
    return *this;
  }
};

/// The numeric vector of the library; adds only constructors.
template <class T> class Vector : public Seq<T> {
public:
  /// n unset elements.
  Vector(unsigned int n) : Seq<T>(n) {}
  /// Deep copy of x at its current length.
  Vector(const Vector<T> &x) : Seq<T>(x) {}
  ~Vector() {}
  /// Assignment is Seq<T>::Dup, as for every sequence.
  Vector &operator=(const Vector<T> &x) {
    Seq<T>::operator=(x);
    return *this;
  }
};

#endif
