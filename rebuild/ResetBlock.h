// Many document lines' statements in one server call, as the rebuild asks of
// the database layer. Every operation may throw tarvel::Error carrying the
// failure's text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarvel {

class ResetBlock {
public:
    virtual ~ResetBlock() = default;

    // Lines one call should hold, as the connection's settings say (the
    // connection is open by then); 1: every line's statements go on their own.
    virtual std::size_t linesPerCall() = 0;
    // Sets the statements each line runs, in order (each a statement text with
    // :NAME markers, every NAME a column of `table`) and the lines one call
    // holds. The block is prepared at its first run and kept until release().
    virtual void define(const std::string& table, const std::vector<std::string>& statements,
                        std::size_t lines) = 0;
    // Position of a marker name among a line's values.
    virtual std::size_t parameterIndex(const std::string& name) = 0;
    // A value of line `line`, handed over as the single statements' parameters
    // take it: text, or a double.
    virtual void setParamText(std::size_t line, std::size_t parameter, const std::string& value) = 0;
    virtual void setParamDouble(std::size_t line, std::size_t parameter, double value) = 0;
    // Runs the statements of lines [0, count) in one call and returns how
    // many lines ran: fewer than count when the line at that position was
    // refused, its changes undone and the lines before it kept, each run
    // once. Throws when the call itself failed (a lost connection, a
    // cancel): nothing of it is kept, and the transaction stays usable unless
    // the connection was lost.
    virtual std::size_t run(std::size_t count) = 0;
    // Lets the prepared block go. Never throws.
    virtual void release() noexcept = 0;
};

}  // namespace tarvel
