// The same statements for many lines in one server call, through the
// driver's batch (sqldriver::ISQLBatch): every line's statements run once,
// in order, and the first line that fails stops the call where it stands,
// the lines before it kept.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "DriverHandle.h"
#include "QueryParameter.h"
#include "SqlConnection.h"

namespace tarvel {

class StatementBatch : public ConnectionClient {
public:
    // statements: each a statement text with :NAME markers, every NAME a
    // column of `table`, whose type the value takes (so values convert as
    // they do for the statements sent on their own). lines: how many lines
    // one call holds at most.
    StatementBatch(SqlConnection& connection, std::string table, const std::vector<std::string>& statements,
                   std::size_t lines);
    ~StatementBatch() override;
    StatementBatch(const StatementBatch&) = delete;
    StatementBatch& operator=(const StatementBatch&) = delete;

    // The most lines one call of this many values a line can hold (the
    // server's limit of parameters a statement, one of them the count).
    static std::size_t maxLines(std::size_t valuesPerLine);

    // One line's values, in the order of their first marker.
    const std::vector<std::string>& valueNames() const { return m_names; }
    // Position of that name in valueNames() (letter case ignored); throws
    // "Parameter '<name>' not found".
    std::size_t valueIndex(const std::string& name) const;
    // A value of a line, kept until set again.
    void setValue(std::size_t line, std::size_t value, ParameterValue parameter);

    // Runs lines [0, count) in one call, preparing the batch first when it is
    // not prepared on the connection's current attachment. Returns the lines
    // that ran: fewer than count when the line at that position was refused
    // (its value could not be bound, or the server refused its statements),
    // undone, with the lines before it kept. Throws DatabaseError with the
    // driver error text when the call itself failed: nothing of it is kept.
    std::size_t run(std::size_t count);

    // Lets the prepared batch go (the connection is closing, or its run ends).
    void releaseDriverObjects() override;

private:
    void prepare(sqldriver::ISQLConnection* connection);
    // Binds the values of line `line`; false when one cannot be bound.
    bool bindLine(std::size_t line);
    // Lines [0, count) as one call, bound already.
    std::size_t execute(std::size_t count);
    [[noreturn]] void fail(sqldriver::Status status, sqldriver::ISQLObject* failed);

    SqlConnection& m_connection;
    std::string m_table;
    std::vector<std::string> m_names;           // each value's column
    std::vector<std::string> m_serverTexts;     // the statements with "?" markers
    std::vector<std::uint16_t> m_markerValues;  // each marker's value
    std::size_t m_lines;
    std::vector<QueryParameter> m_values;  // line by line, m_names.size() a line
    sqldriver::ISQLConnection* m_driverConnection = nullptr;
    DriverHandle<sqldriver::ISQLBatch> m_batch;
    std::string m_lastErrorText;
};

}  // namespace tarvel
