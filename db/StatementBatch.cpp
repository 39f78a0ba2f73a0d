#include "StatementBatch.h"

#include <algorithm>

#include "DriverError.h"
#include "Error.h"
#include "NameCompare.h"
#include "ParameterScan.h"
#include "ServerText.h"

namespace tarvel {

std::size_t StatementBatch::maxLines(std::size_t valuesPerLine) {
    static constexpr std::size_t kMaxParameters = 32767;
    return valuesPerLine == 0 ? 0 : (kMaxParameters - 1) / valuesPerLine;
}

StatementBatch::StatementBatch(SqlConnection& connection, std::string table,
                               const std::vector<std::string>& statements, std::size_t lines)
    : m_connection(connection), m_table(std::move(table)), m_lines(lines) {
    for (const std::string& statement : statements) {
        // Each marker becomes a "?" that takes the value of its name; a name
        // seen before takes the same value.
        m_serverTexts.push_back(replaceMarkers(statement, 0, [&](std::string_view marker) {
            const std::string name(marker);
            const auto known = std::find_if(m_names.begin(), m_names.end(), [&](const std::string& n) {
                return sameNameIgnoringCase(n, name);
            });
            m_markerValues.push_back(static_cast<std::uint16_t>(known - m_names.begin()));
            if (known == m_names.end()) m_names.push_back(name);
            return std::string(" ? ");
        }));
    }
    const std::size_t most = maxLines(m_names.size());
    if (m_lines == 0 || m_lines > most)
        throw Error("A batch of " + std::to_string(m_lines) + " lines is out of range (1 to " +
                    std::to_string(most) + ")");
    m_values.resize(m_lines * m_names.size());
    for (std::size_t i = 0; i < m_values.size(); ++i) m_values[i].name = m_names[i % m_names.size()];
    m_connection.registerClient(this);
}

StatementBatch::~StatementBatch() {
    m_connection.unregisterClient(this);
    releaseDriverObjects();
}

std::size_t StatementBatch::valueIndex(const std::string& name) const {
    for (std::size_t v = 0; v < m_names.size(); ++v)
        if (sameNameIgnoringCase(m_names[v], name)) return v;
    throw Error("Parameter '" + name + "' not found");
}

void StatementBatch::setValue(std::size_t line, std::size_t value, ParameterValue parameter) {
    m_values.at(line * m_names.size() + value).setValue(std::move(parameter));
}

void StatementBatch::releaseDriverObjects() {
    m_batch.reset();
    m_driverConnection = nullptr;
}

void StatementBatch::fail(sqldriver::Status status, sqldriver::ISQLObject* failed) {
    checkDriverCall(m_lastErrorText, status, failed, m_connection.lastErrorText(), std::string(),
                    [this] { m_connection.noteFailedCall(); });
    throw Error(m_lastErrorText);  // not reached: status is never Ok here
}

void StatementBatch::prepare(sqldriver::ISQLConnection* connection) {
    releaseDriverObjects();
    sqldriver::ISQLBatch* batch = nullptr;
    const sqldriver::Status status = connection->getSQLBatch(&batch);
    m_batch.reset(batch);
    if (status != sqldriver::status::Ok) fail(status, connection);
    std::vector<const char*> statements;
    for (const std::string& text : m_serverTexts) statements.push_back(text.c_str());
    std::vector<const char*> columns;
    for (const std::string& name : m_names) columns.push_back(name.c_str());
    sqldriver::BatchShape shape;
    shape.table = m_table.c_str();
    shape.statements = statements.data();
    shape.statementCount = static_cast<std::uint16_t>(statements.size());
    shape.valueColumns = columns.data();
    shape.valuesPerLine = static_cast<std::uint16_t>(columns.size());
    shape.markerValues = m_markerValues.data();
    shape.markerCount = static_cast<std::uint16_t>(m_markerValues.size());
    shape.maxLines = static_cast<std::uint32_t>(m_lines);
    const sqldriver::Status prepared = m_batch->prepare(&shape);
    if (prepared != sqldriver::status::Ok) {
        DriverHandle<sqldriver::ISQLBatch> failed = std::move(m_batch);
        fail(prepared, failed.get());
    }
    m_driverConnection = connection;
}

bool StatementBatch::bindLine(std::size_t line) {
    for (std::size_t v = 0; v < m_names.size(); ++v) {
        ParameterBinding b;
        try {
            b = bindingOf(m_values[line * m_names.size() + v]);
        } catch (const Error&) {
            return false;
        }
        const sqldriver::Status status =
            m_batch->setValue(static_cast<std::uint32_t>(line), static_cast<std::uint16_t>(v), b.kind,
                              b.subkind, b.length(), b.isNull ? nullptr : b.bytes.data(), b.isNull);
        if (status != sqldriver::status::Ok) return false;
    }
    return true;
}

std::size_t StatementBatch::execute(std::size_t count) {
    if (count == 0) return 0;
    std::uint32_t written = 0;
    sqldriver::ErrorCodes refused;
    const sqldriver::Status status = m_batch->execute(static_cast<std::uint32_t>(count), &written, &refused);
    if (status != sqldriver::status::Ok) fail(status, m_batch.get());
    return std::min<std::size_t>(written, count);
}

std::size_t StatementBatch::run(std::size_t count) {
    count = std::min(count, m_lines);
    sqldriver::ISQLConnection* connection = m_connection.connectionForStatement(false);
    if (!connection) throw Error("Unable to execute Query");
    if (!m_batch || connection != m_driverConnection) prepare(connection);
    // A line whose value cannot be bound is refused as the server refuses
    // one: the lines before it run, and it is the one the call stopped at.
    std::size_t bound = 0;
    while (bound < count && bindLine(bound)) ++bound;
    return execute(bound);
}

}  // namespace tarvel
