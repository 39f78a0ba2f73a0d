// Numbers read from text, with a default for a text that is not a number.
// Neither conversion throws.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvel {

// Blanks, an optional sign, then a decimal number in the 32-bit range or a
// hexadecimal one ("$", "x", "0x" in front) of at most eight significant
// digits, running to the end of the text; else defaultValue.
std::int32_t integerFromText(std::string_view text, std::int32_t defaultValue);

// Blanks, an optional sign, digits with an optional decimalSeparator and
// fraction, an optional exponent, trailing blanks; accumulated in 80-bit
// extended precision. Else, or when the value overflows, defaultValue.
long double floatFromText(std::string_view text, long double defaultValue, char decimalSeparator);

}  // namespace tarvel
