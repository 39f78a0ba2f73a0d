// Declared precisions of NUMERIC and DECIMAL result columns, which the column
// area does not carry: read from the system tables for columns that come
// straight from a table or view.
#pragma once

#include <vector>

#include "ConnectionCore.h"
#include "SqlDescriptor.h"

namespace tarvel::fb {

// One entry per column of `columns`: the declared precision, 0 when unknown
// (not an exact numeric, an expression, or not found).
std::vector<int> declaredPrecisions(ConnectionCore& connection, SqlDescriptor& columns);

}  // namespace tarvel::fb
