#include "ServerText.h"

#include <functional>

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

std::string replaceMarkers(std::string_view text, char quoteChar,
                           const std::function<std::string(std::string_view marker)>& replacement) {
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
            const std::size_t start = ++pos;
            while (pos < text.size() && !(!inLiteral && endsMarker(text[pos]))) {
                if (delimitsLiteral(text[pos])) inLiteral = !inLiteral;
                ++pos;
            }
            out += replacement(text.substr(start, pos - start));
            continue;
        }
        if (delimitsLiteral(c)) inLiteral = !inLiteral;
        out += c;
        ++pos;
    }
    return out;
}

std::string serverTextFromCommand(std::string_view text, char quoteChar) {
    return replaceMarkers(text, quoteChar, [](std::string_view) { return std::string(" ? "); });
}

}  // namespace tarvel
