#include "StatementBlock.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "DriverError.h"
#include "Error.h"
#include "NameCompare.h"
#include "ParameterScan.h"
#include "ServerText.h"

namespace tarvel {

namespace {

// The block's own names: the count of rows to run, the sub-procedure, and the
// input parameter of row r's value p. None can clash with a column name the
// statements use as a marker, since the procedure's parameters are named
// after those and the block's own are not visible inside the procedure.
constexpr std::string_view kCountName = "ROWS_TO_RUN";
constexpr std::string_view kProcedureName = "ROW_STATEMENTS";

std::string inputName(std::size_t row, std::size_t parameter) {
    return "R" + std::to_string(row) + "_" + std::to_string(parameter);
}

std::vector<std::string> distinctMarkerNames(const std::vector<std::string>& statements) {
    std::vector<std::string> names;
    for (const std::string& statement : statements) {
        for (std::string& name : scanParameterNames(statement, systemTextEncoding())) {
            const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
                return sameNameIgnoringCase(n, name);
            });
            if (!known) names.push_back(std::move(name));
        }
    }
    return names;
}

// What ends a statement inside the block: a semicolon, but none after a
// compound statement (BEGIN ... END), which the server refuses.
std::string_view terminatorOf(std::string_view statement) {
    while (!statement.empty() && (statement.back() == ' ' || statement.back() == '\t'))
        statement.remove_suffix(1);
    const auto wordCharacter = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
    };
    const std::size_t n = statement.size();
    const bool compound = n >= 3 && sameNameIgnoringCase(statement.substr(n - 3), "END") &&
                          (n == 3 || !wordCharacter(statement[n - 4]));
    return compound ? "" : ";";
}

// The statement with each {ROW} replaced by `number`.
std::string withRowText(std::string statement, const std::string& number) {
    static constexpr std::string_view kRow = "{ROW}";
    for (std::size_t at = statement.find(kRow); at != std::string::npos; at = statement.find(kRow, at))
        statement.replace(at, kRow.size(), number);
    return statement;
}

// The statement with each {ROW} replaced by the row's number in four digits.
std::string withRowNumber(const std::string& statement, std::size_t row) {
    return withRowText(statement, rowNumberText(row));
}

// The name of a "NAME TYPE" declaration.
std::string declaredName(const std::string& declaration) {
    return declaration.substr(0, declaration.find(' '));
}

std::size_t linesIn(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

std::size_t StatementBlock::maxRows(std::size_t parametersPerRow, std::size_t leading) {
    return parametersPerRow == 0 ? 0 : (kMaxParameters - leading) / parametersPerRow;
}

StatementBlock::StatementBlock(SqlConnection& connection, const std::string& table,
                               const std::vector<std::string>& statements, std::size_t rows, BlockFrame frame)
    : m_connection(connection),
      m_names(distinctMarkerNames(statements)),
      m_rows(rows),
      m_frame(std::move(frame)),
      m_blockInput{std::string("BLOCK_INPUT"), ParameterType::Text, std::string()} {
    const std::size_t most = maxRows(m_names.size(), leadingParameters());
    if (m_rows == 0 || m_rows > most)
        throw Error("A block of " + std::to_string(m_rows) + " rows is out of range (1 to " +
                    std::to_string(most) + ")");
    // Each row's statements stand on the text line of that row.
    std::vector<std::string> oneLine = statements;
    for (std::string& statement : oneLine)
        std::replace_if(
            statement.begin(), statement.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    // A parameter typed as the column it is named after.
    const auto typed = [&](const std::string& name, std::size_t p) {
        return name + " TYPE OF COLUMN " + table + "." + m_names[p];
    };

    std::string& t = m_text;
    t = "EXECUTE BLOCK (";
    t.append(kCountName).append(" INTEGER = ?");
    if (!m_frame.input.empty()) t += ",\n" + m_frame.input + " = ?";
    for (std::size_t row = 0; row < m_rows; ++row) {
        t += ",\n";
        for (std::size_t p = 0; p < m_names.size(); ++p) {
            if (p > 0) t += ", ";
            t += typed(inputName(row, p), p) + " = ?";
        }
    }
    t += ")\n";
    if (m_frame.returnsValues()) {
        t += "RETURNS (";
        for (std::size_t row = 0; row < m_rows; ++row)
            t += (row > 0 ? ",\n" : "") + withRowNumber(m_frame.rowOutput, row);
        t += ")\n";
    }
    t += "AS\n";
    // Written inline, every statement takes a context of its own; beyond the
    // server's limit the rows call a sub-procedure, whose contexts are its own.
    // Inline rows cost the server less, so they are used wherever they fit.
    m_inline = rowsFitInline(m_rows, oneLine.size());
    if (!m_inline && !m_frame.input.empty())
        throw Error("A block of " + std::to_string(m_rows) + " rows with an input does not fit inline");
    if (m_inline) {
        if (!m_frame.declarations.empty()) t += m_frame.declarations + "\n";
    } else {
        t.append("DECLARE PROCEDURE ").append(kProcedureName).append(" (");
        for (std::size_t p = 0; p < m_names.size(); ++p) t += (p > 0 ? ", " : "") + typed(m_names[p], p);
        t += ")\n";
        if (m_frame.returnsValues()) t += "RETURNS (" + withRowText(m_frame.rowOutput, "") + ")\n";
        t += "AS\n";
        if (!m_frame.declarations.empty()) t += m_frame.declarations + "\n";
        t += "BEGIN\n";
        for (const std::string& statement : oneLine) {
            const std::string own = withRowText(statement, "");
            t.append(own).append(terminatorOf(own)) += '\n';
        }
        t += "END\n";
    }
    t += "BEGIN\n";
    // One text line per row: the server's "At block line" names it.
    m_firstCallLine = linesIn(t) + 1;
    for (std::size_t row = 0; row < m_rows; ++row) {
        t.append("IF (").append(kCountName).append(" > ").append(std::to_string(row)).append(") THEN ");
        if (m_inline) {
            t += "BEGIN ";
            for (const std::string& statement : oneLine) {
                t += replaceMarkers(withRowNumber(statement, row), 0, [&](std::string_view marker) {
                    // A marker the name scan read otherwise is refused, never guessed.
                    return " :" + inputName(row, parameterIndex(std::string(marker))) + " ";
                });
                t.append(terminatorOf(statement)) += ' ';
            }
            t += "END\n";
        } else {
            t.append("EXECUTE PROCEDURE ").append(kProcedureName).append("(");
            for (std::size_t p = 0; p < m_names.size(); ++p) t += (p > 0 ? ", :" : ":") + inputName(row, p);
            t += ")";
            if (m_frame.returnsValues())
                t += " RETURNING_VALUES :" + declaredName(withRowNumber(m_frame.rowOutput, row));
            t += ";\n";
        }
    }
    if (m_frame.returnsValues()) t += "SUSPEND;\n";
    t += "END";

    m_values.resize(m_rows * m_names.size());
    for (std::size_t i = 0; i < m_values.size(); ++i) m_values[i].name = m_names[i % m_names.size()];
    m_connection.registerClient(this);
}

StatementBlock::~StatementBlock() {
    m_connection.unregisterClient(this);
    releaseDriverObjects();
}

std::size_t StatementBlock::parameterIndex(const std::string& name) const {
    for (std::size_t p = 0; p < m_names.size(); ++p)
        if (sameNameIgnoringCase(m_names[p], name)) return p;
    throw Error("Parameter '" + name + "' not found");
}

void StatementBlock::setValue(std::size_t row, std::size_t parameter, ParameterValue value) {
    m_values.at(row * m_names.size() + parameter).setValue(std::move(value));
}

void StatementBlock::setBlockInput(const std::string& text) { m_blockInput.setValue(text); }

void StatementBlock::releaseDriverObjects() {
    m_command.reset();
    m_driverConnection = nullptr;
    m_boundRows = 0;
}

void StatementBlock::fail(sqldriver::Status status, sqldriver::ISQLObject* failed) {
    checkDriverCall(m_lastErrorText, status, failed, m_connection.lastErrorText(), std::string(),
                    [this] { m_connection.noteFailedCall(); });
    throw Error(m_lastErrorText);  // not reached: status is never Ok here
}

void StatementBlock::prepare(sqldriver::ISQLConnection* connection) {
    releaseDriverObjects();
    sqldriver::ISQLCommand* command = nullptr;
    const sqldriver::Status status = connection->getSQLCommand(&command);
    m_command.reset(command);
    if (status != sqldriver::status::Ok) fail(status, nullptr);
    const auto count = static_cast<std::uint16_t>(leadingParameters() + m_values.size());
    const sqldriver::Status prepared = m_command->prepare(m_text.c_str(), count);
    if (prepared != sqldriver::status::Ok) {
        DriverHandle<sqldriver::ISQLCommand> failed = std::move(m_command);
        fail(prepared, failed.get());
    }
    // The output comes back with the execution, in the run's transaction.
    if (m_frame.returnsValues()) {
        const sqldriver::Status set = m_command->setOption(sqldriver::cmdopt::OneRowInTransaction, 1);
        if (set != sqldriver::status::Ok) fail(set, m_command.get());
    }
    m_driverConnection = connection;
}

void StatementBlock::bind(std::size_t position, const QueryParameter& parameter) {
    const ParameterBinding b = bindingOf(parameter);
    const sqldriver::Status status = m_command->setParameter(
        static_cast<std::uint16_t>(position), 0, sqldriver::direction::Input, b.kind, b.subkind, b.precision,
        b.scale, b.length(), b.isNull ? nullptr : b.bytes.data(), b.isNull);
    // A refused value is reported with the connection's message, as a query's is.
    if (status != sqldriver::status::Ok) fail(status, m_driverConnection);
}

void StatementBlock::run(std::size_t count) {
    m_failedRow.reset();
    count = std::min(count, m_rows);
    sqldriver::ISQLConnection* connection = m_connection.connectionForStatement(false);
    if (!connection) throw Error("Unable to execute Query");
    if (!m_command || connection != m_driverConnection) prepare(connection);

    const std::size_t perRow = m_names.size();
    const std::size_t first = leadingParameters() + 1;  // the position of row 0's first value
    bind(1, QueryParameter{std::string(kCountName), ParameterType::Int32, static_cast<std::int32_t>(count)});
    if (!m_frame.input.empty()) bind(2, m_blockInput);
    for (std::size_t row = 0; row < count; ++row) {
        try {
            for (std::size_t p = 0; p < perRow; ++p)
                bind(first + row * perRow + p, m_values[row * perRow + p]);
        } catch (...) {
            m_failedRow = row;
            throw;
        }
    }
    // Rows past the count are never run, but every parameter needs a binding.
    const QueryParameter null{std::string(), ParameterType::Text, NullValue{}};
    for (std::size_t row = std::max(count, m_boundRows); row < m_rows; ++row)
        for (std::size_t p = 0; p < perRow; ++p) bind(first + row * perRow + p, null);
    m_boundRows = m_rows;

    m_rowOutputs.clear();
    sqldriver::ISQLCursor* cursor = nullptr;
    const sqldriver::Status status = m_command->execute(&cursor);
    DriverHandle<sqldriver::ISQLCursor> result(cursor);
    if (status != sqldriver::status::Ok) {
        try {
            fail(status, m_command.get());
        } catch (const Error& e) {
            m_failedRow = rowOfFailureText(e.what());
            throw;
        }
    }
    if (m_frame.returnsValues()) readOutput(result.get());
}

void StatementBlock::readOutput(sqldriver::ISQLCursor* cursor) {
    if (!cursor) throw Error("The block returned no value");
    const auto check = [&](sqldriver::Status status) {
        if (status != sqldriver::status::Ok) fail(status, cursor);
    };
    check(cursor->next());
    // Every value is a text, which arrives NUL-terminated after its bytes;
    // the bytes of its whole width are kept (zero bytes past a shorter one).
    const auto value = [&](std::uint16_t column) -> std::optional<std::string> {
        std::uint32_t length = 0;
        check(cursor->getColumnLength(column, &length));
        std::string bytes(length + 1, '\0');
        bool isNull = false;
        check(cursor->getValue(column, bytes.data(), length + 1, &isNull));
        if (isNull) return std::nullopt;
        bytes.resize(length);
        return bytes;
    };
    for (std::size_t row = 0; row < m_rows; ++row)
        m_rowOutputs.push_back(value(static_cast<std::uint16_t>(row + 1)));
}

std::optional<std::size_t> StatementBlock::rowOfFailureText(const std::string& errorText) const {
    static constexpr std::string_view kMark = "At block line: ";
    const std::size_t at = errorText.rfind(kMark);
    if (at == std::string::npos) return std::nullopt;
    const char* first = errorText.data() + at + kMark.size();
    std::size_t line = 0;
    const auto [end, error] = std::from_chars(first, errorText.data() + errorText.size(), line);
    if (error != std::errc() || line < m_firstCallLine || line - m_firstCallLine >= m_rows)
        return std::nullopt;
    return line - m_firstCallLine;
}

}  // namespace tarvel
