// Field texts: the value of a result column put into text by its kind, under
// the regional formats the caller passes (normally currentFormats()).
#pragma once

#include <cstdint>
#include <string>

#include "RegionalFormats.h"
#include "SqlDriver.h"

namespace tarvel {

// 16-bit, unsigned 16-bit, 32-bit, 64-bit and auto-increment integers:
// decimal digits, "-" in front of a negative value.
std::string integerText(std::int64_t value);

// Floating point and currency: the general format with 15 significant digits.
std::string floatText(double value, const RegionalFormats& formats);

// BCD and extended BCD: exact decimal text, trailing fraction zeros removed,
// never an exponent. Throws Error("BCD overflow") for a precision of 0 or
// above 64 (or a scale above the precision, or a digit above 9).
std::string bcdText(const sqldriver::Bcd& value, const RegionalFormats& formats);

// The value rescaled to a field of `precision` digits (1..64) of which `scale`
// are places. Throws Error("BCD overflow") when the value does not fit: too
// many integer digits, or a non-zero fraction digit that the field cannot hold.
sqldriver::Bcd normalizeBcd(const sqldriver::Bcd& value, int precision, int scale);

// The scaled integer value * 10^-places (places from 0; below 0 counts as 0)
// as BCD digits, exactly: precision is raised to the digits the value needs,
// to `places`, and to at least one digit. Leading digits are zeros.
sqldriver::Bcd bcdFromScaled(std::int64_t value, int places, int precision);

// Date (days since 1899-12-30) under the short date format.
std::string dateText(std::int32_t dayNumber, const RegionalFormats& formats);

// Time of day (milliseconds since midnight) under the long time format.
std::string timeText(std::uint32_t milliseconds, const RegionalFormats& formats);

// Timestamp: the date, then a blank and the time unless it is exactly
// 00:00:00. Throws Error("Invalid argument to date encode") or
// Error("Invalid argument to time encode") for parts out of range.
std::string timestampText(const sqldriver::SqlTimestamp& value, const RegionalFormats& formats);

}  // namespace tarvel
