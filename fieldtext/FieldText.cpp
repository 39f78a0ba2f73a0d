#include "FieldText.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "CalendarDays.h"
#include "DateTimeFormat.h"
#include "Error.h"

namespace tarvel {

namespace {

constexpr std::uint32_t kMillisecondsPerDay = 86400000;

[[noreturn]] void bcdOverflow() { throw Error("BCD overflow"); }

void checkBcd(const sqldriver::Bcd& value) {
    if (value.precision == 0 || value.precision > 64 || value.scale > value.precision) bcdOverflow();
    for (int i = 0; i < value.precision; ++i) {
        if (value.digits[i] > 9) bcdOverflow();
    }
}

std::string dateTextOf(const CalendarDate& date, const RegionalFormats& formats) {
    DateTimeParts parts;
    parts.year = date.year;
    parts.month = date.month;
    parts.day = date.day;
    return applyDateTimePattern(formats.shortDateFormat, parts, formats);
}

std::string timeTextOf(int hour, int minute, int second, const RegionalFormats& formats) {
    DateTimeParts parts;
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    return applyDateTimePattern(formats.longTimeFormat, parts, formats);
}

}  // namespace

std::string integerText(std::int64_t value) { return std::to_string(value); }

std::string floatText(double value, const RegionalFormats& formats) {
    const std::string sign = std::signbit(value) ? "-" : "";
    if (std::isnan(value)) return sign + "NAN";
    if (std::isinf(value)) return sign + "INF";
    if (value == 0) return "0";

    // Scientific form with 15 significant digits: "d.dddddddddddddde+XX",
    // rounded exactly from the binary value.
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
    (void)error;  // 64 bytes always hold 15 digits and an exponent
    const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t exponentAt = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, exponentAt)) {
        if (c != '.') digits += c;
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    int exponent = 0;
    const std::string_view exponentText = scientific.substr(exponentAt + 1);
    std::from_chars(exponentText.data() + (exponentText[0] == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);

    // The value is 0.d1d2...dk times ten to the power p.
    const int p = exponent + 1;
    std::string text = sign;
    if (p >= -3 && p <= 15) {
        if (p <= 0) {
            text += '0';
            text += formats.decimalSeparator;
            text.append(static_cast<std::size_t>(-p), '0');
            text += digits;
        } else {
            const auto integerDigits = static_cast<std::size_t>(p);
            if (digits.size() <= integerDigits) {
                text += digits;
                text.append(integerDigits - digits.size(), '0');
            } else {
                text.append(digits, 0, integerDigits);
                text += formats.decimalSeparator;
                text.append(digits, integerDigits);
            }
        }
    } else {
        text += digits[0];
        if (digits.size() > 1) {
            text += formats.decimalSeparator;
            text.append(digits, 1);
        }
        text += 'E';
        text += std::to_string(p - 1);
    }
    return text;
}

std::string bcdText(const sqldriver::Bcd& value, const RegionalFormats& formats) {
    checkBcd(value);
    const int integerDigits = value.precision - value.scale;
    std::string integerPart;
    for (int i = 0; i < integerDigits; ++i) {
        if (!integerPart.empty() || value.digits[i] != 0)
            integerPart += static_cast<char>('0' + value.digits[i]);
    }
    std::string fraction;
    for (int i = integerDigits; i < value.precision; ++i)
        fraction += static_cast<char>('0' + value.digits[i]);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();

    if (integerPart.empty() && fraction.empty()) return "0";
    std::string text = value.negative ? "-" : "";
    text += integerPart.empty() ? "0" : integerPart;
    if (!fraction.empty()) {
        text += formats.decimalSeparator;
        text += fraction;
    }
    return text;
}

sqldriver::Bcd bcdFromScaled(std::int64_t value, int places, int precision) {
    sqldriver::Bcd bcd;
    bcd.negative = value < 0;
    // Work on the magnitude as unsigned, so the most negative value stays exact.
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::uint8_t reversed[20] = {};
    int digits = 0;
    while (magnitude != 0) {
        reversed[digits++] = static_cast<std::uint8_t>(magnitude % 10);
        magnitude /= 10;
    }
    if (places < 0) places = 0;
    int total = precision;
    if (total < digits) total = digits;
    if (total < places) total = places;
    if (total < 1) total = 1;
    bcd.precision = static_cast<std::uint8_t>(total);
    bcd.scale = static_cast<std::uint8_t>(places);
    for (int i = 0; i < digits; ++i) bcd.digits[total - 1 - i] = reversed[i];
    if (value == 0) bcd.negative = 0;
    return bcd;
}

sqldriver::Bcd normalizeBcd(const sqldriver::Bcd& value, int precision, int scale) {
    checkBcd(value);
    if (precision < 1 || precision > 64 || scale < 0 || scale > precision) bcdOverflow();

    const int valueIntegerDigits = value.precision - value.scale;
    const int fieldIntegerDigits = precision - scale;
    sqldriver::Bcd result;
    result.precision = static_cast<std::uint8_t>(precision);
    result.scale = static_cast<std::uint8_t>(scale);
    result.negative = value.negative ? 1 : 0;

    // Integer digits, aligned on the last one; a non-zero digit that falls
    // off the front does not fit.
    for (int i = 0; i < valueIntegerDigits; ++i) {
        const int target = fieldIntegerDigits - valueIntegerDigits + i;
        if (target < 0) {
            if (value.digits[i] != 0) bcdOverflow();
            continue;
        }
        result.digits[target] = value.digits[i];
    }
    // Fraction digits, aligned on the first one; a non-zero digit beyond the
    // field's places would be lost, so it does not fit either.
    for (int i = 0; i < value.scale; ++i) {
        const std::uint8_t digit = value.digits[valueIntegerDigits + i];
        if (i >= scale) {
            if (digit != 0) bcdOverflow();
            continue;
        }
        result.digits[fieldIntegerDigits + i] = digit;
    }
    return result;
}

std::string dateText(std::int32_t dayNumber, const RegionalFormats& formats) {
    CalendarDate date;
    if (!dateFromDayNumber(dayNumber, &date)) throw Error("Invalid argument to date encode");
    return dateTextOf(date, formats);
}

std::string timeText(std::uint32_t milliseconds, const RegionalFormats& formats) {
    if (milliseconds >= kMillisecondsPerDay) throw Error("Invalid argument to time encode");
    const std::uint32_t seconds = milliseconds / 1000;
    return timeTextOf(static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                      static_cast<int>(seconds % 60), formats);
}

std::string timestampText(const sqldriver::SqlTimestamp& value, const RegionalFormats& formats) {
    // Only the low 16 bits of the fraction count, as milliseconds.
    const std::uint32_t milliseconds = value.fraction & 0xFFFF;
    const bool midnight = value.hour == 0 && value.minute == 0 && value.second == 0;
    if (value.year == 0 && value.month == 0 && value.day == 0 && midnight && milliseconds == 0)
        return dateText(0, formats);

    std::int32_t dayNumber = 0;
    if (!dayNumberFromDate(value.year, value.month, value.day, &dayNumber))
        throw Error("Invalid argument to date encode");
    if (value.hour > 23 || value.minute > 59 || value.second > 59 || milliseconds > 999)
        throw Error("Invalid argument to time encode");

    CalendarDate date;
    dateFromDayNumber(dayNumber, &date);
    std::string text = dateTextOf(date, formats);
    if (!midnight) {
        text += ' ';
        text += timeTextOf(value.hour, value.minute, value.second, formats);
    }
    return text;
}

}  // namespace tarvel
