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
#include "SettingsText.h"

namespace tarvel {

namespace {

// Text fields up to this width plus one are read through a buffer of this
// size plus one; wider ones through a buffer sized to the field.
constexpr std::size_t kFixedTextBuffer = 8192;

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

SqlQuery::SqlQuery(std::string name, SqlConnection& connection)
    : m_name(std::move(name)), m_connection(connection) {
    m_connection.registerClient(this);
}

SqlQuery::~SqlQuery() {
    // Nobody can ask for the count any more.
    m_countSource = nullptr;
    try {
        releaseDriverObjects();
        m_connection.unregisterClient(this);
    } catch (...) {
        // Nothing a destructor could report to.
    }
}

void SqlQuery::failNamed(const std::string& text) const { throw Error(m_name + ": " + text); }

void SqlQuery::check(sqldriver::Status status, sqldriver::ISQLObject* failed) {
    checkDriverCall(m_lastErrorText, status, failed, m_lastErrorText, std::string(),
                    [this] { m_connection.noteFailedCall(); });
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
    m_shape = nullptr;
    if (paramCheck) {
        std::vector<QueryParameter> fresh;
        if (m_statementReuse) {
            m_shape = &shapeOf(m_commandText);
            fresh.resize(m_shape->names().size());
            for (std::size_t i = 0; i < fresh.size(); ++i) fresh[i].name = m_shape->names()[i];
        } else {
            for (std::string& name : scanParameterNames(m_commandText, systemTextEncoding())) {
                QueryParameter parameter;
                parameter.name = std::move(name);
                fresh.push_back(std::move(parameter));
            }
        }
        if (m_shape) {
            carryOverParameters(m_params, fresh,
                                [this](std::string_view name) { return m_shape->find(name); });
        } else {
            carryOverParameters(m_params, fresh);
        }
        m_params = std::move(fresh);
    }
    m_serverText.clear();
}

void SqlQuery::unprepare() {
    const bool keep = m_statementReuse && m_prepared && m_command && !m_statementFailed;
    if (m_prepared && m_command) {
        // The statement's count is kept. A statement set aside is asked for it
        // only when someone wants it before the next run or preparation, which
        // saves a round trip to the server per statement of a run.
        m_countSource = m_command.get();
        if (!keep) settleRowsAffected();
    }
    m_cursor.reset();
    if (keep) {
        if (m_kept.size() >= kMaxKeptStatements) {
            releaseCommand(m_kept.front().command);
            m_kept.erase(m_kept.begin());
        }
        m_kept.push_back(KeptStatement{m_commandText, m_serverText, m_params.size(), m_driverConnection,
                                       std::move(m_command)});
    }
    releaseCommand(m_command);
    m_driverConnection = nullptr;
    m_prepared = false;
    m_statementFailed = false;
}

bool SqlQuery::takeKeptStatement(sqldriver::ISQLConnection* connection) {
    const auto kept = std::find_if(m_kept.begin(), m_kept.end(), [&](const KeptStatement& k) {
        return k.driverConnection == connection && k.paramCount == m_params.size() &&
               k.commandText == m_commandText;
    });
    if (kept == m_kept.end()) return false;
    m_command = std::move(kept->command);
    m_serverText = std::move(kept->serverText);
    m_kept.erase(kept);
    return true;
}

void SqlQuery::setStatementReuse(bool on) noexcept {
    m_statementReuse = on;
    if (!on) {
        releaseKeptStatements();
        m_shape = nullptr;
        m_shapes.clear();
    }
}

StatementShape& SqlQuery::shapeOf(const std::string& commandText) {
    for (auto& shape : m_shapes) {
        if (shape->commandText() == commandText) return *shape;
    }
    if (m_shapes.size() >= kMaxShapes) m_shapes.erase(m_shapes.begin());
    m_shapes.push_back(std::make_unique<StatementShape>(commandText, systemTextEncoding()));
    return *m_shapes.back();
}

StatementShape* SqlQuery::currentShape() {
    // The list is open to callers; a shape speaks for it only while it still
    // has the parsed number of parameters.
    if (m_shape && m_shape->names().size() != m_params.size()) return nullptr;
    return m_shape;
}

void SqlQuery::releaseDriverObjects() {
    close();
    unprepare();
    // Kept statements belong to the connection that is going away.
    releaseKeptStatements();
}

void SqlQuery::settleRowsAffected() const noexcept {
    if (!m_countSource) return;
    std::int32_t rows = 0;
    // Status ignored: a statement that cannot tell leaves the count as it was,
    // which is what a caller of rowsAffected() has always seen then.
    if (m_countSource->getRowsAffected(&rows) == sqldriver::status::Ok) m_rowsAffected = rows;
    m_countSource = nullptr;
}

void SqlQuery::releaseCommand(DriverHandle<sqldriver::ISQLCommand>& command) noexcept {
    if (command && command.get() == m_countSource) settleRowsAffected();
    command.reset();
}

void SqlQuery::releaseKeptStatements() noexcept {
    for (KeptStatement& kept : m_kept) releaseCommand(kept.command);
    m_kept.clear();
}

std::int32_t SqlQuery::rowsAffected() const {
    settleRowsAffected();
    return m_rowsAffected;
}

void SqlQuery::ensureConnected() {
    if (!m_connection.isOpen()) m_connection.open();
}

void SqlQuery::prepare() {
    ensureConnected();
    try {
        prepareStatement();
    } catch (...) {
        releaseCommand(m_command);
        m_driverConnection = nullptr;
        m_prepared = false;
        throw;
    }
}

void SqlQuery::prepareStatement() {
    // An older driver error says nothing about an empty statement.
    if (m_commandText.empty()) throw Error("Unable to execute Query");
    const StatementShape* shape = currentShape();
    const bool isSelect = shape ? shape->startsWithSelect() : firstWordIsSelect(m_commandText);
    m_lastErrorText.clear();
    sqldriver::ISQLConnection* connection = m_connection.connectionForStatement(isSelect);
    if (m_connection.loadParamsOnConnect) m_connection.loadParamsFromIniFile();
    if (!connection) throw Error("Unable to execute Query");

    m_statementFailed = false;
    if (m_statementReuse && takeKeptStatement(connection)) {
        m_driverConnection = connection;
        m_prepared = true;
        m_rowsAffected = -1;
        m_countSource = nullptr;
        return;
    }

    sqldriver::ISQLCommand* command = nullptr;
    const sqldriver::Status status = connection->getSQLCommand(&command);
    m_command.reset(command);
    // Without a statement there is no one to ask for a server message.
    check(status, nullptr);
    if (!m_command) throw Error("Unable to execute Query");
    m_driverConnection = connection;
    // Status ignored: the row-set size only batches fetching, and a driver
    // that refuses it fetches the same rows in batches of its own.
    m_command->setOption(sqldriver::cmdopt::RowsetSize, rowsetSize());

    if (m_serverText.empty()) {
        m_serverText =
            m_params.empty() ? m_commandText : serverTextFromCommand(m_commandText, m_connection.quoteChar());
    }
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(m_params.size(), 0xFFFF));
    ++m_preparations;
    check(m_command->prepare(m_serverText.c_str(), count), m_command.get());
    m_prepared = true;
    m_rowsAffected = -1;
    m_countSource = nullptr;
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
    bindings.reserve(m_params.size());
    standIns.reserve(m_params.size());
    StatementShape* shape = currentShape();
    for (std::size_t position = 0; position < m_params.size(); ++position) {
        QueryParameter* standIn =
            shape ? &m_params[shape->standIn(position)] : findParameter(m_params, m_params[position].name);
        bindings.push_back(bindingOf(*standIn));
        standIns.push_back(standIn);
    }
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        QueryParameter& parameter = *standIns[i];
        if (parameter.direction == sqldriver::direction::Unknown)
            parameter.direction = sqldriver::direction::Input;
        const ParameterBinding& b = bindings[i];
        const sqldriver::Status status = m_command->setParameter(
            static_cast<std::uint16_t>(i + 1), 0, parameter.direction, b.kind, b.subkind, b.precision,
            b.scale, b.length(), b.isNull ? nullptr : b.bytes.data(), b.isNull);
        // A refused value is reported with the connection's message, and the
        // connection's last error text stands in when it has none.
        checkDriverCall(m_lastErrorText, status, m_driverConnection, m_connection.lastErrorText(),
                        std::string(), [this] { m_connection.noteFailedCall(); });
    }
}

void SqlQuery::buildFields() {
    std::uint16_t count = 0;
    check(m_cursor->getColumnCount(&count), m_cursor.get());
    std::vector<CursorColumn> columns(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t number = i + 1;
        CursorColumn& column = columns[i];
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
    m_fieldLookups.clear();
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
        m_fieldLookups.clear();
        m_cursor.reset();
        m_active = false;
        m_eof = true;
        m_statementFailed = true;
        throw;
    }
}

void SqlQuery::close() {
    if (!m_active) return;
    m_cursor.reset();
    m_fields.clear();
    m_fieldLookups.clear();
    m_eof = true;
    m_active = false;
}

void SqlQuery::next() {
    if (!m_active) failNamed("Cannot perform this operation on a closed dataset");
    if (m_eof) return;
    fetch();
}

std::int32_t SqlQuery::runStatement() {
    runWithoutRows(true);
    return m_rowsAffected;
}

void SqlQuery::executeStatement() { runWithoutRows(false); }

void SqlQuery::runWithoutRows(bool askCount) {
    if (m_active) failNamed("Cannot perform this operation on an open dataset");
    ensureConnected();
    m_rowsAffected = 0;
    m_countSource = nullptr;
    if (!m_prepared) prepare();

    DriverHandle<sqldriver::ISQLCursor> cursor;
    // A statement that gave a cursor is let go; otherwise it is finished and
    // stays prepared, so running the same text again only binds and executes.
    auto finish = [&]() noexcept {
        if (cursor) {
            cursor.reset();
            releaseCommand(m_command);
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
        if (askCount) {
            std::int32_t rows = m_rowsAffected;
            if (rows <= 0) check(m_command->getRowsAffected(&rows), m_command.get());
            m_rowsAffected = rows;
        } else {
            m_countSource = m_command.get();
        }
    } catch (...) {
        m_statementFailed = true;
        finish();
        throw;
    }
    finish();
}

QueryParameter& SqlQuery::paramByName(std::string_view name) {
    if (StatementShape* shape = currentShape()) {
        const std::size_t position = shape->find(name);
        if (position == StatementShape::npos) failNamed("Parameter '" + std::string(name) + "' not found");
        return m_params[position];
    }
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
    // The scan asks the same few names on every row; the answer holds for
    // as long as the result is open.
    for (const auto& [asked, position] : m_fieldLookups) {
        if (asked == name) return m_fields[position];
    }
    for (std::size_t position = 0; position < m_fields.size(); ++position) {
        if (sameNameIgnoringCase(m_fields[position].name, name)) {
            if (m_fieldLookups.size() < m_fields.size() * 4)
                m_fieldLookups.emplace_back(std::string(name), position);
            return m_fields[position];
        }
    }
    failNamed("Field '" + std::string(name) + "' not found");
}

std::string SqlQuery::fieldText(const Field& field) {
    if (!m_active || m_eof) return std::string();
    const std::size_t size = valueBufferSize(field);
    // The buffer only grows. A text ends at the driver's zero byte, so every
    // kind but text is cleared before each read: clearing a text's 8 KB for
    // every value cost more than reading it. Raw bytes carry no end mark.
    if (m_valueBuffer.size() < size) m_valueBuffer.resize(size);
    if (field.kind != FieldKind::Text) std::fill_n(m_valueBuffer.begin(), size, '\0');
    bool isNull = false;
    check(m_cursor->getValue(field.column, m_valueBuffer.data(), static_cast<std::uint32_t>(size), &isNull),
          m_cursor.get());
    if (isNull) return std::string();

    const RegionalFormats& formats = currentFormats();
    switch (field.kind) {
        case FieldKind::Text:
        case FieldKind::Bytes:
        case FieldKind::Blob:
            // The driver ends the value with a zero byte; the last byte of the
            // value's room is made zero whatever it wrote.
            m_valueBuffer[size - 1] = '\0';
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
            return bcdText(normalizeBcd(valueAs<sqldriver::Bcd>(m_valueBuffer), field.precision, field.size),
                           formats);
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
