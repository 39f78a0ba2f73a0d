// SQLQuery1 / SQLQuery2: a statement held as lines, its named parameters, and
// a forward-only cursor over the rows it returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DriverHandle.h"
#include "Field.h"
#include "QueryParameter.h"
#include "SqlConnection.h"
#include "SqlDriver.h"
#include "StatementShape.h"

namespace tarvel {

class SqlQuery : public ConnectionClient {
public:
    // Row-set size of a statement when the connection gives no RowsetSize.
    static constexpr std::int32_t kDefaultRowsetSize = 20;

    // name: the component name ("SQLQuery1"), put in front of its own failures.
    // The query registers with the connection and must go before it does.
    SqlQuery(std::string name, SqlConnection& connection);
    ~SqlQuery() override;  // closes and releases its driver objects; never throws
    SqlQuery(const SqlQuery&) = delete;
    SqlQuery& operator=(const SqlQuery&) = delete;

    const std::string& name() const { return m_name; }

    // The statement lines. Clearing a non-empty list and adding a line each
    // close and unprepare the query and parse the parameters again.
    const std::vector<std::string>& lines() const { return m_lines; }
    void clearLines();
    void addLine(const std::string& line);
    // The lines joined, each followed by CR LF.
    const std::string& commandText() const { return m_commandText; }
    // The text handed to the driver at preparation (empty until prepared).
    const std::string& serverText() const { return m_serverText; }

    // Whether changes of the lines parse the parameters again (always, here).
    bool paramCheck = true;

    std::vector<QueryParameter>& params() { return m_params; }
    // The first parameter of that name (letter case ignored); throws
    // "<query>: Parameter '<name>' not found".
    QueryParameter& paramByName(std::string_view name);

    // Runs the statement and stands on its first row; nothing when open.
    void open();
    // Ends the result; the statement stays prepared.
    void close();
    // Moves to the next row; nothing at the end; fails on a closed query.
    void next();
    bool eof() const { return m_eof; }
    bool active() const { return m_active; }
    bool prepared() const { return m_prepared; }

    // Executes a statement that returns no rows; the rows it changed.
    std::int32_t runStatement();
    // The same run for a caller that does not want the count: the driver is
    // asked for it only if rowsAffected() is read before the next run or
    // preparation (over the network that is a round trip per statement).
    void executeStatement();
    // -1 after preparation, 0 at the start of a run, then the rows the last
    // run statement changed.
    std::int32_t rowsAffected() const;

    // The fields of the open result, in column order.
    const std::vector<Field>& fields() const { return m_fields; }
    // Throws "List index out of bounds (<index>)".
    const Field& field(int index) const;
    // Throws "<query>: Field '<name>' not found".
    const Field& fieldByName(std::string_view name) const;
    // The field's value in the current row as text; empty for a null and
    // while no row is current.
    std::string fieldText(const Field& field);

    // The text of the last driver error raised for this query.
    const std::string& lastErrorText() const { return m_lastErrorText; }

    // While on, a statement whose lines change is kept prepared instead of
    // released, and taken back when the lines return to its text: a run that
    // alternates between a few statements prepares each of them once. At most
    // kMaxKeptStatements are kept, the longest unused let go first; a statement
    // that failed is never kept. Turning it off lets every kept statement go.
    void setStatementReuse(bool on) noexcept;
    bool statementReuse() const { return m_statementReuse; }
    std::size_t keptStatements() const { return m_kept.size(); }
    static constexpr std::size_t kMaxKeptStatements = 4;
    // Statements handed to the driver's prepare since the query was made.
    std::uint64_t preparations() const { return m_preparations; }

    // Lets the cursor and the statement go (the connection is closing).
    void releaseDriverObjects() override;

private:
    [[noreturn]] void failNamed(const std::string& text) const;
    // Throws the driver error text of a non-zero status, with the failed
    // object asked for its message.
    void check(sqldriver::Status status, sqldriver::ISQLObject* failed);
    void linesChanged();
    void unprepare();
    void runWithoutRows(bool askCount);
    // Reads the pending count of rows affected from the statement it belongs
    // to, once; status ignored, as at an unprepare.
    void settleRowsAffected() const noexcept;
    // Lets a statement go, reading its count first if that is still pending.
    void releaseCommand(DriverHandle<sqldriver::ISQLCommand>& command) noexcept;
    void releaseKeptStatements() noexcept;
    // The shape of the current command text while reuse is on and the
    // parameter list is the one parsed from it; else nullptr.
    StatementShape* currentShape();
    StatementShape& shapeOf(const std::string& commandText);
    // With reuse on: takes back a kept statement of the current command text
    // made on `connection`; false when there is none.
    bool takeKeptStatement(sqldriver::ISQLConnection* connection);
    void ensureConnected();
    void prepare();
    void prepareStatement();
    std::int32_t rowsetSize() const;
    void bindParameters();
    void buildFields();
    void fetch();

    std::string m_name;
    SqlConnection& m_connection;
    std::vector<std::string> m_lines;
    std::string m_commandText;
    std::string m_serverText;
    std::vector<QueryParameter> m_params;
    std::vector<Field> m_fields;
    sqldriver::ISQLConnection* m_driverConnection = nullptr;  // the one the statement came from
    DriverHandle<sqldriver::ISQLCommand> m_command;
    DriverHandle<sqldriver::ISQLCursor> m_cursor;
    bool m_prepared = false;
    bool m_active = false;
    bool m_eof = true;
    mutable std::int32_t m_rowsAffected = 0;
    // The statement whose count of rows affected has not been read yet; it is
    // m_command or one of m_kept while set.
    mutable sqldriver::ISQLCommand* m_countSource = nullptr;
    std::string m_lastErrorText;
    std::vector<char> m_valueBuffer;

    // A prepared statement set aside when the lines changed, with what it was
    // prepared from.
    struct KeptStatement {
        std::string commandText;
        std::string serverText;
        std::size_t paramCount = 0;
        sqldriver::ISQLConnection* driverConnection = nullptr;
        DriverHandle<sqldriver::ISQLCommand> command;
    };
    bool m_statementReuse = false;
    bool m_statementFailed = false;     // the current statement failed to run
    std::vector<KeptStatement> m_kept;  // least recently used first
    // Shapes of the command texts seen while reuse is on (the partial texts
    // of a statement being added line by line included), oldest first.
    static constexpr std::size_t kMaxShapes = 8;
    std::vector<std::unique_ptr<StatementShape>> m_shapes;
    StatementShape* m_shape = nullptr;
    // Field lookups by name in the open result: name as asked -> position.
    mutable std::vector<std::pair<std::string, std::size_t>> m_fieldLookups;
    std::uint64_t m_preparations = 0;
};

}  // namespace tarvel
