// Fixed-size vectors: a Vector<T> built with 2, 3 or 4 elements.
//
// The length is fixed at construction only: Redim and a resizing Dup change
// it like that of any sequence, and a copy takes the source's current length.
// Assignment is Seq<T>::Dup, as for every sequence. A constructor whose array
// cannot be allocated throws std::bad_alloc and leaves nothing behind.
//
// This header must stay usable from C++98 host programs.
#ifndef TOVRA_VECTORN_H
#define TOVRA_VECTORN_H

#include "seq.h"

template <class T> class Vector2 : public Vector<T> {
public:
  Vector2() : Vector<T>(2) {}
  Vector2(const Vector2<T> &x) : Vector<T>(x) {}
  ~Vector2() {}
  Vector2 &operator=(const Vector2<T> &x) {
    Vector<T>::operator=(x);
    return *this;
  }
};

template <class T> class Vector3 : public Vector<T> {
public:
  Vector3() : Vector<T>(3) {}
  Vector3(const Vector3<T> &x) : Vector<T>(x) {}
  ~Vector3() {}
  Vector3 &operator=(const Vector3<T> &x) {
    Vector<T>::operator=(x);
    return *this;
  }
};

template <class T> class Vector4 : public Vector<T> {
public:
  Vector4() : Vector<T>(4) {}
  Vector4(const Vector4<T> &x) : Vector<T>(x) {}
  ~Vector4() {}
  Vector4 &operator=(const Vector4<T> &x) {
    Vector<T>::operator=(x);
    return *this;
  }
};

#endif
