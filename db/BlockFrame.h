// What a block of statements may hold around its rows' statements: a value
// for the whole block, variables of its own, statements before the first row
// and after the last, one value it hands back and one more for each row. The
// rows' statements may
// then name those variables (without a colon, so that the marker scan leaves
// them alone) and write {ROW} for the row's number (four digits), which makes
// cursor names and marks of their own for each row.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarvel {

struct BlockFrame {
    std::string input;         // "NAME TYPE" of a value given for the whole block, or empty
    std::string declarations;  // the block's own DECLARE VARIABLE statements
    std::string opening;       // statements run before the first row's
    std::string closing;       // statements run after the last row's
    std::string output;        // "NAME TYPE" of the one text the block returns, or empty
    std::string rowOutput;     // "NAME{ROW} TYPE" of a value (text or bytes) returned for each row, or empty

    bool returnsValues() const { return !output.empty() || !rowOutput.empty(); }
    bool empty() const {
        return input.empty() && declarations.empty() && opening.empty() && closing.empty() &&
               !returnsValues();
    }
};

// What {ROW} stands for in row `row`: its number in four digits (a block
// holds fewer than 10,000 rows).
inline std::string rowNumberText(std::size_t row) {
    char number[24];
    std::snprintf(number, sizeof number, "%04zu", row);
    return number;
}

// Statements (table contexts) one block may hold written out row by row;
// beyond that the rows call a sub-procedure, which a frame cannot reach into.
inline constexpr std::size_t kMaxInlineContexts = 256;

// Whether rows of this many statements each can stand inline in one block.
constexpr bool rowsFitInline(std::size_t rows, std::size_t statementsPerRow) {
    return rows * statementsPerRow <= kMaxInlineContexts;
}

}  // namespace tarvel
