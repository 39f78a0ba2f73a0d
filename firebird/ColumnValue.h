// Copying one fetched value out of the column area into the caller's buffer,
// in the layout of the column's kind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ColumnDescription.h"

namespace tarvel::fb {

// Reads the whole content of a blob by its id.
using BlobReader = std::function<std::string(const ISC_QUAD&)>;

// Writes the value of entry `index` (not null) into buffer (size bytes).
// Throws DriverFailure: InvalidLength when the buffer is too small for a
// fixed-size kind, InvalidFieldType for a column of unknown kind.
void copyColumnValue(SqlDescriptor& area, int index, const ColumnDescription& column, bool trimChar,
                     const BlobReader& readBlob, void* buffer, std::uint32_t size);

}  // namespace tarvel::fb
