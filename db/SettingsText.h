// Small text rules shared by the settings files, the settings store and the
// connection: trimming, names compared without regard to letter case, and
// whole numbers read strictly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvel {

// The text without leading and trailing blanks and control characters (bytes
// up to and including the blank); bytes above 0x7f are kept as they are.
std::string trimmed(std::string_view text);

// True when a and b are equal once ASCII letters are folded to one case. The
// names compared (settings names, section names) are ASCII; other bytes must
// match exactly, which keeps multi-byte characters intact in any encoding.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The text with ASCII letters lower-cased, other bytes unchanged.
std::string lowerCased(std::string_view text);

// A whole number in decimal: an optional sign and digits only, within the
// 32-bit signed range; nothing when the text is anything else.
std::optional<std::int32_t> parseInt32(std::string_view text);

}  // namespace tarvel
