#include "ServerText.h"

namespace tarvel {

namespace {

bool mayPrecedeMarker(char c) {
    switch (c) {
        case ' ':
        case '(':
        case ')':
        case ',':
        case '=':
        case '<':
        case '>':
        case '\r':
        case '\n':
            return true;
        default:
            return false;
    }
}

bool endsMarker(char c) { return c == ' ' || c == ')' || c == ',' || c == '\r' || c == '\n'; }

}  // namespace

std::string serverTextFromCommand(std::string_view text, char quoteChar) {
    const bool quoteDelimits = quoteChar != '\0' && quoteChar != ' ';
    auto delimitsLiteral = [&](char c) { return c == '\'' || (quoteDelimits && c == quoteChar); };

    std::string out;
    out.reserve(text.size() + 16);
    bool inLiteral = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        // The first byte has nothing before it and so is never a marker; a
        // literal it opens still counts.
        if (c == ':' && !inLiteral && pos > 0 && mayPrecedeMarker(text[pos - 1])) {
            out += " ? ";
            ++pos;
            while (pos < text.size() && !(!inLiteral && endsMarker(text[pos]))) {
                if (delimitsLiteral(text[pos])) inLiteral = !inLiteral;
                ++pos;
            }
            continue;
        }
        if (delimitsLiteral(c)) inLiteral = !inLiteral;
        out += c;
        ++pos;
    }
    return out;
}

}  // namespace tarvel
