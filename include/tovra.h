// The whole public interface of libtovra: include this and link -ltovra.
#ifndef TOVRA_H
#define TOVRA_H

#include "tovra/seq.h"
#include "tovra/table.h"
#include "tovra/matrix_d.h"
#include "tovra/vectorn.h"
#include "tovra/smatrix_d.h"

#endif
