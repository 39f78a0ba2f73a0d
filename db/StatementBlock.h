// The statements of many rows in one server call: one EXECUTE BLOCK whose
// input parameters hold the values of up to rows() rows. Every row's
// statements run (and their tables' triggers fire) once per row, as if sent
// one by one: written out for each row while they fit in the server's 256
// table contexts per statement, else through a sub-procedure that each row
// calls (a sub-procedure numbers its contexts anew).
//
// The block is the program's own text, prepared with positional markers:
// the named-marker scan of SqlQuery never sees it (the body's :NAME are PSQL
// variables, not markers).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "BlockFrame.h"
#include "DriverHandle.h"
#include "QueryParameter.h"
#include "SqlConnection.h"

namespace tarvel {

class StatementBlock : public ConnectionClient {
public:
    // The server takes at most this many parameters in one statement; one of
    // them is the count of rows to run.
    static constexpr std::size_t kMaxParameters = 32767;

    // statements: each a statement text with :NAME markers, every NAME a
    // column of `table` (the markers give the sub-procedure its parameters,
    // typed as those columns, so values convert as they do for the statements
    // sent on their own). rows: how many rows one call holds at most.
    // frame: what the block holds around the rows (a block with a frame's
    // input must fit inline, see rowsFitInline; throws Error otherwise).
    StatementBlock(SqlConnection& connection, const std::string& table,
                   const std::vector<std::string>& statements, std::size_t rows, BlockFrame frame = {});
    ~StatementBlock() override;
    StatementBlock(const StatementBlock&) = delete;
    StatementBlock& operator=(const StatementBlock&) = delete;

    // The most rows a block of statements with this many parameters a row can
    // hold, after `leading` parameters of the block's own (the count of rows,
    // and a frame's input).
    static std::size_t maxRows(std::size_t parametersPerRow, std::size_t leading = 1);

    // One row's parameters, in the order of their first marker.
    const std::vector<std::string>& parameterNames() const { return m_names; }
    // Position of that name in parameterNames() (letter case ignored); throws
    // "Parameter '<name>' not found".
    std::size_t parameterIndex(const std::string& name) const;
    // Whether the rows' statements stand inline (else a sub-procedure runs them).
    bool isInline() const { return m_inline; }

    // Values of a row's parameter, kept until set again.
    void setValue(std::size_t row, std::size_t parameter, ParameterValue value);
    // The frame's value for the whole block, kept until set again.
    void setBlockInput(const std::string& text);
    // The frame's value of each row as the last successful run() returned it:
    // the bytes of the value's whole width (zero bytes past a shorter value);
    // nullopt for a null, and for rows the run did not reach.
    const std::vector<std::optional<std::string>>& rowOutputs() const { return m_rowOutputs; }

    // Runs the statements of rows [0, count) in one call, preparing the block
    // first when it is not prepared on the connection's current attachment.
    // On failure (tarvel::Error with the driver error text) nothing of the
    // call is kept, and failedRow() says which row failed when that is known.
    void run(std::size_t count);
    // The row of the last failed run(): the row whose value could not be
    // bound, or the row the server's text points at; nullopt when unknown.
    std::optional<std::size_t> failedRow() const { return m_failedRow; }

    // Lets the prepared statement go (the connection is closing, or the run
    // that used the block ends).
    void releaseDriverObjects() override;

private:
    // The row of a block's failure text: its last "At block line: L"
    // location names the line of the row's call. nullopt when there is none
    // (a failure before any statement ran, a server that does not say).
    std::optional<std::size_t> rowOfFailureText(const std::string& errorText) const;
    void prepare(sqldriver::ISQLConnection* connection);
    void bind(std::size_t position, const QueryParameter& parameter);
    [[noreturn]] void fail(sqldriver::Status status, sqldriver::ISQLObject* failed);
    // Reads the output values from the cursor of a run that returned them.
    void readOutput(sqldriver::ISQLCursor* cursor);
    // Parameters ahead of the rows' values: the count, and the frame's input.
    std::size_t leadingParameters() const { return m_frame.input.empty() ? 1 : 2; }

    SqlConnection& m_connection;
    std::vector<std::string> m_names;
    std::size_t m_rows;
    std::string m_text;
    bool m_inline = false;
    std::size_t m_firstCallLine = 0;       // text line (from 1) of row 0's call
    std::vector<QueryParameter> m_values;  // row by row, m_names.size() a row
    sqldriver::ISQLConnection* m_driverConnection = nullptr;
    DriverHandle<sqldriver::ISQLCommand> m_command;
    std::size_t m_boundRows = 0;  // rows holding a binding since the preparation
    std::optional<std::size_t> m_failedRow;
    std::string m_lastErrorText;
    BlockFrame m_frame;
    QueryParameter m_blockInput;
    std::vector<std::optional<std::string>> m_rowOutputs;
};

}  // namespace tarvel
