// SPDX-License-Identifier: MIT
/// \file
/// The whole public interface of libtovra: include this and link -ltovra.
#ifndef TOVRA_H
#define TOVRA_H

#include "tovra/matrix_d.h"
#include "tovra/seq.h"
#include "tovra/smatrix_d.h"
#include "tovra/table.h"
#include "tovra/vectorn.h"
#include "tovra/version.h"

#endif
