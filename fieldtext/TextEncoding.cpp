#include "TextEncoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace tarvel {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

std::size_t utf8Length(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (pos + length > text.size())
        return 1;
    // A broken sequence counts byte by byte, so no ASCII byte is ever swallowed.
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[pos + i])))
            return 1;
    }
    return length;
}

}  // namespace

std::size_t characterLength(std::string_view text, std::size_t pos, TextEncoding encoding)
{
    if (pos >= text.size())
        return 1;
    switch (encoding) {
    case TextEncoding::Utf8:
        return utf8Length(text, pos);
    case TextEncoding::DoubleByte: {
        const auto lead = static_cast<unsigned char>(text[pos]);
        return (lead >= 0x81 && lead <= 0xFE && pos + 1 < text.size()) ? 2 : 1;
    }
    case TextEncoding::SingleByte:
        break;
    }
    return 1;
}

TextEncoding encodingOfCodeset(std::string_view codeset)
{
    std::string name;
    for (char c : codeset) {
        if (c != '-' && c != '_')
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (name == "UTF8")
        return TextEncoding::Utf8;
    static constexpr std::array<std::string_view, 15> doubleByte = {
        "BIG5", "BIG5HKSCS", "GBK", "GB18030", "GB2312", "EUCCN", "EUCKR", "EUCJP", "EUCTW",
        "SHIFTJIS", "SJIS", "CP932", "CP936", "CP949", "CP950"};
    if (std::find(doubleByte.begin(), doubleByte.end(), name) != doubleByte.end())
        return TextEncoding::DoubleByte;
    return TextEncoding::SingleByte;
}

}  // namespace tarvel
