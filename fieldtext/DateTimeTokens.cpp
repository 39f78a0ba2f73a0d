#include "DateTimeTokens.h"

#include <strings.h>

#include <cctype>

namespace tarvel {

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::size_t runLength(std::string_view pattern, std::size_t pos) {
    const char letter = upper(pattern[pos]);
    std::size_t run = 1;
    while (pos + run < pattern.size() && upper(pattern[pos + run]) == letter) ++run;
    return run;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool isAmPm(DateTimeCode code) {
    return code == DateTimeCode::AmPmString || code == DateTimeCode::AmPmLetters ||
           code == DateTimeCode::AmPmLetter;
}

void appendLiteral(std::vector<DateTimeToken>& tokens, std::string_view text) {
    if (!tokens.empty() && tokens.back().code == DateTimeCode::Literal)
        tokens.back().text.append(text);
    else
        tokens.push_back(DateTimeToken{DateTimeCode::Literal, false, false, std::string(text)});
}

void push(std::vector<DateTimeToken>& tokens, DateTimeCode code, bool padded = false) {
    tokens.push_back(DateTimeToken{code, padded, false, {}});
}

// An hour is in 12-hour form when a morning/afternoon code stands anywhere
// before it, or after it before the next hour code.
void markTwelveHourCodes(std::vector<DateTimeToken>& tokens) {
    bool markerSeen = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (isAmPm(tokens[i].code)) {
            markerSeen = true;
            continue;
        }
        if (tokens[i].code != DateTimeCode::Hour) continue;
        bool markerFollows = false;
        for (std::size_t j = i + 1; j < tokens.size() && tokens[j].code != DateTimeCode::Hour; ++j) {
            if (isAmPm(tokens[j].code)) {
                markerFollows = true;
                break;
            }
        }
        tokens[i].twelveHour = markerSeen || markerFollows;
    }
}

}  // namespace

std::vector<DateTimeToken> tokenizeDateTimePattern(std::string_view pattern, TextEncoding encoding) {
    std::vector<DateTimeToken> tokens;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t length = characterLength(pattern, i, encoding);
        if (length > 1) {
            appendLiteral(tokens, pattern.substr(i, length));
            i += length;
            continue;
        }
        const char c = pattern[i];
        if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            while (j < pattern.size()) {
                const std::size_t inner = characterLength(pattern, j, encoding);
                if (inner == 1 && pattern[j] == c) break;
                j += inner;
            }
            appendLiteral(tokens, pattern.substr(i + 1, j - i - 1));
            i = j < pattern.size() ? j + 1 : j;
            continue;
        }
        if (c == '/') {
            push(tokens, DateTimeCode::DateSeparator);
            ++i;
            continue;
        }
        if (c == ':') {
            push(tokens, DateTimeCode::TimeSeparator);
            ++i;
            continue;
        }
        const std::string_view rest = pattern.substr(i);
        if (startsWithNoCase(rest, "AMPM")) {
            push(tokens, DateTimeCode::AmPmString);
            i += 4;
            afterHour = false;
            continue;
        }
        if (startsWithNoCase(rest, "AM/PM") || startsWithNoCase(rest, "A/P")) {
            const std::size_t size = startsWithNoCase(rest, "AM/PM") ? 5 : 3;
            const DateTimeCode code = size == 5 ? DateTimeCode::AmPmLetters : DateTimeCode::AmPmLetter;
            tokens.push_back(DateTimeToken{code, false, false, std::string(rest.substr(0, size))});
            i += size;
            afterHour = false;
            continue;
        }
        const std::size_t run = runLength(pattern, i);
        bool code = true;
        switch (upper(c)) {
            case 'D':
                push(tokens,
                     run <= 2   ? DateTimeCode::Day
                     : run == 3 ? DateTimeCode::ShortDayName
                                : DateTimeCode::LongDayName,
                     run == 2);
                break;
            case 'M':
                if (afterHour && run <= 2)
                    push(tokens, DateTimeCode::Minute, run == 2);
                else
                    push(tokens,
                         run <= 2   ? DateTimeCode::Month
                         : run == 3 ? DateTimeCode::ShortMonthName
                                    : DateTimeCode::LongMonthName,
                         run == 2);
                break;
            case 'Y':
                push(tokens, run <= 2 ? DateTimeCode::TwoDigitYear : DateTimeCode::FourDigitYear, true);
                break;
            case 'E':
                push(tokens, DateTimeCode::EraYear, run >= 2);
                break;
            case 'G':
                push(tokens, DateTimeCode::EraName);
                break;
            case 'H':
                push(tokens, DateTimeCode::Hour, run >= 2);
                break;
            case 'N':
                push(tokens, DateTimeCode::Minute, run >= 2);
                break;
            case 'S':
                push(tokens, DateTimeCode::Second, run >= 2);
                break;
            default:
                code = false;
                break;
        }
        if (code) {
            afterHour = upper(c) == 'H';
            i += run;
        } else {
            appendLiteral(tokens, rest.substr(0, 1));
            ++i;
        }
    }
    markTwelveHourCodes(tokens);
    return tokens;
}

std::shared_ptr<const std::vector<DateTimeToken>> dateTimePatternTokens(std::string_view pattern,
                                                                        TextEncoding encoding) {
    struct Entry {
        std::string pattern;
        TextEncoding encoding;
        std::shared_ptr<const std::vector<DateTimeToken>> tokens;
    };
    constexpr std::size_t kKept = 4;
    thread_local std::vector<Entry> kept;
    for (const Entry& entry : kept) {
        if (entry.encoding == encoding && entry.pattern == pattern) return entry.tokens;
    }
    auto tokens =
        std::make_shared<const std::vector<DateTimeToken>>(tokenizeDateTimePattern(pattern, encoding));
    if (kept.size() >= kKept) kept.erase(kept.begin());
    kept.push_back(Entry{std::string(pattern), encoding, tokens});
    return tokens;
}

}  // namespace tarvel
