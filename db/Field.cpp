#include "Field.h"

#include <algorithm>
#include <cstdlib>

#include "NameCompare.h"
#include "SqlDriver.h"

namespace tarvel {

namespace {

// BCD columns: places as a positive count, at least as many digits as places;
// what does not fit a plain BCD field (14 digits, 4 places) is extended BCD of
// at most 32 digits.
void describeBcd(const CursorColumn& column, Field& field) {
    int scale = std::abs(static_cast<int>(column.scale));
    int precision = std::max(static_cast<int>(column.precision), scale);
    bool extended = column.kind == sqldriver::kind::ExtendedBcd;
    if (precision > 14 || scale > 4) {
        extended = true;
        if (precision == 38 && (scale == 0 || scale == 38)) {
            precision = 32;
            scale = 8;
        } else {
            precision = std::min(precision, 32);
        }
    }
    field.kind = extended ? FieldKind::ExtendedBcd : FieldKind::Bcd;
    field.precision = precision;
    field.size = scale;
}

bool nameTaken(const std::vector<Field>& fields, const std::string& name) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const Field& f) { return sameNameIgnoringCase(f.name, name); });
}

}  // namespace

std::optional<Field> fieldFromColumn(const CursorColumn& column, std::uint16_t columnNumber) {
    Field field;
    field.name = column.name;
    field.column = columnNumber;
    field.length = column.length;
    field.required = !column.nullable;
    field.readOnly = column.readOnly;

    namespace k = sqldriver::kind;
    switch (column.kind) {
        case k::Text:
            if (column.precision == 0) return std::nullopt;
            field.kind = FieldKind::Text;
            field.size = column.precision;
            break;
        case k::Int16:
        case k::UInt16:
            if (column.length != 2) return std::nullopt;
            field.kind = column.kind == k::Int16 ? FieldKind::Int16 : FieldKind::UInt16;
            break;
        case k::Int32:
            field.kind = column.subkind == sqldriver::subkind::AutoIncrement ? FieldKind::AutoIncrement
                                                                             : FieldKind::Int32;
            break;
        case k::UInt32:
            field.kind = FieldKind::Int32;
            break;
        case k::Int64:
            field.kind = FieldKind::Int64;
            break;
        case k::Double:
            field.kind = column.subkind == sqldriver::subkind::Money ? FieldKind::Currency : FieldKind::Float;
            break;
        case k::Bcd:
        case k::ExtendedBcd:
            describeBcd(column, field);
            break;
        case k::Date:
            field.kind = FieldKind::Date;
            break;
        case k::Time:
            field.kind = FieldKind::Time;
            break;
        case k::SqlTimestamp:
            field.kind = FieldKind::Timestamp;
            break;
        case k::DateTime:
            field.kind = FieldKind::DateTime;
            break;
        case k::Boolean:
            field.kind = FieldKind::Boolean;
            break;
        case k::Bytes:
            field.kind = FieldKind::Bytes;
            break;
        case k::Blob:
            field.kind = FieldKind::Blob;
            break;
        default:
            return std::nullopt;
    }
    return field;
}

std::vector<Field> fieldsFromColumns(const std::vector<CursorColumn>& columns) {
    std::vector<Field> fields;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::optional<Field> field = fieldFromColumn(columns[i], static_cast<std::uint16_t>(i + 1));
        if (!field) continue;
        if (nameTaken(fields, field->name)) {
            const std::string base = field->name;
            for (int n = 1;; ++n) {
                std::string candidate = base + "_" + std::to_string(n);
                if (!nameTaken(fields, candidate)) {
                    field->name = std::move(candidate);
                    break;
                }
            }
        }
        fields.push_back(std::move(*field));
    }
    return fields;
}

}  // namespace tarvel
