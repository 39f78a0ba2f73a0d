// The statement text as the server gets it: every parameter marker replaced by
// " ? " where it stands.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarvel {

// A marker is a colon outside a literal whose preceding byte is a blank, "(",
// ")", ",", "=", "<", ">", CR or LF; it runs to the next blank, ")", ",", CR or
// LF outside a literal. Literals are delimited by the apostrophe and by
// quoteChar (0 or a blank: the apostrophe alone). Every other byte is kept.
std::string serverTextFromCommand(std::string_view commandText, char quoteChar);
// The same scan with each marker replaced by what `replacement` makes of the
// marker's text after its colon.
std::string replaceMarkers(std::string_view commandText, char quoteChar,
                           const std::function<std::string(std::string_view marker)>& replacement);

}  // namespace tarvel
