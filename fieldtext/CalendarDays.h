// Day numbers of the proleptic Gregorian calendar, counted from 1899-12-30
// (day 0), for the years 1 to 9999.
#pragma once

#include <cstdint>

namespace tarvel {

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

constexpr std::int32_t kFirstDayNumber = -693593;  // 0001-01-01
constexpr std::int32_t kLastDayNumber = 2958465;   // 9999-12-31

// Days since 1970-01-01 of a proleptic Gregorian date, and back: plain era
// arithmetic over 400-year cycles, exact for any year, with no range check.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);
CalendarDate civilFromDays(std::int64_t days);

bool isLeapYear(int year);
int daysInMonth(int year, int month);
// False when the year, month or day lies outside the calendar.
bool dayNumberFromDate(int year, int month, int day, std::int32_t* dayNumber);
// False when the day number lies outside 0001-01-01..9999-12-31.
bool dateFromDayNumber(std::int32_t dayNumber, CalendarDate* date);
// 0 for Sunday .. 6 for Saturday.
int dayOfWeek(std::int32_t dayNumber);

}  // namespace tarvel
