// The date and time pattern language: a pattern and a moment give a text.
//
// Codes, letters taken without regard to case: d dd ddd dddd (day, day with
// zero, short and long day name); m mm mmm mmmm (month, month with zero,
// short and long month name; m and mm right after an hour code are minutes);
// y yy (two-digit year), yyy and longer (four-digit year); e ee eeee (year of
// the era); g gg ggg (era name); h hh (hour, in 12-hour form when an AMPM,
// AM/PM or A/P code is in force); n nn (minutes); s ss (seconds); AMPM (the
// morning or afternoon string); AM/PM and A/P (those letters, in the case
// written); "/" and ":" the date and time separators. Text in apostrophes or
// double quotes is copied without the quotes, every other character as is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RegionalFormats.h"

namespace tarvel {

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The pattern applied to a valid moment (year 1..9999, hour 0..23 and so on).
std::string applyDateTimePattern(std::string_view pattern, const DateTimeParts& moment,
                                 const RegionalFormats& formats);

}  // namespace tarvel
