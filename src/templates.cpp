// SPDX-License-Identifier: MIT
// The template instantiations the shared object provides, and the layout
// promise made to host programs: no virtual members, no added fields, so a
// sequence is a count and a pointer and a table two counts and a pointer
// (8 and 12 bytes on i386).
//
// Whole classes are instantiated; which of their members are exported is
// decided by the linker's export list, generated from cmake/exports.txt.
#include <type_traits>

#include "tovra/smatrix_d.h"
#include "tovra/vectorn.h"

// Refuses builds with floating-point shortcuts, in every source of the library.
#include "fp_guard.h"

template class SeqBase<double>;
template class Seq<double>;
template class Vector<double>;
template class SeqBase<unsigned int>;
template class Seq<unsigned int>;
template class TableBase<double>;
template class Table<double>;
template class Vector2<double>;
template class Vector3<double>;
template class Vector4<double>;

namespace {

constexpr bool i386 = sizeof(void *) == 4;

static_assert(sizeof(Vector4<double>) == (i386 ? 8 : 16), "a sequence is a count and a pointer");
static_assert(sizeof(Seq<unsigned int>) == sizeof(SeqBase<unsigned int>), "no added fields");
static_assert(sizeof(Matrix4x4_d) == (i386 ? 12 : 16), "a table is two counts and a pointer");
static_assert(sizeof(Matrix_d) == sizeof(TableBase<double>), "no added fields");
static_assert(!std::is_polymorphic<Matrix4x4_d>::value && !std::is_polymorphic<Vector4<double>>::value,
              "no virtual members");

} // namespace
