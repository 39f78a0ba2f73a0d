#include "ParameterScan.h"

namespace tarvel {

namespace {

bool isQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

bool endsName(char c) { return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n'; }

}  // namespace

std::string commandTextFromLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> scanParameterNames(std::string_view text, TextEncoding encoding) {
    std::vector<std::string> names;
    bool inLiteral = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = characterLength(text, pos, encoding);
        const char c = text[pos];
        if (length > 1) {
            pos += length;
            continue;
        }
        if (isQuote(c)) {
            inLiteral = !inLiteral;
            ++pos;
            continue;
        }
        if (c != ':' || inLiteral) {
            ++pos;
            continue;
        }
        if (pos + 1 < text.size() && text[pos + 1] == ':') {
            pos += 2;  // escaped colon
            continue;
        }
        // A marker: the name runs to the first delimiter outside a literal.
        const std::size_t start = pos + 1;
        std::size_t end = start;
        while (end < text.size()) {
            const std::size_t step = characterLength(text, end, encoding);
            if (step == 1) {
                if (isQuote(text[end])) {
                    inLiteral = !inLiteral;
                } else if (!inLiteral && endsName(text[end])) {
                    break;
                }
            }
            end += step;
        }
        std::string name(text.substr(start, end - start));
        if (!name.empty() && isQuote(name.front())) {
            name.erase(0, 1);
            if (!name.empty() && isQuote(name.back())) name.pop_back();
        }
        names.push_back(std::move(name));
        pos = end;
    }
    return names;
}

}  // namespace tarvel
