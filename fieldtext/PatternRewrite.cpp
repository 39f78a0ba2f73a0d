#include "PatternRewrite.h"

#include <cctype>

namespace tarvel {

std::string eraCalendarDatePattern(std::string_view pattern, TextEncoding encoding) {
    std::string result;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t length = characterLength(pattern, i, encoding);
        const std::string_view rest = pattern.substr(i);
        if (length > 1) {
            result.append(rest.substr(0, length));
            i += length;
        } else if (rest.starts_with("gg")) {
            result += "ggg";
            i += 2;
        } else if (rest.starts_with("yyyy")) {
            result += "eeee";
            i += 4;
        } else if (rest.starts_with("yy")) {
            result += "ee";
            i += 2;
        } else if (rest[0] == 'y' || rest[0] == 'Y') {
            result += 'e';
            ++i;
        } else {
            result += rest[0];
            ++i;
        }
    }
    return result;
}

std::string removeEraNameCodes(std::string_view pattern, TextEncoding encoding) {
    std::string result;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t length = characterLength(pattern, i, encoding);
        if (length > 1 || (pattern[i] != 'g' && pattern[i] != 'G')) result.append(pattern.substr(i, length));
        i += length;
    }
    return result;
}

std::string widenTwoDigitYear(std::string_view pattern, TextEncoding encoding) {
    std::string result;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t length = characterLength(pattern, i, encoding);
        const char c = pattern[i];
        if (length > 1) {
            result.append(pattern.substr(i, length));
            i += length;
        } else if (c == '\'' || c == '"') {
            // Quoted text is copied as it stands, quotes included.
            result += c;
            ++i;
            while (i < pattern.size()) {
                const std::size_t inner = characterLength(pattern, i, encoding);
                const bool closing = inner == 1 && pattern[i] == c;
                result.append(pattern.substr(i, inner));
                i += inner;
                if (closing) break;
            }
        } else if (c == 'y' || c == 'Y') {
            std::size_t run = 0;
            while (i + run < pattern.size() && (pattern[i + run] == 'y' || pattern[i + run] == 'Y')) ++run;
            result.append(run <= 2 ? std::string_view("yyyy") : pattern.substr(i, run));
            i += run;
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

bool isCjkLanguage(std::string_view localeName) {
    std::string language;
    for (char c : localeName) {
        if (c == '_' || c == '.' || c == '@') break;
        language += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return language == "zh" || language == "ja" || language == "ko" || language == "chinese" ||
           language == "japanese" || language == "korean";
}

}  // namespace tarvel
