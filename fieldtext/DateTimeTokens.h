// The date and time pattern language split into its codes, shared by the
// formatter and by the parser so that the two read a pattern the same way.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TextEncoding.h"

namespace tarvel {

enum class DateTimeCode {
    Literal,         // text copied as is
    DateSeparator,   // "/"
    TimeSeparator,   // ":"
    Day,             // d, dd
    ShortDayName,    // ddd
    LongDayName,     // dddd and longer
    Month,           // m, mm (not after an hour code)
    ShortMonthName,  // mmm
    LongMonthName,   // mmmm and longer
    TwoDigitYear,    // y, yy
    FourDigitYear,   // yyy and longer
    EraYear,         // e, ee, eeee
    EraName,         // g, gg, ggg
    Hour,            // h, hh
    Minute,          // n, nn; m, mm right after an hour code
    Second,          // s, ss
    AmPmString,      // AMPM: the morning or afternoon string
    AmPmLetters,     // AM/PM: the two letters as written
    AmPmLetter,      // A/P: the one letter as written
};

struct DateTimeToken {
    DateTimeCode code = DateTimeCode::Literal;
    bool padded = false;      // numbers: two digits at least
    bool twelveHour = false;  // hours: 1..12 form
    std::string text;         // literal text; the code as written for AM/PM and A/P
};

std::vector<DateTimeToken> tokenizeDateTimePattern(std::string_view pattern, TextEncoding encoding);

// The same, kept for the last few patterns asked on this thread: every date
// of a scan, and every date bound, asks the same one or two patterns.
std::shared_ptr<const std::vector<DateTimeToken>> dateTimePatternTokens(std::string_view pattern,
                                                                        TextEncoding encoding);

}  // namespace tarvel
