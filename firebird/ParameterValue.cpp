#include "ParameterValue.h"

#include <cstring>
#include <string>
#include <string_view>

#include "DateTimeParse.h"
#include "DriverFailure.h"
#include "RegionalFormats.h"
#include "ValueLayout.h"

namespace tarvel::fb {

namespace kind = sqldriver::kind;
using sqldriver::status::InvalidFieldType;
using sqldriver::status::InvalidLength;
using sqldriver::status::InvalidTime;

namespace {

template <typename Value>
Value taken(const BoundValue& bound) {
    if (!bound.value || bound.length < sizeof(Value))
        throw DriverFailure(InvalidLength, "the parameter value is shorter than its kind");
    Value value;
    std::memcpy(&value, bound.value, sizeof value);
    return value;
}

template <typename Stored>
void store(SqlDescriptor& area, int index, short type, short scale, const Stored& value) {
    char* buffer = area.retype(index, type, scale, sizeof(Stored), sizeof(Stored));
    std::memcpy(buffer, &value, sizeof value);
}

void storeText(SqlDescriptor& area, int index, std::string_view text, short charSet) {
    if (text.size() > 32765)
        throw DriverFailure(InvalidLength, "a text parameter is longer than 32765 bytes");
    char* buffer = area.retype(index, SQL_TEXT, 0, static_cast<short>(text.size()), text.size());
    std::memcpy(buffer, text.data(), text.size());
    area.entry(index).sqlsubtype = charSet;
}

// The text of a text value: its bytes up to the first NUL within length.
std::string_view boundText(const BoundValue& bound) {
    if (!bound.value || bound.length == 0) return {};
    const char* bytes = static_cast<const char*>(bound.value);
    const void* nul = std::memchr(bytes, '\0', bound.length);
    return {bytes, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : bound.length};
}

// A text for a DATE, TIME or TIMESTAMP parameter, read with the regional formats.
bool storeTemporalText(SqlDescriptor& area, int index, short describedType, std::string_view text) {
    const RegionalFormats& formats = currentFormats();
    switch (describedType) {
        case SQL_TYPE_DATE: {
            std::int32_t day = 0;
            if (!parseDateText(text, formats, &day)) return false;
            store(area, index, SQL_TYPE_DATE, 0, iscDateFromDayNumber(day));
            return true;
        }
        case SQL_TYPE_TIME: {
            std::uint32_t milliseconds = 0;
            if (!parseTimeText(text, formats, &milliseconds) || milliseconds >= 86400000u) return false;
            store(area, index, SQL_TYPE_TIME, 0, iscTimeFromMilliseconds(milliseconds));
            return true;
        }
        case SQL_TIMESTAMP: {
            sqldriver::SqlTimestamp value;
            ISC_TIMESTAMP stamp{};
            if (!parseTimestampText(text, formats, &value) || !iscTimestampFromSql(value, &stamp))
                return false;
            store(area, index, SQL_TIMESTAMP, 0, stamp);
            return true;
        }
        default:
            return false;
    }
}

bool isTemporalType(short type) {
    return type == SQL_TYPE_DATE || type == SQL_TYPE_TIME || type == SQL_TIMESTAMP;
}

bool isTextType(short type) { return type == SQL_TEXT || type == SQL_VARYING; }

}  // namespace

void bindParameter(SqlDescriptor& area, int index, const BoundValue& bound) {
    if (bound.isNull) {
        area.setNull(index);
        return;
    }
    const DescribedType& described = area.described(index);
    switch (bound.kind) {
        case kind::Text: {
            const std::string_view text = boundText(bound);
            // The program writes a null date as the empty text; reading that back
            // as null keeps the value, where Firebird would refuse the text.
            if (text.empty() && isTemporalType(described.type)) {
                area.setNull(index);
                return;
            }
            if (storeTemporalText(area, index, described.type, text)) return;
            // Text parameters keep their character set; any other type gets the
            // text as NONE for Firebird to convert.
            storeText(area, index, text, isTextType(described.type) ? described.subType : 0);
            return;
        }
        case kind::Int16:
            store(area, index, SQL_SHORT, 0, taken<std::int16_t>(bound));
            return;
        case kind::UInt16:
            store(area, index, SQL_LONG, 0, static_cast<ISC_LONG>(taken<std::uint16_t>(bound)));
            return;
        case kind::Int32:
            store(area, index, SQL_LONG, 0, taken<std::int32_t>(bound));
            return;
        case kind::UInt32:
            store(area, index, SQL_INT64, 0, static_cast<ISC_INT64>(taken<std::uint32_t>(bound)));
            return;
        case kind::Int64:
            store(area, index, SQL_INT64, 0, taken<std::int64_t>(bound));
            return;
        case kind::Double:
            store(area, index, SQL_DOUBLE, 0, taken<double>(bound));
            return;
        case kind::Bcd:
        case kind::ExtendedBcd: {
            // Handed over as its exact decimal text; Firebird converts that exactly.
            std::string text;
            if (!bcdToText(taken<sqldriver::Bcd>(bound), &text))
                throw DriverFailure(sqldriver::status::InvalidPrecision, "malformed BCD parameter value");
            storeText(area, index, text, 0);
            return;
        }
        case kind::Date:
            store(area, index, SQL_TYPE_DATE, 0, iscDateFromDayNumber(taken<std::int32_t>(bound)));
            return;
        case kind::Time: {
            const std::uint32_t milliseconds = taken<std::uint32_t>(bound);
            if (milliseconds >= 86400000u)
                throw DriverFailure(InvalidTime, "a time parameter beyond the end of the day");
            store(area, index, SQL_TYPE_TIME, 0, iscTimeFromMilliseconds(milliseconds));
            return;
        }
        case kind::SqlTimestamp:
        case kind::DateTime: {
            ISC_TIMESTAMP stamp{};
            if (!iscTimestampFromSql(taken<sqldriver::SqlTimestamp>(bound), &stamp))
                throw DriverFailure(InvalidTime, "a timestamp parameter with a part out of range");
            store(area, index, SQL_TIMESTAMP, 0, stamp);
            return;
        }
        case kind::Boolean: {
            const char flag = taken<std::int16_t>(bound) != 0 ? 1 : 0;
            char* buffer = area.retype(index, SQL_BOOLEAN, 0, 1, 1);
            *buffer = flag;
            return;
        }
        case kind::Bytes:
        case kind::Blob:
            if (bound.length > 0 && !bound.value)
                throw DriverFailure(InvalidLength, "a parameter value is missing");
            storeText(area, index, std::string_view(static_cast<const char*>(bound.value), bound.length),
                      bound.subkind == sqldriver::subkind::Memo ? 0 : 1);
            return;
        default:
            throw DriverFailure(InvalidFieldType,
                                "a parameter of kind " + std::to_string(bound.kind) + " cannot be bound");
    }
}

}  // namespace tarvel::fb
