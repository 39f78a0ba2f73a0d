#include "MultiByteText.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace tarvel {

namespace {

std::string normalisedCodeset(std::string_view codeset) {
    std::string name;
    for (char c : codeset) {
        if (c != '-' && c != '_') name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

std::size_t utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

}  // namespace

ByteCharset byteCharsetFromCodeset(std::string_view codeset) {
    const std::string name = normalisedCodeset(codeset);
    if (name == "UTF8") return ByteCharset::Utf8;
    // Code pages whose lead bytes span 0x81..0xFE with a single trail byte.
    static const char* const kDoubleByte[] = {"BIG5", "BIG5HKSCS", "CP950", "GBK", "CP936", "EUCKR", "CP949", "UHC"};
    for (const char* known : kDoubleByte) {
        if (name == known) return ByteCharset::DoubleByte;
    }
    return ByteCharset::SingleByte;
}

ByteCharset systemByteCharset() {
    const char* codeset = nl_langinfo(CODESET);
    return byteCharsetFromCodeset(codeset ? codeset : "");
}

std::size_t characterLength(std::string_view text, std::size_t pos, ByteCharset charset) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    switch (charset) {
        case ByteCharset::SingleByte:
            break;
        case ByteCharset::Utf8: {
            length = utf8SequenceLength(lead);
            // A sequence broken by a byte that is no continuation byte ends there.
            std::size_t whole = 1;
            while (whole < length && pos + whole < text.size() &&
                   (static_cast<unsigned char>(text[pos + whole]) & 0xC0) == 0x80) {
                ++whole;
            }
            length = whole;
            break;
        }
        case ByteCharset::DoubleByte:
            if (lead >= 0x81 && lead <= 0xFE) length = 2;
            break;
    }
    return std::min(length, text.size() - pos);
}

}  // namespace tarvel
