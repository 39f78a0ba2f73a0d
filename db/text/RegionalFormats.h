// Regional formats: how numbers, dates and times are written as text.
//
// The process keeps one current set, read from the POSIX locale of the
// environment (LC_ALL, then LC_NUMERIC / LC_TIME, then LANG) without changing
// the process-wide locale. The set lives in this shared library so that the
// program and the driver library, which both link it, see the same values.
#pragma once

#include <array>
#include <string>

namespace tarvel {

struct RegionalFormats {
    char decimalSeparator = '.';
    std::string shortDateFormat = "m/d/yy";   // date pattern (d, m, y, e, g codes)
    std::string longTimeFormat = "h:mm:ss AMPM";
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string timeAmString = "am";
    std::string timePmString = "pm";
    std::array<std::string, 12> shortMonthNames;
    std::array<std::string, 12> longMonthNames;
    std::array<std::string, 7> shortDayNames;  // Sunday first
    std::array<std::string, 7> longDayNames;

    bool operator==(const RegionalFormats&) const = default;
};

// The formats the process reads and writes texts with now.
const RegionalFormats& currentFormats();
// Reads the formats from the environment's locale again and makes them current.
void reloadCurrentFormats();
// Makes the given formats current (tests, and a shell that reads them elsewhere).
void setCurrentFormats(const RegionalFormats& formats);

}  // namespace tarvel
