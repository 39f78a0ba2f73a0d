// The connection setting that says how many document lines of a rebuild one
// server call writes: 1 sends each line's DELETE and INSERT as statements of
// their own, more sends that many lines' statements as one batch.
#pragma once

#include <cstddef>
#include <string>

#include "StatementBatch.h"

namespace tarvel {

// The key in the connection's section of the named-connection file.
inline constexpr const char* kLinesPerCallKey = "LinesPerCall";
// Lines per call when the key is absent or empty (see README: measured).
inline constexpr std::size_t kDefaultLinesPerCall = 128;
// A line's DELETE and INSERT take eight values; the server's parameter limit
// per statement gives the most lines one batch can hold.
inline constexpr std::size_t kValuesPerLine = 8;
inline const std::size_t kMaxLinesPerCall = StatementBatch::maxLines(kValuesPerLine);

// The setting's value; throws Error naming the key when it is not a whole
// number from 1 to kMaxLinesPerCall. componentName goes in front of the text.
std::size_t linesPerCallOf(const std::string& componentName, const std::string& value);

}  // namespace tarvel
