// Many document lines' statements in one server call, as the rebuild asks of
// the database layer. Every operation may throw tarvel::Error carrying the
// failure's text.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BlockFrame.h"

namespace tarvel {

class ResetBlock {
public:
    virtual ~ResetBlock() = default;

    // Lines one call should hold, as the connection's settings say (the
    // connection is open by then); 1: every line's statements go on their own.
    virtual std::size_t linesPerCall() = 0;
    // Sets the statements each line runs, in order (each a statement text with
    // :NAME markers, every NAME a column of `table`), the lines one call
    // holds and what the block holds around them. The block is prepared at
    // its first run and kept until release().
    virtual void define(const std::string& table, const std::vector<std::string>& statements,
                        std::size_t lines, const BlockFrame& frame) = 0;
    // Another block on the same connection, to be defined with other statements.
    virtual std::unique_ptr<ResetBlock> sibling() = 0;
    // Position of a marker name among a line's values.
    virtual std::size_t parameterIndex(const std::string& name) = 0;
    // A value of line `line`, handed over as the single statements' parameters
    // take it: text, or a double.
    virtual void setParamText(std::size_t line, std::size_t parameter, const std::string& value) = 0;
    virtual void setParamDouble(std::size_t line, std::size_t parameter, double value) = 0;
    // The frame's value for the whole block.
    virtual void setBlockInput(const std::string& text) = 0;
    // Runs the statements of lines [0, count) in one call. When it throws,
    // nothing the call did is kept and the transaction stays usable unless
    // the connection itself was lost.
    virtual void run(std::size_t count) = 0;
    // After a run(): the frame's value of one line (the bytes of its whole
    // width, nullopt for a null).
    virtual std::optional<std::string> rowOutput(std::size_t line) = 0;
    // After a failed run(): the line whose values or statements failed, when known.
    virtual std::optional<std::size_t> failedLine() = 0;
    // Lets the prepared block go. Never throws.
    virtual void release() noexcept = 0;
};

}  // namespace tarvel
