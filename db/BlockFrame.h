// What a block of statements may hold around its rows' statements: a value
// for the whole block, variables of its own, and a value it hands back for
// each row. The rows' statements may then name those variables (without a
// colon, so that the marker scan leaves them alone) and write {ROW} for the
// row's number (four digits), which makes cursor names and outputs of their
// own for each row. Rows that call the sub-procedure run there, where the
// variables are each call's own, {ROW} stands for nothing and the output is
// the procedure's, handed to the row's; the value for the whole block does
// not reach them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarvel {

struct BlockFrame {
    std::string input;         // "NAME TYPE" of a value given for the whole block, or empty
    std::string declarations;  // the block's own DECLARE VARIABLE statements
    std::string rowOutput;     // "NAME{ROW} TYPE" of a value (text or bytes) returned for each row, or empty

    bool returnsValues() const { return !rowOutput.empty(); }
};

// What {ROW} stands for in row `row`: its number in four digits (a block
// holds fewer than 10,000 rows).
inline std::string rowNumberText(std::size_t row) {
    char number[24];
    std::snprintf(number, sizeof number, "%04zu", row);
    return number;
}

// Statements (table contexts) one block may hold written out row by row;
// beyond that the rows call a sub-procedure.
inline constexpr std::size_t kMaxInlineContexts = 256;

// Whether rows of this many statements each can stand inline in one block.
constexpr bool rowsFitInline(std::size_t rows, std::size_t statementsPerRow) {
    return rows * statementsPerRow <= kMaxInlineContexts;
}

}  // namespace tarvel
