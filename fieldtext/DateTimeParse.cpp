#include "DateTimeParse.h"

#include <strings.h>

#include <chrono>
#include <cstring>

#include "CalendarDays.h"
#include "DateTimeTokens.h"

namespace tarvel {

namespace {

// What a text gave for each code of its pattern; -1 where the code was absent.
struct ParsedFields {
    int day = -1;
    int dayOfWeek = -1;
    int month = -1;
    int twoDigitYear = -1;
    int year = -1;
    int eraYear = -1;
    int era = -1;  // index into formats.eras
    int hour = -1;
    bool twelveHour = false;
    int minute = -1;
    int second = -1;
    int afternoon = -1;  // 0 morning, 1 afternoon
};

class PatternReader {
public:
    PatternReader(std::string_view text, const RegionalFormats& formats) : m_text(text), m_formats(formats) {}

    std::size_t position() const { return m_pos; }

    // Reads the text from the current position on under the pattern.
    bool read(std::string_view pattern, ParsedFields* fields) {
        const auto tokens = dateTimePatternTokens(pattern, m_formats.encoding);
        for (const DateTimeToken& token : *tokens) {
            if (!readToken(token, fields)) return false;
        }
        return true;
    }

private:
    bool readToken(const DateTimeToken& token, ParsedFields* f) {
        switch (token.code) {
            case DateTimeCode::Literal:
                return expect(token.text);
            case DateTimeCode::DateSeparator:
                return expect(std::string_view(&m_formats.dateSeparator, 1));
            case DateTimeCode::TimeSeparator:
                return expect(std::string_view(&m_formats.timeSeparator, 1));
            case DateTimeCode::Day:
                return number(token.padded ? 2 : 1, 2, &f->day);
            case DateTimeCode::ShortDayName:
                return name(m_formats.shortDayNames, &f->dayOfWeek);
            case DateTimeCode::LongDayName:
                return name(m_formats.longDayNames, &f->dayOfWeek);
            case DateTimeCode::Month:
                return number(token.padded ? 2 : 1, 2, &f->month);
            case DateTimeCode::ShortMonthName:
                return monthName(m_formats.shortMonthNames, &f->month);
            case DateTimeCode::LongMonthName:
                return monthName(m_formats.longMonthNames, &f->month);
            case DateTimeCode::TwoDigitYear:
                return number(2, 2, &f->twoDigitYear);
            case DateTimeCode::FourDigitYear:
                return number(4, 4, &f->year);
            case DateTimeCode::EraYear:
                return number(token.padded ? 2 : 1, 4, &f->eraYear);
            case DateTimeCode::EraName:
                return eraName(&f->era);
            case DateTimeCode::Hour:
                f->twelveHour = token.twelveHour;
                return number(token.padded ? 2 : 1, 2, &f->hour);
            case DateTimeCode::Minute:
                return number(token.padded ? 2 : 1, 2, &f->minute);
            case DateTimeCode::Second:
                return number(token.padded ? 2 : 1, 2, &f->second);
            case DateTimeCode::AmPmString:
                return marker(m_formats.timeAmString, m_formats.timePmString, &f->afternoon);
            case DateTimeCode::AmPmLetters:
                return marker(token.text.substr(0, 2), token.text.substr(3, 2), &f->afternoon);
            case DateTimeCode::AmPmLetter:
                return marker(token.text.substr(0, 1), token.text.substr(2, 1), &f->afternoon);
        }
        return false;
    }

    bool startsWith(std::string_view expected) const {
        return m_text.size() - m_pos >= expected.size() &&
               strncasecmp(m_text.data() + m_pos, expected.data(), expected.size()) == 0;
    }

    bool expect(std::string_view expected) {
        if (!startsWith(expected)) return false;
        m_pos += expected.size();
        return true;
    }

    // Between minDigits and maxDigits decimal digits; a field read twice must agree.
    bool number(std::size_t minDigits, std::size_t maxDigits, int* field) {
        int value = 0;
        std::size_t digits = 0;
        while (digits < maxDigits && m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') {
            value = value * 10 + (m_text[m_pos++] - '0');
            ++digits;
        }
        return digits >= minDigits && store(value, field);
    }

    static bool store(int value, int* field) {
        if (*field >= 0 && *field != value) return false;
        *field = value;
        return true;
    }

    // The longest name that the text starts with, so "June" wins over "Jun".
    template <std::size_t N>
    bool name(const std::array<std::string, N>& names, int* field) {
        int best = -1;
        for (std::size_t i = 0; i < N; ++i) {
            if (!names[i].empty() && startsWith(names[i]) &&
                (best < 0 || names[i].size() > names[static_cast<std::size_t>(best)].size()))
                best = static_cast<int>(i);
        }
        if (best < 0) return false;
        m_pos += names[static_cast<std::size_t>(best)].size();
        return store(best, field);
    }

    bool monthName(const std::array<std::string, 12>& names, int* month) {
        int index = -1;
        if (!name(names, &index)) return false;
        return store(index + 1, month);
    }

    bool eraName(int* era) {
        if (m_formats.eras.empty()) return true;  // the Gregorian calendar writes no era name
        int best = -1;
        for (std::size_t i = 0; i < m_formats.eras.size(); ++i) {
            const std::string& candidate = m_formats.eras[i].name;
            if (startsWith(candidate) &&
                (best < 0 || candidate.size() > m_formats.eras[static_cast<std::size_t>(best)].name.size()))
                best = static_cast<int>(i);
        }
        if (best < 0) return false;
        m_pos += m_formats.eras[static_cast<std::size_t>(best)].name.size();
        return store(best, era);
    }

    bool marker(std::string_view morning, std::string_view afternoon, int* field) {
        const bool isMorning = startsWith(morning);
        const bool isAfternoon = startsWith(afternoon);
        if (isAfternoon && (!isMorning || afternoon.size() > morning.size())) {
            m_pos += afternoon.size();
            return store(1, field);
        }
        if (isMorning) {
            m_pos += morning.size();
            return store(0, field);
        }
        return false;
    }

    std::string_view m_text;
    const RegionalFormats& m_formats;
    std::size_t m_pos = 0;
};

int currentYear() {
    const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    return static_cast<int>(std::chrono::year_month_day(today).year());
}

// A two-digit year lands in the hundred years from fifty before this year.
int widenYear(int twoDigits) {
    const int first = currentYear() - 50;
    int year = first - first % 100 + twoDigits;
    if (year < first) year += 100;
    return year;
}

bool dateFromFields(const ParsedFields& f, const RegionalFormats& formats, std::int32_t* dayNumber) {
    int year = f.year;
    if (year < 0 && f.eraYear >= 0) {
        if (formats.eras.empty()) {
            year = f.eraYear;
        } else {
            // Without an era name the latest era is meant.
            const Era& era =
                formats.eras[static_cast<std::size_t>(f.era >= 0 ? f.era : int(formats.eras.size()) - 1)];
            year = era.firstYear + f.eraYear - 1;
        }
    }
    if (year < 0 && f.twoDigitYear >= 0) year = widenYear(f.twoDigitYear);
    if (f.twoDigitYear >= 0 && year % 100 != f.twoDigitYear) return false;
    if (!dayNumberFromDate(year, f.month, f.day, dayNumber)) return false;
    return f.dayOfWeek < 0 || f.dayOfWeek == dayOfWeek(*dayNumber);
}

bool timeFromFields(const ParsedFields& f, std::uint32_t* milliseconds) {
    if (f.hour < 0) return false;
    int hour = f.hour;
    if (f.twelveHour) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (f.afternoon == 1 ? 12 : 0);
    }
    const int minute = f.minute < 0 ? 0 : f.minute;
    const int second = f.second < 0 ? 0 : f.second;
    if (hour > 23 || minute > 59 || second > 59) return false;
    *milliseconds = static_cast<std::uint32_t>(((hour * 60 + minute) * 60 + second) * 1000);
    return true;
}

}  // namespace

bool parseDateText(std::string_view text, const RegionalFormats& formats, std::int32_t* day) {
    PatternReader reader(text, formats);
    ParsedFields fields;
    std::int32_t value = 0;
    if (!reader.read(formats.shortDateFormat, &fields) || reader.position() != text.size() ||
        !dateFromFields(fields, formats, &value))
        return false;
    *day = value;
    return true;
}

bool parseTimeText(std::string_view text, const RegionalFormats& formats, std::uint32_t* milliseconds) {
    PatternReader reader(text, formats);
    ParsedFields fields;
    std::uint32_t value = 0;
    if (!reader.read(formats.longTimeFormat, &fields) || reader.position() != text.size() ||
        !timeFromFields(fields, &value))
        return false;
    *milliseconds = value;
    return true;
}

bool parseTimestampText(std::string_view text, const RegionalFormats& formats,
                        sqldriver::SqlTimestamp* value) {
    PatternReader dateReader(text, formats);
    ParsedFields dateFields;
    std::int32_t dayNumber = 0;
    if (!dateReader.read(formats.shortDateFormat, &dateFields) ||
        !dateFromFields(dateFields, formats, &dayNumber))
        return false;

    std::uint32_t milliseconds = 0;
    const std::size_t rest = dateReader.position();
    if (rest != text.size()) {
        if (text[rest] != ' ' || !parseTimeText(text.substr(rest + 1), formats, &milliseconds)) return false;
    }
    CalendarDate date;
    dateFromDayNumber(dayNumber, &date);
    const std::uint32_t seconds = milliseconds / 1000;
    value->year = static_cast<std::int16_t>(date.year);
    value->month = static_cast<std::uint16_t>(date.month);
    value->day = static_cast<std::uint16_t>(date.day);
    value->hour = static_cast<std::uint16_t>(seconds / 3600);
    value->minute = static_cast<std::uint16_t>(seconds / 60 % 60);
    value->second = static_cast<std::uint16_t>(seconds % 60);
    value->fraction = 0;
    return true;
}

}  // namespace tarvel
