// Placing one bound value into the parameter area, in a type Firebird takes
// for the parameter's described type.
#pragma once

#include <cstdint>

#include "SqlDescriptor.h"

namespace tarvel::fb {

struct BoundValue {
    std::uint16_t kind = 0;
    std::uint16_t subkind = 0;
    std::uint32_t length = 0;
    const void* value = nullptr;
    bool isNull = false;
};

// Sets entry `index`. A text bound where the statement expects a DATE, TIME or
// TIMESTAMP is read with the program's current regional formats, the inverse
// of how the program writes such values; a text they do not match is left to
// Firebird's own parsing, and the empty text is null there. Throws DriverFailure: InvalidLength for a value
// shorter than its kind, InvalidFieldType for a kind that cannot be bound.
void bindParameter(SqlDescriptor& area, int index, const BoundValue& bound);

}  // namespace tarvel::fb
