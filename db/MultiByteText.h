// Stepping through text in the character set of the process's locale, so that
// the bytes of one multi-byte character are never read as separate ASCII
// characters (a Big5 trail byte can be 0x60, the backquote).
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvel {

enum class ByteCharset {
    SingleByte,  // every byte a character of its own
    Utf8,        // lead byte plus continuation bytes
    DoubleByte,  // Big5 and its kin: a lead byte 0x81..0xFE takes the next byte with it
};

// The character set of the current LC_CTYPE locale (nl_langinfo(CODESET)).
ByteCharset systemByteCharset();
// The character set named by a codeset name such as "UTF-8" or "BIG5".
ByteCharset byteCharsetFromCodeset(std::string_view codeset);

// Bytes taken by the character starting at text[pos] (pos < text.size()); never
// reaches past the end of the text, so a cut-off character ends with the text.
std::size_t characterLength(std::string_view text, std::size_t pos, ByteCharset charset);

}  // namespace tarvel
