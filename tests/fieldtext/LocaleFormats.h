// Regional formats used across the field text tests.
#pragma once

#include "CalendarDays.h"
#include "RegionalFormats.h"

namespace tarvel::test {

// English names, "/" and ":" separators, the struct's default patterns.
inline RegionalFormats englishFormats() {
    RegionalFormats formats;
    formats.shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    formats.longMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                              "July",    "August",   "September", "October", "November", "December"};
    formats.shortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    formats.longDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    return formats;
}

// The Taiwan era calendar: era year 1 is 1912.
inline Era taiwanEra() {
    Era era;
    dayNumberFromDate(1912, 1, 1, &era.startDay);
    era.firstYear = 1912;
    era.name = "\xE4\xB8\xAD\xE8\x8F\xAF\xE6\xB0\x91\xE5\x9C\x8B";  // 中華民國
    return era;
}

}  // namespace tarvel::test
