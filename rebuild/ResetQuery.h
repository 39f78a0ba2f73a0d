// The query operations the history rebuild asks of the database layer.
// Every operation may throw tarvel::Error carrying the failure's text.
#pragma once

#include <cstddef>
#include <string>

namespace tarvel {

class ResetQuery {
public:
    virtual ~ResetQuery() = default;

    // Ends the open result, if any.
    virtual void close() = 0;
    // Empties the statement lines.
    virtual void clearLines() = 0;
    // Appends one statement line, unchanged.
    virtual void addLine(const std::string& line) = 0;
    // Runs the statement and stands on its first row.
    virtual void open() = 0;
    // True when no row is current.
    virtual bool eof() = 0;
    // Moves to the next row.
    virtual void next() = 0;
    // Field text of the current row's column at index (from 0).
    virtual std::string fieldText(int index) = 0;
    // Field text of the current row's column of that name (case-insensitive).
    virtual std::string fieldText(const std::string& name) = 0;
    // Sets the named parameter to a text value.
    virtual void setParamText(const std::string& name, const std::string& value) = 0;
    // Sets the named parameter to a double value.
    virtual void setParamDouble(const std::string& name, double value) = 0;
    // Executes a statement that returns no rows. The reset never reads how
    // many rows it changed, so the count is not asked of the server.
    virtual void runStatement() = 0;
    // On: statements whose lines are replaced stay prepared, so a text set
    // again is not prepared again. Off: they are let go. Never throws.
    virtual void setStatementReuse(bool on) noexcept = 0;
};

// Explicit transactions on the connection both queries share.
class ResetTransactions {
public:
    virtual ~ResetTransactions() = default;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // True while a transaction begun is still there to work in: false once
    // the connection was lost with it.
    virtual bool active() = 0;
    // Claims the history table for this run before anything is written, so
    // that a second run of it is refused at its start (throws Error with a
    // clear text); the claim ends with releaseClaim() or the connection.
    virtual void claim(const std::string& table) { (void)table; }
    virtual void releaseClaim() noexcept {}
    // Marks the open transaction before a line's own statements (one line
    // per call, or a line a block stopped at), so that the line, refused, is
    // undone alone (undoLine) while the lines before it stay, with nothing
    // written again. Nothing by default.
    virtual void markLine() {}
    // Undoes the open transaction back to the last mark; false when that
    // cannot be done (no marks kept), and the whole transaction must go.
    virtual bool undoLine() { return false; }
};

// Replaces the query's statement by these lines.
template <std::size_t N>
void setStatementLines(ResetQuery& query, const char* const (&lines)[N]) {
    query.close();
    query.clearLines();
    for (const char* line : lines) query.addLine(line);
}

}  // namespace tarvel
