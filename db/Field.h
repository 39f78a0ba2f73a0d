// The fields of an open result: one per result column of a known kind, built
// from the driver's description of the column.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvel {

enum class FieldKind {
    Text,
    Int16,
    UInt16,
    Int32,
    AutoIncrement,
    Int64,
    Float,
    Currency,
    Bcd,
    ExtendedBcd,
    Date,
    Time,
    Timestamp,
    DateTime,
    Boolean,
    Bytes,
    Blob,
};

// A result column as the driver's cursor describes it (one answer of each of
// its column queries).
struct CursorColumn {
    std::string name;
    std::uint16_t kind = 0;
    std::uint16_t subkind = 0;
    std::uint32_t length = 0;
    std::int16_t precision = 0;
    std::int16_t scale = 0;
    bool nullable = true;
    bool readOnly = false;
};

struct Field {
    std::string name;
    FieldKind kind = FieldKind::Text;
    std::uint16_t column = 0;  // the driver's column number, from 1
    std::uint32_t length = 0;  // bytes of a value as the driver reports them
    int size = 0;              // text: width in characters; BCD: decimal places
    int precision = 0;         // BCD: significant digits
    bool required = false;
    bool readOnly = false;
};

// The field a column gives, or nothing for a column of a kind without a field.
std::optional<Field> fieldFromColumn(const CursorColumn& column, std::uint16_t columnNumber);

// The fields of a result in column order. A column without a field is left
// out; a name an earlier field already holds (letter case ignored) gets the
// first free suffix "_1", "_2", ...
std::vector<Field> fieldsFromColumns(const std::vector<CursorColumn>& columns);

}  // namespace tarvel
