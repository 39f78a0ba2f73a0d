// Finding the named parameter markers (":NAME") of a statement text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "TextEncoding.h"

namespace tarvel {

// The joined statement text: every line followed by CR LF, the last included.
std::string commandTextFromLines(const std::vector<std::string>& lines);

// The names of the parameter markers in the text, one per marker, in text order.
// Apostrophe, double quote and backquote open and close literals alike; "::"
// outside a literal is an escaped colon; a name ends at a blank, ",", ";", ")",
// CR or LF outside a literal; a name written in quotes right after the colon
// loses its quotes. Multi-byte characters are stepped over whole.
std::vector<std::string> scanParameterNames(std::string_view text, TextEncoding encoding);

}  // namespace tarvel
