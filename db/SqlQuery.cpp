#include "SqlQuery.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "DriverError.h"
#include "Error.h"
#include "FieldText.h"
#include "NameCompare.h"
#include "ParameterScan.h"
#include "RegionalFormats.h"
#include "ServerText.h"

namespace tarvel {

namespace {

// Text fields up to this width plus one are read through a buffer of this
// size plus one; wider ones through a buffer sized to the field.
constexpr std::size_t kFixedTextBuffer = 8192;

bool isBlank(char c) { return c == ' ' || (static_cast<unsigned char>(c) < 32); }

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool isWordByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool firstWordIsSelect(const std::string& text) {
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin])) ++begin;
    std::size_t end = begin;
    while (end < text.size() && isWordByte(text[end])) ++end;
    return sameNameIgnoringCase(std::string_view(text).substr(begin, end - begin), "SELECT");
}

template <class T>
T valueAs(const std::vector<char>& buffer) {
    T value;
    std::memcpy(&value, buffer.data(), sizeof value);
    return value;
}

std::size_t valueBufferSize(const Field& field) {
    switch (field.kind) {
        case FieldKind::Text:
        case FieldKind::Bytes:
        case FieldKind::Blob:
            return std::max<std::size_t>(kFixedTextBuffer, field.length) + 1;
        case FieldKind::Int16:
        case FieldKind::UInt16:
        case FieldKind::Boolean:
            return sizeof(std::int16_t);
        case FieldKind::Int32:
        case FieldKind::AutoIncrement:
        case FieldKind::Date:
        case FieldKind::Time:
            return sizeof(std::int32_t);
        case FieldKind::Int64:
        case FieldKind::Float:
        case FieldKind::Currency:
            return sizeof(std::int64_t);
        case FieldKind::Bcd:
        case FieldKind::ExtendedBcd:
            return sizeof(sqldriver::Bcd);
        case FieldKind::Timestamp:
        case FieldKind::DateTime:
            return sizeof(sqldriver::SqlTimestamp);
    }
    return 0;
}

}  // namespace

SqlQuery::SqlQuery(std::string name, SqlConnection& connection) : m_name(std::move(name)), m_connection(connection) {
    m_connection.registerClient(this);
}

SqlQuery::~SqlQuery() {
    try {
        releaseDriverObjects();
        m_connection.unregisterClient(this);
    } catch (...) {
        // Nothing a destructor could report to.
    }
}

void SqlQuery::failNamed(const std::string& text) const { throw Error(m_name + ": " + text); }

void SqlQuery::check(sqldriver::Status status, sqldriver::ISQLObject* failed) {
    if (status == sqldriver::status::Ok) return;
    m_lastErrorText = composeDriverError(status, failed, m_lastErrorText, std::string());
    m_connection.noteFailedCall();
    throw Error(m_lastErrorText);
}

void SqlQuery::clearLines() {
    if (m_lines.empty()) return;
    m_lines.clear();
    linesChanged();
}

void SqlQuery::addLine(const std::string& line) {
    m_lines.push_back(line);
    linesChanged();
}

void SqlQuery::linesChanged() {
    close();
    unprepare();
    m_commandText = commandTextFromLines(m_lines);
    if (paramCheck) {
        std::vector<QueryParameter> fresh;
        for (std::string& name : scanParameterNames(m_commandText, systemByteCharset())) {
            QueryParameter parameter;
            parameter.name = std::move(name);
            fresh.push_back(std::move(parameter));
        }
        carryOverParameters(m_params, fresh);
        m_params = std::move(fresh);
    }
    m_serverText.clear();
}

void SqlQuery::unprepare() {
    if (m_prepared && m_command) {
        std::int32_t rows = 0;
        if (m_command->getRowsAffected(&rows) == sqldriver::status::Ok) m_rowsAffected = rows;
    }
    m_cursor.reset();
    m_command.reset();
    m_driverConnection = nullptr;
    m_prepared = false;
}

void SqlQuery::releaseDriverObjects() {
    close();
    unprepare();
}

void SqlQuery::ensureConnected() {
    if (!m_connection.isOpen()) m_connection.open();
}

void SqlQuery::prepare() {
    ensureConnected();
    try {
        prepareStatement();
    } catch (...) {
        m_command.reset();
        m_driverConnection = nullptr;
        m_prepared = false;
        throw;
    }
}

void SqlQuery::prepareStatement() {
    // An older driver error says nothing about an empty statement.
    if (m_commandText.empty()) throw Error("Unable to execute Query");
    const bool isSelect = firstWordIsSelect(m_commandText);
    m_lastErrorText.clear();
    sqldriver::ISQLConnection* connection = m_connection.connectionForStatement(isSelect);
    if (m_connection.loadParamsOnConnect) m_connection.loadParamsFromIniFile();
    if (!connection) throw Error("Unable to execute Query");

    sqldriver::ISQLCommand* command = nullptr;
    const sqldriver::Status status = connection->getSQLCommand(&command);
    m_command.reset(command);
    // Without a statement there is no one to ask for a server message.
    check(status, nullptr);
    if (!m_command) throw Error("Unable to execute Query");
    m_driverConnection = connection;
    m_command->setOption(sqldriver::cmdopt::RowsetSize, rowsetSize());

    if (m_serverText.empty()) {
        m_serverText = m_params.empty() ? m_commandText : serverTextFromCommand(m_commandText, m_connection.quoteChar());
    }
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(m_params.size(), 0xFFFF));
    check(m_command->prepare(m_serverText.c_str(), count), m_command.get());
    m_prepared = true;
    m_rowsAffected = -1;
}

std::int32_t SqlQuery::rowsetSize() const {
    std::string text = trimmed(m_connection.params.value("RowsetSize"));
    if (text.empty()) return kDefaultRowsetSize;
    if (text.front() == '+') text.erase(0, 1);
    std::int32_t size = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, size);
    if (text.empty() || ec != std::errc() || ptr != end) return kDefaultRowsetSize;
    return size;
}

void SqlQuery::bindParameters() {
    // Every value is checked before the driver is handed any of them. A name
    // written several times is bound from its first parameter at every place.
    std::vector<ParameterBinding> bindings;
    std::vector<QueryParameter*> standIns;
    for (const QueryParameter& parameter : m_params) {
        QueryParameter* standIn = findParameter(m_params, parameter.name);
        bindings.push_back(bindingOf(*standIn));
        standIns.push_back(standIn);
    }
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        QueryParameter& parameter = *standIns[i];
        if (parameter.direction == sqldriver::direction::Unknown) parameter.direction = sqldriver::direction::Input;
        const ParameterBinding& b = bindings[i];
        const sqldriver::Status status = m_command->setParameter(
            static_cast<std::uint16_t>(i + 1), 0, parameter.direction, b.kind, b.subkind, b.precision, b.scale,
            b.length(), b.isNull ? nullptr : b.bytes.data(), b.isNull);
        if (status != sqldriver::status::Ok) {
            m_lastErrorText = composeDriverError(status, m_driverConnection, m_connection.lastErrorText(), std::string());
            m_connection.noteFailedCall();
            throw Error(m_lastErrorText);
        }
    }
}

void SqlQuery::buildFields() {
    std::uint16_t count = 0;
    check(m_cursor->getColumnCount(&count), m_cursor.get());
    std::vector<ColumnDescription> columns(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t number = i + 1;
        ColumnDescription& column = columns[i];
        char name[sqldriver::kMaxColumnNameBytes + 1] = {};
        check(m_cursor->getColumnName(number, name), m_cursor.get());
        name[sqldriver::kMaxColumnNameBytes] = '\0';
        column.name = name;
        check(m_cursor->getColumnType(number, &column.kind, &column.subkind), m_cursor.get());
        check(m_cursor->getColumnLength(number, &column.length), m_cursor.get());
        check(m_cursor->getColumnPrecision(number, &column.precision), m_cursor.get());
        check(m_cursor->getColumnScale(number, &column.scale), m_cursor.get());
        check(m_cursor->isNullable(number, &column.nullable), m_cursor.get());
        check(m_cursor->isReadOnly(number, &column.readOnly), m_cursor.get());
    }
    m_fields = fieldsFromColumns(columns);
}

void SqlQuery::fetch() {
    const sqldriver::Status status = m_cursor->next();
    if (status == sqldriver::status::Ok) {
        m_eof = false;
    } else if (status == sqldriver::status::Eof || status == sqldriver::status::NoMoreData) {
        m_eof = true;
    } else {
        check(status, m_cursor.get());
    }
}

void SqlQuery::open() {
    if (m_active) return;
    if (m_commandText.empty()) throw Error("Missing query, table name or procedure name");
    ensureConnected();
    if (!m_prepared) prepare();
    try {
        if (!m_params.empty()) bindParameters();
        sqldriver::ISQLCursor* cursor = nullptr;
        const sqldriver::Status status = m_command->execute(&cursor);
        m_cursor.reset(cursor);
        check(status, m_command.get());
        if (!m_cursor) {
            m_command->close();
            failNamed("Cursor not returned from Query");
        }
        buildFields();
        m_active = true;
        fetch();
    } catch (...) {
        m_fields.clear();
        m_cursor.reset();
        m_active = false;
        m_eof = true;
        throw;
    }
}

void SqlQuery::close() {
    if (!m_active) return;
    m_cursor.reset();
    m_fields.clear();
    m_eof = true;
    m_active = false;
}

void SqlQuery::next() {
    if (!m_active) failNamed("Cannot perform this operation on a closed dataset");
    if (m_eof) return;
    fetch();
}

std::int32_t SqlQuery::runStatement() {
    if (m_active) failNamed("Cannot perform this operation on an open dataset");
    ensureConnected();
    m_rowsAffected = 0;
    if (!m_prepared) prepare();

    DriverHandle<sqldriver::ISQLCursor> cursor;
    // A statement that gave a cursor is let go; otherwise it is finished and
    // stays prepared, so running the same text again only binds and executes.
    auto finish = [&]() noexcept {
        if (cursor) {
            cursor.reset();
            m_command.reset();
            m_driverConnection = nullptr;
            m_prepared = false;
        } else if (m_command) {
            m_command->close();
        }
    };
    try {
        if (!m_params.empty()) bindParameters();
        sqldriver::ISQLCursor* raw = nullptr;
        const sqldriver::Status status = m_command->execute(&raw);
        cursor.reset(raw);
        check(status, m_command.get());
        std::int32_t rows = m_rowsAffected;
        if (rows <= 0) check(m_command->getRowsAffected(&rows), m_command.get());
        m_rowsAffected = rows;
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return m_rowsAffected;
}

QueryParameter& SqlQuery::paramByName(std::string_view name) {
    QueryParameter* parameter = findParameter(m_params, name);
    if (!parameter) failNamed("Parameter '" + std::string(name) + "' not found");
    return *parameter;
}

const Field& SqlQuery::field(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_fields.size()) {
        throw Error("List index out of bounds (" + std::to_string(index) + ")");
    }
    return m_fields[static_cast<std::size_t>(index)];
}

const Field& SqlQuery::fieldByName(std::string_view name) const {
    for (const Field& f : m_fields) {
        if (sameNameIgnoringCase(f.name, name)) return f;
    }
    failNamed("Field '" + std::string(name) + "' not found");
}

std::string SqlQuery::fieldText(const Field& field) {
    if (!m_active || m_eof) return std::string();
    m_valueBuffer.assign(valueBufferSize(field), '\0');
    bool isNull = false;
    check(m_cursor->getValue(field.column, m_valueBuffer.data(), static_cast<std::uint32_t>(m_valueBuffer.size()),
                             &isNull),
          m_cursor.get());
    if (isNull) return std::string();

    const RegionalFormats& formats = currentFormats();
    switch (field.kind) {
        case FieldKind::Text:
        case FieldKind::Bytes:
        case FieldKind::Blob:
            // The driver ends the value with a zero byte; the last buffer byte
            // stays zero whatever it wrote.
            m_valueBuffer.back() = '\0';
            return std::string(m_valueBuffer.data());
        case FieldKind::Int16:
            return integerText(valueAs<std::int16_t>(m_valueBuffer));
        case FieldKind::UInt16:
            return integerText(valueAs<std::uint16_t>(m_valueBuffer));
        case FieldKind::Int32:
        case FieldKind::AutoIncrement:
            return integerText(valueAs<std::int32_t>(m_valueBuffer));
        case FieldKind::Int64:
            return integerText(valueAs<std::int64_t>(m_valueBuffer));
        case FieldKind::Boolean:
            return valueAs<std::int16_t>(m_valueBuffer) != 0 ? "True" : "False";
        case FieldKind::Float:
        case FieldKind::Currency:
            return floatText(valueAs<double>(m_valueBuffer), formats);
        case FieldKind::Bcd:
        case FieldKind::ExtendedBcd:
            return bcdText(normalizeBcd(valueAs<sqldriver::Bcd>(m_valueBuffer), field.precision, field.size), formats);
        case FieldKind::Date:
            return dateText(valueAs<std::int32_t>(m_valueBuffer), formats);
        case FieldKind::Time:
            return timeText(valueAs<std::uint32_t>(m_valueBuffer), formats);
        case FieldKind::Timestamp:
        case FieldKind::DateTime:
            return timestampText(valueAs<sqldriver::SqlTimestamp>(m_valueBuffer), formats);
    }
    return std::string();
}

}  // namespace tarvel
