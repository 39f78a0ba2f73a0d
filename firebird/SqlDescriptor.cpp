#include "SqlDescriptor.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarvel::fb {

namespace {

XSQLDA* allocateArea(int capacity) {
    if (capacity < 1) capacity = 1;
    auto* area = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(capacity)));
    if (!area) throw std::bad_alloc();
    area->version = SQLDA_VERSION1;
    area->sqln = static_cast<ISC_SHORT>(capacity);
    return area;
}

}  // namespace

void SqlDescriptor::FreeArea::operator()(XSQLDA* area) const { std::free(area); }

std::size_t storageBytes(short type, short length) {
    switch (type) {
        case SQL_VARYING:
            return static_cast<std::size_t>(length) + 2;
        case SQL_TEXT:
            return static_cast<std::size_t>(length);
        case SQL_SHORT:
            return sizeof(ISC_SHORT);
        case SQL_LONG:
            return sizeof(ISC_LONG);
        case SQL_INT64:
            return sizeof(ISC_INT64);
        case SQL_FLOAT:
            return sizeof(float);
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return sizeof(double);
        case SQL_TYPE_DATE:
            return sizeof(ISC_DATE);
        case SQL_TYPE_TIME:
            return sizeof(ISC_TIME);
        case SQL_TIMESTAMP:
            return sizeof(ISC_TIMESTAMP);
        case SQL_BLOB:
        case SQL_ARRAY:
        case SQL_QUAD:
            return sizeof(ISC_QUAD);
        case SQL_BOOLEAN:
            return 1;
        default:
            return length > 0 ? static_cast<std::size_t>(length) : 8;
    }
}

SqlDescriptor::SqlDescriptor(int capacity) : m_area(allocateArea(capacity)) {}

void SqlDescriptor::reserve(int count) {
    m_area.reset(allocateArea(count));
    m_described.clear();
    m_buffers.clear();
    m_indicators.clear();
}

void SqlDescriptor::bindDescribedBuffers() {
    const int n = m_area->sqld;
    m_described.assign(n, DescribedType{});
    m_buffers.assign(n, {});
    m_indicators.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        XSQLVAR& var = m_area->sqlvar[i];
        DescribedType& type = m_described[i];
        type.type = static_cast<short>(var.sqltype & ~1);
        type.nullable = (var.sqltype & 1) != 0;
        type.subType = var.sqlsubtype;
        type.scale = var.sqlscale;
        type.length = var.sqllen;
        // The null flag bit is always set so that every entry carries an indicator.
        var.sqltype = static_cast<ISC_SHORT>(type.type | 1);
        m_buffers[i].assign(storageBytes(type.type, type.length) + 1, 0);
        var.sqldata = m_buffers[i].data();
        var.sqlind = &m_indicators[i];
    }
}

char* SqlDescriptor::retype(int index, short type, short scale, short length, std::size_t bytes) {
    XSQLVAR& var = m_area->sqlvar[index];
    std::vector<char>& buffer = m_buffers[index];
    if (buffer.size() < bytes + 1) buffer.assign(bytes + 1, 0);
    var.sqltype = static_cast<ISC_SHORT>(type | 1);
    var.sqlscale = scale;
    var.sqllen = length;
    var.sqldata = buffer.data();
    m_indicators[index] = 0;
    return buffer.data();
}

void SqlDescriptor::setNull(int index) {
    XSQLVAR& var = m_area->sqlvar[index];
    const DescribedType& type = m_described[index];
    // SQL_NULL parameters ("? IS NULL") need a concrete type to carry the null.
    const short carried = type.type == SQL_NULL ? static_cast<short>(SQL_TEXT) : type.type;
    var.sqltype = static_cast<ISC_SHORT>(carried | 1);
    var.sqlscale = type.scale;
    var.sqllen = type.length;
    m_indicators[index] = -1;
}

bool SqlDescriptor::isNull(int index) const { return m_indicators[index] < 0; }

}  // namespace tarvel::fb
