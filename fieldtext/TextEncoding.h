// How the bytes of a text group into characters, in the character set of a
// locale. Patterns and names read from a locale, and statement texts typed
// under it, are in that character set; a scanner looking for ASCII letters,
// quotes or colons must step over a whole character at a time, so that the
// trailing byte of a double-byte character (a Big5 or Shift-JIS trail byte
// can be 0x5C or 0x60) is never taken for one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvel {

enum class TextEncoding : std::uint8_t {
    SingleByte,  // every byte is one character
    Utf8,        // UTF-8 sequences of one to four bytes
    DoubleByte,  // a byte 0x81..0xFE leads a two-byte character (Big5, GBK, GB18030, UHC, JOHAB, EUC-KR)
    ShiftJis,    // a byte 0x81..0x9F or 0xE0..0xFC leads a two-byte character; 0xA1..0xDF stand alone
    EucJp,       // 0x8F leads a three-byte character, 0x8E and 0xA1..0xFE a two-byte one
};

// Number of bytes of the character that starts at `pos`: at least 1, and
// never past the end of the text, so a cut-off character ends with the text.
// A broken UTF-8 sequence ends at the first byte that does not continue it.
std::size_t characterLength(std::string_view text, std::size_t pos, TextEncoding encoding);

// The encoding that the character set named by nl_langinfo(CODESET) uses
// ("UTF-8", "BIG5", "SHIFT_JIS", ...; case, '-' and '_' do not count).
TextEncoding encodingOfCodeset(std::string_view codeset);

// The encoding of the current LC_CTYPE locale of the process.
TextEncoding systemTextEncoding();

}  // namespace tarvel
