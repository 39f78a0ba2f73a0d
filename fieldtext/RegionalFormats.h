// Regional formats: how numbers, dates and times are written as text.
//
// The process keeps one current set, read from the POSIX locale of the
// environment (LC_ALL, then LC_NUMERIC / LC_TIME, then LANG) without changing
// the process-wide locale. The set lives in this shared library so that the
// program and the driver library, which both link it, see the same values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "TextEncoding.h"

namespace tarvel {

// One era of an era calendar: era year 1 is the Gregorian year firstYear, and
// the era runs from the day numbered startDay (days since 1899-12-30).
struct Era {
    std::int32_t startDay = 0;
    std::int32_t firstYear = 1;
    std::string name;

    bool operator==(const Era&) const = default;
};

struct RegionalFormats {
    char decimalSeparator = '.';
    std::string shortDateFormat = "m/d/yy";  // date pattern (d, m, y, e, g codes)
    std::string longTimeFormat = "h:mm:ss AMPM";
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string timeAmString = "am";
    std::string timePmString = "pm";
    std::array<std::string, 12> shortMonthNames;
    std::array<std::string, 12> longMonthNames;
    std::array<std::string, 7> shortDayNames;  // Sunday first
    std::array<std::string, 7> longDayNames;
    // Character set of the patterns and names above.
    TextEncoding encoding = TextEncoding::Utf8;
    // Eras of the calendar, oldest first; empty for the Gregorian calendar,
    // whose "e" codes give the year itself and whose "g" codes give nothing.
    std::vector<Era> eras;

    bool operator==(const RegionalFormats&) const = default;
};

// The formats the process reads and writes texts with now. On first use they
// are read from the environment's locale.
const RegionalFormats& currentFormats();
// Reads the formats from the environment's locale again and makes them current.
void reloadCurrentFormats();
// Makes the given formats current (tests, and a shell that reads them elsewhere).
void setCurrentFormats(const RegionalFormats& formats);

// Reads the formats of a POSIX locale without touching the process locale.
// nullptr or "" takes the locale of the environment (LC_ALL, then LC_NUMERIC
// for the number and LC_TIME for the date and time formats, then LANG); a
// locale that is not installed reads as the "C" locale.
RegionalFormats readRegionalFormats(const char* localeName);

}  // namespace tarvel
