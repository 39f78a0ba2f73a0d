// A text as an SQL string literal for the statements the driver writes
// itself: in single quotes, each quote inside doubled.
#pragma once

#include <string>
#include <string_view>

namespace tarvel::fb {

inline std::string sqlLiteral(std::string_view text) {
    std::string literal = "'";
    for (const char c : text) {
        literal += c;
        if (c == '\'') literal += '\'';
    }
    return literal + "'";
}

}  // namespace tarvel::fb
