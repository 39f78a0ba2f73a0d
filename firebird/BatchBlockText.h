// The text of the EXECUTE BLOCK that runs a batch: each line's statements
// run as one call of a sub-procedure, inside a handler of the line's own, so
// that the first line the server refuses stops the block where it stands,
// the call undone whole and the lines before it kept, each run once. The
// block answers how many lines ran and the refused line's codes.
//
// The text is made from constants, the program's statement texts, plain
// identifiers and line numbers only: values travel as parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::fb {

// A batch's statements and values, as ISQLBatch::prepare hands them over.
struct BatchLines {
    std::string table;                        // the values' columns are this table's
    std::vector<std::string> statements;      // each line's statements, "?" markers
    std::vector<std::string> valueColumns;    // each value's column of `table`
    std::vector<std::uint16_t> markerValues;  // each "?" in order: its value
};

// The server takes at most this many parameters in one statement.
inline constexpr std::size_t kMaxBlockParameters = 32767;

// The most lines one block of `valuesPerLine` values a line holds (one
// parameter is the count of lines to run).
std::size_t maxBlockLines(std::size_t valuesPerLine);

// Throws DriverFailure(InvalidParameter) for a shape the block cannot hold:
// an identifier that is not plain, a marker count or value out of range, a
// value no marker takes, too many lines.
void checkBatchLines(const BatchLines& batch, std::size_t lines);

// The block for `lines` lines. Its parameters: the count of lines to run,
// then each line's values in order. Its one row: LINES_DONE, and the refused
// line's FAILED_GDSCODE, FAILED_SQLCODE and FAILED_SQLSTATE.
std::string batchBlockText(const BatchLines& batch, std::size_t lines);

}  // namespace tarvel::fb
