// Readable, stable names for test parameters: GoogleTest would otherwise
// print their bytes, pointers included, into every test's name.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

namespace tarvel::test {

// The text with bytes outside printable ASCII written as \xNN.
inline std::string printable(std::string_view text) {
    std::string result = "[";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127) {
            result += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            result += escaped;
        }
    }
    return result + "]";
}

}  // namespace tarvel::test
