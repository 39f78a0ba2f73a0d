// Comparing component, field and parameter names without regard to letter case.
#pragma once

#include <string_view>

namespace tarvel {

// True when both names hold the same characters once upper-cased under the
// current locale's character set. Bytes that do not form a character of that
// set are compared as they are (ASCII letters folded).
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tarvel
