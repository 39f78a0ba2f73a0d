#include <gtest/gtest.h>
#include <strings.h>

#include <random>
#include <string>
#include <vector>

#include "CalendarDays.h"
#include "DateTimeParse.h"
#include "FieldText.h"
#include "LocaleFormats.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

// Every step-th day of the calendar, plus the first and last days of every
// month of a few years and the ends of the calendar.
std::vector<std::int32_t> sampledDays(int step) {
    std::vector<std::int32_t> days;
    for (std::int32_t day = kFirstDayNumber; day <= kLastDayNumber; day += step) days.push_back(day);
    for (int year : {1, 99, 100, 1899, 1900, 1999, 2000, 2004, 2100, 9999}) {
        for (int month = 1; month <= 12; ++month) {
            std::int32_t day = 0;
            dayNumberFromDate(year, month, 1, &day);
            days.push_back(day);
            dayNumberFromDate(year, month, daysInMonth(year, month), &day);
            days.push_back(day);
        }
    }
    days.push_back(kLastDayNumber);
    return days;
}

// The installed locales get every 7th day; the extra patterns, which only add
// codes, a sparser sample (a prime step, so every weekday and month is met).
void expectDateRoundTrip(const RegionalFormats& formats, const std::string& label, int step,
                         std::int32_t firstDay = kFirstDayNumber) {
    int failures = 0;
    for (std::int32_t day : sampledDays(step)) {
        if (day < firstDay) continue;
        const std::string text = dateText(day, formats);
        std::int32_t parsed = -1;
        if (!parseDateText(text, formats, &parsed) || parsed != day) {
            ADD_FAILURE() << label << ": day " << day << " text [" << text << "] read as " << parsed;
            if (++failures > 5) return;
        }
    }
}

void expectTimeRoundTrip(const RegionalFormats& formats, const std::string& label) {
    for (std::uint32_t second = 0; second < 86400; second += 37) {
        const std::string text = timeText(second * 1000 + 123, formats);
        std::uint32_t parsed = 0;
        ASSERT_TRUE(parseTimeText(text, formats, &parsed)) << label << ": [" << text << "]";
        ASSERT_EQ(parsed, second * 1000) << label << ": [" << text << "]";
    }
    for (std::uint32_t second : {0u, 43199u, 43200u, 86399u}) {
        std::uint32_t parsed = 1;
        ASSERT_TRUE(parseTimeText(timeText(second * 1000, formats), formats, &parsed)) << label;
        EXPECT_EQ(parsed, second * 1000) << label;
    }
}

void expectTimestampRoundTrip(const RegionalFormats& formats, const std::string& label) {
    const std::vector<sqldriver::SqlTimestamp> values = {
        {1, 1, 1, 0, 0, 0, 0},    {1899, 12, 30, 0, 0, 0, 0}, {2004, 3, 5, 14, 5, 9, 0},
        {2004, 3, 5, 0, 0, 1, 0}, {2004, 3, 5, 12, 0, 0, 0},  {9999, 12, 31, 23, 59, 59, 0}};
    for (const sqldriver::SqlTimestamp& value : values) {
        const std::string text = timestampText(value, formats);
        sqldriver::SqlTimestamp parsed;
        parsed.fraction = 77;
        ASSERT_TRUE(parseTimestampText(text, formats, &parsed)) << label << ": [" << text << "]";
        EXPECT_EQ(parsed.year, value.year) << text;
        EXPECT_EQ(parsed.month, value.month) << text;
        EXPECT_EQ(parsed.day, value.day) << text;
        EXPECT_EQ(parsed.hour, value.hour) << text;
        EXPECT_EQ(parsed.minute, value.minute) << text;
        EXPECT_EQ(parsed.second, value.second) << text;
        EXPECT_EQ(parsed.fraction, 0u) << text;
    }
}

class LocaleRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(LocaleRoundTrip, DatesTimesAndTimestamps) {
    const RegionalFormats formats = readRegionalFormats(GetParam().c_str());
    expectDateRoundTrip(formats, GetParam(), 7);
    expectTimeRoundTrip(formats, GetParam());
    expectTimestampRoundTrip(formats, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Installed, LocaleRoundTrip,
                         ::testing::Values("C", "en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8", "zh_TW.UTF-8",
                                           "zh_TW.BIG5", "ja_JP.UTF-8"));

struct PatternPair {
    const char* date;
    const char* time;
};

void PrintTo(const PatternPair& c, std::ostream* out) { *out << c.date << " / " << c.time; }

class PatternRoundTrip : public ::testing::TestWithParam<PatternPair> {};

TEST_P(PatternRoundTrip, NamesMarkersAndUnpaddedFields) {
    RegionalFormats formats = test::englishFormats();
    formats.shortDateFormat = GetParam().date;
    formats.longTimeFormat = GetParam().time;
    formats.dateSeparator = '-';
    formats.timeSeparator = '.';
    const std::string label = formats.shortDateFormat + " / " + formats.longTimeFormat;
    expectDateRoundTrip(formats, label, 41);
    expectTimeRoundTrip(formats, label);
    expectTimestampRoundTrip(formats, label);
}

INSTANTIATE_TEST_SUITE_P(Patterns, PatternRoundTrip,
                         ::testing::Values(PatternPair{"m/d/yyyy", "h:mm:ss AMPM"},
                                           PatternPair{"dddd, mmmm d, yyyy", "AMPM hh:mm:ss"},
                                           PatternPair{"ddd d mmm yyyy", "h:nn:ss a/p"},
                                           PatternPair{"'Day' dd 'of' mmmm yyyy", "hh'h'nn'm'ss's' AM/PM"},
                                           PatternPair{"yyyymmdd", "hhmmss"}));

TEST(EraRoundTrip, TaiwanEraYears) {
    RegionalFormats formats = test::englishFormats();
    formats.eras.push_back(test::taiwanEra());
    formats.shortDateFormat = "ggg eeee/m/d";
    expectDateRoundTrip(formats, formats.shortDateFormat, 41, formats.eras[0].startDay);
    formats.shortDateFormat = "ee/mm/dd";
    expectDateRoundTrip(formats, formats.shortDateFormat, 41, formats.eras[0].startDay);
}

struct RejectCase {
    const char* text;
    const char* pattern;
};

void PrintTo(const RejectCase& c, std::ostream* out) { *out << test::printable(c.text); }

class RejectDate : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RejectDate, TextThatDoesNotMatch) {
    RegionalFormats formats = test::englishFormats();
    formats.shortDateFormat = GetParam().pattern;
    std::int32_t day = 12345;
    EXPECT_FALSE(parseDateText(GetParam().text, formats, &day)) << GetParam().text;
    EXPECT_EQ(day, 12345);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RejectDate,
    ::testing::Values(RejectCase{"", "mm/dd/yyyy"}, RejectCase{"03/05/2004 ", "mm/dd/yyyy"},
                      RejectCase{" 03/05/2004", "mm/dd/yyyy"}, RejectCase{"3/05/2004", "mm/dd/yyyy"},
                      RejectCase{"03/05/04", "mm/dd/yyyy"}, RejectCase{"13/05/2004", "mm/dd/yyyy"},
                      RejectCase{"02/30/2004", "mm/dd/yyyy"}, RejectCase{"02/29/1900", "mm/dd/yyyy"},
                      RejectCase{"00/10/2004", "mm/dd/yyyy"}, RejectCase{"03/05/0000", "mm/dd/yyyy"},
                      RejectCase{"03.05.2004", "mm/dd/yyyy"}, RejectCase{"2004-03-05", "mm/dd/yyyy"},
                      RejectCase{"Thursday, March 5, 2004", "dddd, mmmm d, yyyy"},
                      RejectCase{"Friday, Mars 5, 2004", "dddd, mmmm d, yyyy"}, RejectCase{"5 5", "d d"}));

TEST(ParseDate, TwoDigitYearAndCase) {
    RegionalFormats formats = test::englishFormats();
    formats.shortDateFormat = "m/d/yy";
    std::int32_t day = 0;
    std::int32_t expected = 0;
    ASSERT_TRUE(parseDateText("3/5/04", formats, &day));
    dayNumberFromDate(2004, 3, 5, &expected);
    EXPECT_EQ(day, expected);
    ASSERT_TRUE(parseDateText("3/5/99", formats, &day));
    dayNumberFromDate(1999, 3, 5, &expected);
    EXPECT_EQ(day, expected);

    formats.shortDateFormat = "d mmm yyyy";
    ASSERT_TRUE(parseDateText("5 MAR 2004", formats, &day));
    dayNumberFromDate(2004, 3, 5, &expected);
    EXPECT_EQ(day, expected);
}

TEST(ParseTime, RejectsOutOfRangeAndMissingMarker) {
    RegionalFormats formats = test::englishFormats();
    formats.longTimeFormat = "hh:mm:ss AMPM";
    std::uint32_t ms = 42;
    EXPECT_FALSE(parseTimeText("13:00:00 pm", formats, &ms));
    EXPECT_FALSE(parseTimeText("00:00:00 am", formats, &ms));
    EXPECT_FALSE(parseTimeText("11:60:00 am", formats, &ms));
    EXPECT_FALSE(parseTimeText("11:00:00", formats, &ms));
    EXPECT_FALSE(parseTimeText("11:00:00 xm", formats, &ms));
    EXPECT_EQ(ms, 42u);
    EXPECT_TRUE(parseTimeText("12:30:00 AM", formats, &ms));
    EXPECT_EQ(ms, 30u * 60 * 1000);

    formats.longTimeFormat = "hh:mm:ss";
    EXPECT_FALSE(parseTimeText("24:00:00", formats, &ms));
    EXPECT_TRUE(parseTimeText("23:59:59", formats, &ms));
    EXPECT_EQ(ms, 86399000u);
}

TEST(ParseTimestamp, DateAloneOrDateBlankTime) {
    RegionalFormats formats = test::englishFormats();
    formats.shortDateFormat = "yyyy/mm/dd";
    formats.longTimeFormat = "hh:mm:ss";
    sqldriver::SqlTimestamp value;
    EXPECT_FALSE(parseTimestampText("2004/03/05 ", formats, &value));
    EXPECT_FALSE(parseTimestampText("2004/03/05  14:05:09", formats, &value));
    EXPECT_FALSE(parseTimestampText("2004/03/0514:05:09", formats, &value));
    EXPECT_FALSE(parseTimestampText("2004/03/05 14:05", formats, &value));
    ASSERT_TRUE(parseTimestampText("2004/03/05 14:05:09", formats, &value));
    EXPECT_EQ(value.hour, 14);
    EXPECT_EQ(value.second, 9);
}

// Under fully padded patterns every text has one form, so whatever the parser
// accepts must be the text of the value it reads: mutated texts (a digit,
// separator or letter changed, a byte dropped) are either refused or canonical.
TEST(ParseMutations, AcceptedTextsAreCanonical) {
    RegionalFormats formats = test::englishFormats();
    formats.shortDateFormat = "mm/dd/yyyy";
    formats.longTimeFormat = "hh:mm:ss AMPM";
    std::mt19937 random(4242);
    std::uniform_int_distribution<std::int32_t> anyDay(kFirstDayNumber, kLastDayNumber);
    const std::string replacements = "0123456789/: apmAPM";
    int accepted = 0;
    int refused = 0;
    for (int n = 0; n < 20000; ++n) {
        sqldriver::SqlTimestamp value;
        CalendarDate date;
        dateFromDayNumber(anyDay(random), &date);
        value.year = static_cast<std::int16_t>(date.year);
        value.month = static_cast<std::uint16_t>(date.month);
        value.day = static_cast<std::uint16_t>(date.day);
        value.hour = static_cast<std::uint16_t>(random() % 24);
        value.minute = static_cast<std::uint16_t>(random() % 60);
        value.second = static_cast<std::uint16_t>(random() % 60);
        std::string text = timestampText(value, formats);
        text[random() % text.size()] = replacements[random() % replacements.size()];
        if (random() % 4 == 0) text.erase(random() % text.size(), 1);

        sqldriver::SqlTimestamp parsed;
        // Letters may differ in case: markers and names are read either way.
        if (parseTimestampText(text, formats, &parsed)) {
            ASSERT_EQ(strcasecmp(timestampText(parsed, formats).c_str(), text.c_str()), 0) << text;
            ++accepted;
        } else {
            ++refused;
        }
        std::int32_t day = 0;
        if (parseDateText(text, formats, &day)) {
            ASSERT_EQ(dateText(day, formats), text);
        }
    }
    // Both outcomes must actually occur for the check to mean anything.
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace tarvel
