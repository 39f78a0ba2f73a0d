#include "ColumnValue.h"

#include <cstring>

#include "DriverFailure.h"
#include "FieldText.h"
#include "ValueLayout.h"

namespace tarvel::fb {

namespace kind = sqldriver::kind;
using sqldriver::status::InvalidFieldType;
using sqldriver::status::InvalidLength;

namespace {

template <typename Value>
void put(const Value& value, void* buffer, std::uint32_t size) {
    if (size < sizeof(Value))
        throw DriverFailure(InvalidLength, "the buffer is too small for the column value");
    std::memcpy(buffer, &value, sizeof(Value));
}

template <typename Stored>
Stored stored(const XSQLVAR& var) {
    Stored value;
    std::memcpy(&value, var.sqldata, sizeof value);
    return value;
}

// Bytes, cut to size - 1, then a NUL.
void putText(const char* bytes, std::size_t count, void* buffer, std::uint32_t size) {
    if (size == 0) throw DriverFailure(InvalidLength, "the buffer has no room for the text");
    if (count > size - 1) count = size - 1;
    std::memcpy(buffer, bytes, count);
    static_cast<char*>(buffer)[count] = '\0';
}

std::int64_t storedInteger(const XSQLVAR& var, short type) {
    switch (type) {
        case SQL_SHORT:
            return stored<ISC_SHORT>(var);
        case SQL_LONG:
            return stored<ISC_LONG>(var);
        default:
            return stored<ISC_INT64>(var);
    }
}

}  // namespace

void copyColumnValue(SqlDescriptor& area, int index, const ColumnDescription& column, bool trimChar,
                     const BlobReader& readBlob, void* buffer, std::uint32_t size) {
    const XSQLVAR& var = area.entry(index);
    const DescribedType& type = area.described(index);
    switch (column.kind) {
        case kind::Text: {
            const char* bytes = var.sqldata;
            std::size_t count = 0;
            if (type.type == SQL_VARYING) {
                count = stored<unsigned short>(var);
                bytes += 2;
            } else {
                count = static_cast<std::size_t>(type.length);
                if (trimChar)
                    while (count > 0 && bytes[count - 1] == ' ') --count;
            }
            putText(bytes, count, buffer, size);
            return;
        }
        case kind::Int16:
            put(stored<ISC_SHORT>(var), buffer, size);
            return;
        case kind::Int32:
            put(stored<ISC_LONG>(var), buffer, size);
            return;
        case kind::Int64:
            put(stored<ISC_INT64>(var), buffer, size);
            return;
        case kind::Bcd:
            put(bcdFromScaled(storedInteger(var, type.type), -type.scale, column.precision), buffer, size);
            return;
        case kind::Double:
            put(type.type == SQL_FLOAT ? static_cast<double>(stored<float>(var)) : stored<double>(var),
                buffer, size);
            return;
        case kind::Date:
            put(dayNumberFromIscDate(stored<ISC_DATE>(var)), buffer, size);
            return;
        case kind::Time:
            put(millisecondsFromIscTime(stored<ISC_TIME>(var)), buffer, size);
            return;
        case kind::SqlTimestamp:
            put(sqlTimestampFromIsc(stored<ISC_TIMESTAMP>(var)), buffer, size);
            return;
        case kind::Boolean:
            put(static_cast<std::int16_t>(var.sqldata[0] != 0), buffer, size);
            return;
        case kind::Blob: {
            const std::string content = readBlob(stored<ISC_QUAD>(var));
            // A memo reads like text; a binary blob gives as many bytes as fit.
            if (column.subkind == sqldriver::subkind::Memo) {
                putText(content.data(), content.size(), buffer, size);
            } else {
                std::memcpy(buffer, content.data(), content.size() < size ? content.size() : size);
            }
            return;
        }
        default:
            throw DriverFailure(InvalidFieldType, "the column's type cannot be read: " + column.name);
    }
}

}  // namespace tarvel::fb
