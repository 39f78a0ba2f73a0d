// How the bytes of a locale's texts group into characters. Patterns and names
// read from a locale are in that locale's character set; a pattern scanner
// must step over a whole character at a time so that the trailing byte of a
// double-byte character is never taken for a pattern letter or a quote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvel {

enum class TextEncoding : std::uint8_t {
    SingleByte,  // every byte is one character
    Utf8,        // UTF-8 sequences of one to four bytes
    DoubleByte,  // a byte 0x81..0xFE leads a two-byte character (Big5, GBK, EUC-KR, Shift-JIS style)
};

// Number of bytes of the character that starts at `pos` (at least 1, never past the end).
std::size_t characterLength(std::string_view text, std::size_t pos, TextEncoding encoding);

// The encoding that the character set named by nl_langinfo(CODESET) uses.
TextEncoding encodingOfCodeset(std::string_view codeset);

}  // namespace tarvel
