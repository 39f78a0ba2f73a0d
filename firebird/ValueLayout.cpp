#include "ValueLayout.h"

#include "CalendarDays.h"

namespace tarvel::fb {

namespace {

constexpr std::int64_t kUnitsPerMillisecond = ISC_TIME_SECONDS_PRECISION / 1000;
constexpr std::int64_t kMillisecondsPerDay = 86400000;
const std::int64_t kIscEpoch = daysFromCivil(1858, 11, 17);
const std::int64_t kDayNumberEpoch = daysFromCivil(1899, 12, 30);

}  // namespace

std::int32_t dayNumberFromIscDate(ISC_DATE date) {
    return static_cast<std::int32_t>(date + kIscEpoch - kDayNumberEpoch);
}

ISC_DATE iscDateFromDayNumber(std::int32_t day) {
    return static_cast<ISC_DATE>(day + kDayNumberEpoch - kIscEpoch);
}

std::uint32_t millisecondsFromIscTime(ISC_TIME time) {
    return static_cast<std::uint32_t>(time / kUnitsPerMillisecond);
}

ISC_TIME iscTimeFromMilliseconds(std::uint32_t milliseconds) {
    return static_cast<ISC_TIME>(milliseconds % kMillisecondsPerDay * kUnitsPerMillisecond);
}

sqldriver::SqlTimestamp sqlTimestampFromIsc(const ISC_TIMESTAMP& stamp) {
    const CalendarDate date = civilFromDays(stamp.timestamp_date + kIscEpoch);
    const std::uint32_t ms = millisecondsFromIscTime(stamp.timestamp_time);
    sqldriver::SqlTimestamp value;
    value.year = static_cast<std::int16_t>(date.year);
    value.month = static_cast<std::uint16_t>(date.month);
    value.day = static_cast<std::uint16_t>(date.day);
    value.hour = static_cast<std::uint16_t>(ms / 3600000);
    value.minute = static_cast<std::uint16_t>(ms / 60000 % 60);
    value.second = static_cast<std::uint16_t>(ms / 1000 % 60);
    value.fraction = ms % 1000;
    return value;
}

bool iscTimestampFromSql(const sqldriver::SqlTimestamp& value, ISC_TIMESTAMP* stamp) {
    if (value.year < 1 || value.year > 9999 || value.month < 1 || value.month > 12 || value.day < 1 ||
        value.hour > 23 || value.minute > 59 || value.second > 59 || value.fraction > 999)
        return false;
    const std::int64_t days = daysFromCivil(value.year, value.month, value.day);
    if (civilFromDays(days).day != value.day)  // 31 April and the like
        return false;
    stamp->timestamp_date = static_cast<ISC_DATE>(days - kIscEpoch);
    stamp->timestamp_time = iscTimeFromMilliseconds(
        ((value.hour * 60u + value.minute) * 60u + value.second) * 1000u + value.fraction);
    return true;
}

bool bcdToText(const sqldriver::Bcd& value, std::string* text) {
    if (value.precision == 0 || value.precision > sizeof value.digits || value.scale > value.precision)
        return false;
    std::string result = value.negative ? "-" : "";
    const int integerDigits = value.precision - value.scale;
    if (integerDigits == 0) result += '0';
    for (int i = 0; i < value.precision; ++i) {
        if (value.digits[i] > 9) return false;
        if (i == integerDigits) result += '.';
        result += static_cast<char>('0' + value.digits[i]);
    }
    *text = result;
    return true;
}

}  // namespace tarvel::fb
