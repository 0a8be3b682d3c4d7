// SPDX-License-Identifier: MIT
/// \file
/// Fixed-size vectors: a Vector<T> built with 2, 3 or 4 elements.
///
/// The length is fixed at construction only: Redim and a resizing Dup change
/// it like that of any sequence, and a copy takes the source's current length.
/// Assignment is Seq<T>::Dup, as for every sequence. A constructor whose array
/// cannot be allocated throws std::bad_alloc and leaves nothing behind.
///
/// This header must stay usable from C++98 host programs.
#ifndef TOVRA_VECTORN_H
#define TOVRA_VECTORN_H

#include "seq.h"

/// A Vector<T> built with 2 elements, the vector type of Matrix2x2_d.
template <class T> class Vector2 : public Vector<T> {
public:
  /// 2 unset elements.
  Vector2() : Vector<T>(2) {}
  /// Deep copy of x at its current length.
  Vector2(const Vector2<T> &x) : Vector<T>(x) {}
  ~Vector2() {}
  /// Seq<T>::Dup: takes x's current length and values.
  Vector2 &operator=(const Vector2<T> &x) {
    Vector<T>::operator=(x);
    return *this;
  }
};

/// A Vector<T> built with 3 elements, the vector type of Matrix3x3_d.
template <class T> class Vector3 : public Vector<T> {
public:
  /// 3 unset elements.
  Vector3() : Vector<T>(3) {}
  /// Deep copy of x at its current length.
  Vector3(const Vector3<T> &x) : Vector<T>(x) {}
  ~Vector3() {}
  /// Seq<T>::Dup: takes x's current length and values.
  Vector3 &operator=(const Vector3<T> &x) {
    Vector<T>::operator=(x);
    return *this;
  }
};

/// A Vector<T> built with 4 elements, the vector type of Matrix4x4_d.
template <class T> class Vector4 : public Vector<T> {
public:
  /// 4 unset elements.
  Vector4() : Vector<T>(4) {}
  /// Deep copy of x at its current length.
  Vector4(const Vector4<T> &x) : Vector<T>(x) {}
  ~Vector4() {}
  /// Seq<T>::Dup: takes x's current length and values.
  Vector4 &operator=(const Vector4<T> &x) {
    Vector<T>::operator=(x);
    return *this;
  }
};

#endif
