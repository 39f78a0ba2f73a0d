#include "ColumnDescription.h"

#include <algorithm>

#include "SqlDriver.h"

namespace tarvel::fb {

namespace kind = sqldriver::kind;
namespace subkind = sqldriver::subkind;

bool isExactNumeric(const DescribedType& type) {
    const bool integerStorage = type.type == SQL_SHORT || type.type == SQL_LONG || type.type == SQL_INT64;
    // Sub type 1 is NUMERIC, 2 DECIMAL; a scale below zero is one of them too.
    return integerStorage && (type.scale < 0 || type.subType == 1 || type.subType == 2);
}

int largestPrecision(short storageType) {
    switch (storageType) {
        case SQL_SHORT:
            return 4;
        case SQL_LONG:
            return 9;
        default:
            return 18;
    }
}

int bytesPerCharacter(int charSetId) {
    switch (charSetId) {
        case 3:  // UNICODE_FSS
            return 3;
        case 4:   // UTF8
        case 69:  // GB18030
            return 4;
        case 5:   // SJIS_0208
        case 6:   // EUCJ_0208
        case 44:  // KSC_5601
        case 56:  // BIG_5
        case 57:  // GB_2312
        case 67:  // GBK
        case 68:  // CP943C
            return 2;
        default:
            return 1;
    }
}

ColumnDescription describeColumn(const XSQLVAR& var, const DescribedType& type, int declaredPrecision) {
    ColumnDescription column;
    column.name.assign(var.aliasname, std::clamp<int>(var.aliasname_length, 0, sizeof var.aliasname));
    column.nullable = type.nullable;
    column.readOnly = var.relname_length == 0;
    if (isExactNumeric(type)) {
        column.kind = kind::Bcd;
        column.precision = static_cast<std::int16_t>(declaredPrecision > 0 ? declaredPrecision
                                                                           : largestPrecision(type.type));
        column.scale = static_cast<std::int16_t>(-type.scale);
        column.length = sizeof(sqldriver::Bcd);
        return column;
    }
    switch (type.type) {
        case SQL_TEXT:
        case SQL_VARYING:
            column.kind = kind::Text;
            column.subkind = type.type == SQL_TEXT ? subkind::FixedText : subkind::None;
            column.length = static_cast<std::uint32_t>(type.length);
            column.precision =
                static_cast<std::int16_t>(type.length / bytesPerCharacter(type.subType & 0xFF));
            break;
        case SQL_SHORT:
            column.kind = kind::Int16;
            column.length = 2;
            column.precision = 5;
            break;
        case SQL_LONG:
            column.kind = kind::Int32;
            column.length = 4;
            column.precision = 10;
            break;
        case SQL_INT64:
            column.kind = kind::Int64;
            column.length = 8;
            column.precision = 19;
            break;
        case SQL_FLOAT:
            column.kind = kind::Double;
            column.length = 8;
            column.precision = 7;
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            column.kind = kind::Double;
            column.length = 8;
            column.precision = 15;
            break;
        case SQL_TYPE_DATE:
            column.kind = kind::Date;
            column.length = 4;
            break;
        case SQL_TYPE_TIME:
            column.kind = kind::Time;
            column.length = 4;
            break;
        case SQL_TIMESTAMP:
            column.kind = kind::SqlTimestamp;
            column.length = sizeof(sqldriver::SqlTimestamp);
            break;
        case SQL_BOOLEAN:
            column.kind = kind::Boolean;
            column.length = 2;
            break;
        case SQL_BLOB:
            column.kind = kind::Blob;
            column.subkind = type.subType == 1 ? subkind::Memo : subkind::Binary;
            break;
        default:
            column.kind = kind::Unknown;
            break;
    }
    return column;
}

}  // namespace tarvel::fb
