#include "PosixFormats.h"

#include <cctype>
#include <vector>

namespace tarvel {

namespace {

// One piece of a strftime-style format: a directive ("%-d") or one character.
struct PosixItem {
    bool directive = false;
    char conversion = 0;  // directives: the conversion letter
    char flag = 0;        // directives: '-', '_', '0', '^', '#' or 0
    std::string_view text;
};

std::vector<PosixItem> splitFormat(std::string_view format, TextEncoding encoding) {
    std::vector<PosixItem> items;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] == '%' && i + 1 < format.size()) {
            std::size_t j = i + 1;
            PosixItem item;
            item.directive = true;
            if (std::string_view("-_0^#").find(format[j]) != std::string_view::npos) item.flag = format[j++];
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) ++j;
            if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
            if (j < format.size()) {
                item.conversion = format[j];
                item.text = format.substr(i, j + 1 - i);
                items.push_back(item);
                i = j + 1;
                continue;
            }
        }
        const std::size_t length = characterLength(format, i, encoding);
        items.push_back(PosixItem{false, 0, 0, format.substr(i, length)});
        i += length;
    }
    return items;
}

// Replaces the composite directives by what they stand for.
std::string expandComposites(std::string_view format, std::string_view ampmFormat, TextEncoding encoding,
                             int depth = 0) {
    std::string result;
    for (const PosixItem& item : splitFormat(format, encoding)) {
        if (!item.directive || depth > 2) {
            result.append(item.text);
            continue;
        }
        switch (item.conversion) {
            case 'D':
                result += "%m/%d/%y";
                break;
            case 'F':
                result += "%Y-%m-%d";
                break;
            case 'T':
                result += "%H:%M:%S";
                break;
            case 'R':
                result += "%H:%M";
                break;
            case 'r':
                result += expandComposites(ampmFormat.empty() ? std::string_view("%I:%M:%S %p") : ampmFormat,
                                           ampmFormat, encoding, depth + 1);
                break;
            default:
                result.append(item.text);
                break;
        }
    }
    return result;
}

bool isDayOrMonthField(char conversion) {
    return conversion == 'd' || conversion == 'e' || conversion == 'm';
}
bool isHourField(char conversion) {
    return conversion == 'H' || conversion == 'I' || conversion == 'k' || conversion == 'l';
}

// A separator is one single-byte character that is neither a letter, a digit,
// a blank nor a quote; anything else (a CJK character such as 月) is no separator.
bool isSeparatorItem(const PosixItem& item) {
    if (item.directive || item.text.size() != 1) return false;
    const auto c = static_cast<unsigned char>(item.text[0]);
    return c > 32 && c < 127 && !std::isalnum(c) && c != '\'' && c != '"';
}

char separatorAfter(const std::vector<PosixItem>& items, bool (*isField)(char), char fallback) {
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        if (items[i].directive && isField(items[i].conversion) && isSeparatorItem(items[i + 1]))
            return items[i + 1].text[0];
    }
    return fallback;
}

// Appends literal text to a pattern, quoting the characters that the pattern
// language would otherwise read as codes.
void appendLiteral(std::string& pattern, std::string_view text, char dateSeparator) {
    const auto needsQuotes = [dateSeparator](std::string_view character) {
        if (character.size() != 1) return false;
        const auto c = static_cast<unsigned char>(character[0]);
        return std::isalpha(c) || c == '\'' || c == '"' || c == ':' || (c == '/' && dateSeparator != '/');
    };
    if (!needsQuotes(text)) {
        pattern.append(text);
        return;
    }
    if (text[0] == '\'') {
        pattern += "\"'\"";
    } else if (pattern.size() >= 2 && pattern.back() == '\'' && pattern[pattern.size() - 2] != '"') {
        // Extend the quoted run just written rather than open a new one.
        pattern.insert(pattern.size() - 1, text);
    } else {
        pattern += '\'';
        pattern.append(text);
        pattern += '\'';
    }
}

}  // namespace

std::string shortDatePatternFromPosix(std::string_view dateFormat, TextEncoding encoding) {
    if (dateFormat.empty()) return "m/d/yy";
    const std::string expanded = expandComposites(dateFormat, {}, encoding);
    const char separator = dateSeparatorFromPosix(dateFormat, encoding, '/');
    std::string pattern;
    for (const PosixItem& item : splitFormat(expanded, encoding)) {
        if (!item.directive) {
            appendLiteral(pattern, item.text, separator);
            continue;
        }
        const bool unpadded = item.flag == '-' || item.flag == '_';
        switch (item.conversion) {
            case 'Y':
                pattern += "yyyy";
                break;
            case 'y':
                pattern += "yy";
                break;
            case 'm':
                pattern += unpadded ? "m" : "mm";
                break;
            case 'd':
                pattern += unpadded ? "d" : "dd";
                break;
            case 'e':
                pattern += item.flag == '0' ? "dd" : "d";
                break;
            case 'b':
            case 'h':
                pattern += "mmm";
                break;
            case 'B':
                pattern += "mmmm";
                break;
            case 'a':
                pattern += "ddd";
                break;
            case 'A':
                pattern += "dddd";
                break;
            case '%':
                appendLiteral(pattern, "%", separator);
                break;
            default:
                for (char c : item.text) appendLiteral(pattern, std::string_view(&c, 1), separator);
                break;
        }
    }
    return pattern;
}

std::string longTimePattern(bool leadingZero, bool twelveHour, bool markerFirst) {
    std::string pattern = leadingZero ? "hh:mm:ss" : "h:mm:ss";
    if (twelveHour) pattern = markerFirst ? "AMPM " + pattern : pattern + " AMPM";
    return pattern;
}

std::string longTimePatternFromPosix(std::string_view timeFormat, std::string_view ampmTimeFormat) {
    const std::string expanded = expandComposites(timeFormat, ampmTimeFormat, TextEncoding::SingleByte);
    bool markerSeen = false;
    for (const PosixItem& item : splitFormat(expanded, TextEncoding::SingleByte)) {
        if (!item.directive) continue;
        if (item.conversion == 'p' || item.conversion == 'P') {
            markerSeen = true;
        } else if (isHourField(item.conversion)) {
            const bool padsWithZero = item.conversion == 'H' || item.conversion == 'I';
            const bool leadingZero =
                item.flag == '0' || (padsWithZero && item.flag != '-' && item.flag != '_');
            const bool twelveHour = item.conversion == 'I' || item.conversion == 'l';
            return longTimePattern(leadingZero, twelveHour, twelveHour && markerSeen);
        }
    }
    // No hour field at all: the 24-hour clock of the POSIX locale.
    return longTimePattern(true, false, false);
}

char dateSeparatorFromPosix(std::string_view dateFormat, TextEncoding encoding, char fallback) {
    const std::string expanded = expandComposites(dateFormat, {}, encoding);
    return separatorAfter(splitFormat(expanded, encoding), isDayOrMonthField, fallback);
}

char timeSeparatorFromPosix(std::string_view timeFormat, std::string_view ampmTimeFormat,
                            TextEncoding encoding, char fallback) {
    const std::string expanded = expandComposites(timeFormat, ampmTimeFormat, encoding);
    return separatorAfter(splitFormat(expanded, encoding), isHourField, fallback);
}

}  // namespace tarvel
