// How a described result column appears through the interface: its kind,
// subkind, sizes and flags.
#pragma once

#include <cstdint>
#include <string>

#include "SqlDescriptor.h"

namespace tarvel::fb {

struct ColumnDescription {
    std::string name;
    std::uint16_t kind = 0;
    std::uint16_t subkind = 0;
    std::uint32_t length = 0;
    std::int16_t precision = 0;
    std::int16_t scale = 0;
    bool nullable = true;
    bool readOnly = true;
};

// True for an integer storage type that holds a NUMERIC or DECIMAL column.
bool isExactNumeric(const DescribedType& type);
// Most digits an exact numeric of this storage type can be declared with.
int largestPrecision(short storageType);
// Bytes one character of a Firebird character set takes at most.
int bytesPerCharacter(int charSetId);

// The description of output entry `var` of the type `type`; declaredPrecision
// is the NUMERIC/DECIMAL precision from the system tables, 0 when unknown.
ColumnDescription describeColumn(const XSQLVAR& var, const DescribedType& type, int declaredPrecision);

}  // namespace tarvel::fb
