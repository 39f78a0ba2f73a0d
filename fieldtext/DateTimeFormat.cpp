#include "DateTimeFormat.h"

#include <charconv>

#include "CalendarDays.h"
#include "DateTimeTokens.h"
#include "EraLookup.h"

namespace tarvel {

namespace {

// Decimal digits of a value that is never negative, zero-filled to a width.
void appendNumber(std::string& text, int value, int minimumDigits) {
    char buffer[16];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    const auto digits = static_cast<int>(end - buffer);
    if (digits < minimumDigits) text.append(static_cast<std::size_t>(minimumDigits - digits), '0');
    text.append(buffer, end);
}

template <std::size_t N>
const std::string& nameAt(const std::array<std::string, N>& names, int index) {
    static const std::string none;
    return index >= 0 && static_cast<std::size_t>(index) < N ? names[static_cast<std::size_t>(index)] : none;
}

}  // namespace

std::string applyDateTimePattern(std::string_view pattern, const DateTimeParts& moment,
                                 const RegionalFormats& formats) {
    std::int32_t dayNumber = 0;
    const bool validDate = dayNumberFromDate(moment.year, moment.month, moment.day, &dayNumber);
    const Era* era = validDate ? eraOfDay(formats, dayNumber) : nullptr;
    const bool afternoon = moment.hour >= 12;

    std::string text;
    const auto tokens = dateTimePatternTokens(pattern, formats.encoding);
    for (const DateTimeToken& token : *tokens) {
        switch (token.code) {
            case DateTimeCode::Literal:
                text += token.text;
                break;
            case DateTimeCode::DateSeparator:
                text += formats.dateSeparator;
                break;
            case DateTimeCode::TimeSeparator:
                text += formats.timeSeparator;
                break;
            case DateTimeCode::Day:
                appendNumber(text, moment.day, token.padded ? 2 : 1);
                break;
            case DateTimeCode::ShortDayName:
                text += nameAt(formats.shortDayNames, validDate ? dayOfWeek(dayNumber) : -1);
                break;
            case DateTimeCode::LongDayName:
                text += nameAt(formats.longDayNames, validDate ? dayOfWeek(dayNumber) : -1);
                break;
            case DateTimeCode::Month:
                appendNumber(text, moment.month, token.padded ? 2 : 1);
                break;
            case DateTimeCode::ShortMonthName:
                text += nameAt(formats.shortMonthNames, moment.month - 1);
                break;
            case DateTimeCode::LongMonthName:
                text += nameAt(formats.longMonthNames, moment.month - 1);
                break;
            case DateTimeCode::TwoDigitYear:
                appendNumber(text, moment.year % 100, 2);
                break;
            case DateTimeCode::FourDigitYear:
                appendNumber(text, moment.year, 4);
                break;
            case DateTimeCode::EraYear:
                appendNumber(text, era ? moment.year - era->firstYear + 1 : moment.year,
                             token.padded ? 2 : 1);
                break;
            case DateTimeCode::EraName:
                if (era) text += era->name;
                break;
            case DateTimeCode::Hour: {
                int hour = moment.hour;
                if (token.twelveHour) {
                    hour %= 12;
                    if (hour == 0) hour = 12;
                }
                appendNumber(text, hour, token.padded ? 2 : 1);
                break;
            }
            case DateTimeCode::Minute:
                appendNumber(text, moment.minute, token.padded ? 2 : 1);
                break;
            case DateTimeCode::Second:
                appendNumber(text, moment.second, token.padded ? 2 : 1);
                break;
            case DateTimeCode::AmPmString:
                text += afternoon ? formats.timePmString : formats.timeAmString;
                break;
            case DateTimeCode::AmPmLetters:
                text += afternoon ? token.text.substr(3, 2) : token.text.substr(0, 2);
                break;
            case DateTimeCode::AmPmLetter:
                text += afternoon ? token.text[2] : token.text[0];
                break;
        }
    }
    return text;
}

}  // namespace tarvel
