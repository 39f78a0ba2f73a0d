#include "TextEncoding.h"

#include <langinfo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace tarvel {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

std::size_t utf8Length(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    // A sequence broken by a byte that continues nothing ends before it, so no
    // ASCII byte is ever swallowed.
    std::size_t whole = 1;
    while (whole < length && pos + whole < text.size() &&
           isContinuation(static_cast<unsigned char>(text[pos + whole])))
        ++whole;
    return whole;
}

std::size_t leadLength(unsigned char lead, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::DoubleByte:
            return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        case TextEncoding::ShiftJis:
            return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
        case TextEncoding::EucJp:
            if (lead == 0x8F) return 3;
            return lead == 0x8E || (lead >= 0xA1 && lead <= 0xFE) ? 2 : 1;
        case TextEncoding::SingleByte:
        case TextEncoding::Utf8:
            break;
    }
    return 1;
}

// Character sets whose lead bytes 0x81..0xFE each take one more byte, which
// may lie in the ASCII range (0x40..0x7E in Big5, GBK and GB18030, letters in
// UHC, 0x31..0x7E in JOHAB). GB18030's four-byte characters are two such pairs
// (the second and fourth bytes 0x30..0x39), and so are EUC-TW's (0x8E and
// three bytes from 0xA1), so stepping by pairs keeps them whole. EUC-KR and
// EUC-CN are pairs of bytes from 0xA1.
constexpr std::array<std::string_view, 13> kDoubleByte = {"BIG5",    "BIG5HKSCS", "CP950", "GBK",   "CP936",
                                                          "GB18030", "GB2312",    "EUCCN", "EUCKR", "CP949",
                                                          "UHC",     "JOHAB",     "EUCTW"};
// Shift-JIS and its kin: trail bytes 0x40..0xFC, half-width katakana
// 0xA1..0xDF single bytes.
constexpr std::array<std::string_view, 7> kShiftJis = {"SHIFTJIS", "SJIS",          "CP932", "WINDOWS31J",
                                                       "MSKANJI",  "SHIFTJISX0213", "IBM943"};
constexpr std::array<std::string_view, 4> kEucJp = {"EUCJP", "EUCJPMS", "EUCJISX0213", "UJIS"};

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::size_t characterLength(std::string_view text, std::size_t pos, TextEncoding encoding) {
    if (pos >= text.size()) return 1;
    if (encoding == TextEncoding::Utf8) return utf8Length(text, pos);
    return std::min(leadLength(static_cast<unsigned char>(text[pos]), encoding), text.size() - pos);
}

TextEncoding encodingOfCodeset(std::string_view codeset) {
    std::string name;
    for (char c : codeset) {
        if (c != '-' && c != '_') name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (name == "UTF8") return TextEncoding::Utf8;
    if (listed(kDoubleByte, name)) return TextEncoding::DoubleByte;
    if (listed(kShiftJis, name)) return TextEncoding::ShiftJis;
    if (listed(kEucJp, name)) return TextEncoding::EucJp;
    return TextEncoding::SingleByte;
}

TextEncoding systemTextEncoding() {
    const char* codeset = nl_langinfo(CODESET);
    return encodingOfCodeset(codeset ? codeset : "");
}

}  // namespace tarvel
