#include <gtest/gtest.h>

#include <string>

#include "DateTimeFormat.h"
#include "Error.h"
#include "FieldText.h"
#include "LocaleFormats.h"
#include "PosixFormats.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

struct PatternCase {
    const char* pattern;
    DateTimeParts moment;
    const char* expected;
};

void PrintTo(const PatternCase& c, std::ostream* out) { *out << test::printable(c.pattern); }

class FormatPattern : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FormatPattern, English) {
    RegionalFormats formats = test::englishFormats();
    formats.dateSeparator = '-';
    formats.timeSeparator = '.';
    const PatternCase& c = GetParam();
    EXPECT_EQ(applyDateTimePattern(c.pattern, c.moment, formats), c.expected) << "pattern: " << c.pattern;
}

// 2004-03-05 was a Friday.
constexpr DateTimeParts kFriday{2004, 3, 5, 14, 5, 9};
constexpr DateTimeParts kMidnight{2004, 12, 25, 0, 7, 0};

INSTANTIATE_TEST_SUITE_P(
    Codes, FormatPattern,
    ::testing::Values(
        PatternCase{"d dd ddd dddd", kFriday, "5 05 Fri Friday"},
        PatternCase{"D DD DDD DDDD", kFriday, "5 05 Fri Friday"},
        PatternCase{"m mm mmm mmmm", kFriday, "3 03 Mar March"},
        PatternCase{"y yy yyy yyyy", kFriday, "04 04 2004 2004"},
        PatternCase{"yyyy/mm/dd", kFriday, "2004-03-05"}, PatternCase{"hh:mm:ss", kFriday, "14.05.09"},
        PatternCase{"h:m", kFriday, "14.5"}, PatternCase{"hh 'at' mm", kFriday, "14 at 05"},
        PatternCase{"h mmm", kFriday, "14 Mar"}, PatternCase{"hh:nn:ss", kFriday, "14.05.09"},
        PatternCase{"h:n:s", kFriday, "14.5.9"}, PatternCase{"mm/dd hh:mm", kFriday, "03-05 14.05"},
        PatternCase{"'d/m' \"y:h\" d", kFriday, "d/m y:h 5"},
        PatternCase{"'unclosed d", kFriday, "unclosed d"},
        PatternCase{"AMPM hh:mm:ss", kFriday, "pm 02.05.09"},
        PatternCase{"hh:mm:ss AMPM", kFriday, "02.05.09 pm"}, PatternCase{"h:mm ampm", kMidnight, "12.07 am"},
        PatternCase{"h:mm AM/PM", kFriday, "2.05 PM"}, PatternCase{"h:mm am/pm", kMidnight, "12.07 am"},
        PatternCase{"h:mm a/p", kFriday, "2.05 p"}, PatternCase{"h:mm A/P", kMidnight, "12.07 A"},
        // The first hour code has another hour code before the marker.
        PatternCase{"h:nn h AMPM", kFriday, "14.05 2 pm"}, PatternCase{"AMPM h, h", kFriday, "pm 2, 2"},
        PatternCase{"x#q!", kFriday, "x#q!"}, PatternCase{"e ee eeee g gg ggg", kFriday, "2004 2004 2004   "},
        PatternCase{"yyyy", DateTimeParts{1, 1, 1, 0, 0, 0}, "0001"},
        PatternCase{"yy", DateTimeParts{1, 1, 1, 0, 0, 0}, "01"},
        PatternCase{"dddd d mmmm yyyy", DateTimeParts{9999, 12, 31, 0, 0, 0}, "Friday 31 December 9999"}));

TEST(FormatPatternMultiByte, CharactersAreCopiedWhole) {
    RegionalFormats formats = test::englishFormats();
    // 年, 月 and 日 in UTF-8.
    EXPECT_EQ(applyDateTimePattern("yyyy\xE5\xB9\xB4m\xE6\x9C\x88"
                                   "d\xE6\x97\xA5",
                                   kFriday, formats),
              "2004\xE5\xB9\xB4"
              "3\xE6\x9C\x88"
              "5\xE6\x97\xA5");
    // A double-byte character whose trailing byte is "d" (0x64) or "m" (0x6D)
    // must not be read as a day or month code.
    formats.encoding = TextEncoding::DoubleByte;
    EXPECT_EQ(applyDateTimePattern("yyyy\xA4"
                                   "d\xB0m",
                                   kFriday, formats),
              "2004\xA4"
              "d\xB0m");
    formats.encoding = TextEncoding::SingleByte;
    EXPECT_EQ(applyDateTimePattern("yyyy\xA4"
                                   "d\xB0m",
                                   kFriday, formats),
              "2004\xA4"
              "5\xB0"
              "3");
}

TEST(FormatPatternEra, TaiwanEraYearAndName) {
    RegionalFormats formats = test::englishFormats();
    formats.eras.push_back(test::taiwanEra());
    EXPECT_EQ(applyDateTimePattern("ggg eeee/M/d", kFriday, formats), test::taiwanEra().name + " 93/3/5");
    EXPECT_EQ(applyDateTimePattern("e ee", DateTimeParts{1915, 6, 1, 0, 0, 0}, formats), "4 04");
    // Before the first era the year stands as it is, with no era name.
    EXPECT_EQ(applyDateTimePattern("g|e", DateTimeParts{1911, 12, 31, 0, 0, 0}, formats), "|1911");
}

TEST(LongTime, TwelveHourMarkerFirst) {
    RegionalFormats formats = test::englishFormats();
    formats.longTimeFormat = longTimePattern(true, true, true);
    EXPECT_EQ(formats.longTimeFormat, "AMPM hh:mm:ss");
    formats.timeAmString = "\xE4\xB8\x8A\xE5\x8D\x88";  // 上午
    formats.timePmString = "\xE4\xB8\x8B\xE5\x8D\x88";  // 下午
    EXPECT_EQ(timeText((14 * 3600 + 5 * 60 + 9) * 1000 + 999, formats), "\xE4\xB8\x8B\xE5\x8D\x88 02:05:09");
    EXPECT_EQ(timeText(5 * 60 * 1000, formats), "\xE4\xB8\x8A\xE5\x8D\x88 12:05:00");
}

TEST(FieldTexts, DatesAndTimes) {
    const RegionalFormats formats = test::englishFormats();  // m/d/yy, h:mm:ss AMPM
    EXPECT_EQ(dateText(0, formats), "12/30/99");
    RegionalFormats wide = formats;
    wide.shortDateFormat = "mm/dd/yyyy";
    EXPECT_EQ(dateText(0, wide), "12/30/1899");
    EXPECT_EQ(dateText(kFirstDayNumber, wide), "01/01/0001");
    EXPECT_EQ(dateText(kLastDayNumber, wide), "12/31/9999");
    EXPECT_EQ(dateText(38051, wide), "03/05/2004");
    EXPECT_THROW(dateText(kLastDayNumber + 1, wide), Error);
    EXPECT_THROW(dateText(kFirstDayNumber - 1, wide), Error);

    EXPECT_EQ(timeText(0, formats), "12:00:00 am");
    EXPECT_EQ(timeText(43200000, formats), "12:00:00 pm");
    EXPECT_EQ(timeText(86399999, formats), "11:59:59 pm");
    EXPECT_THROW(timeText(86400000, formats), Error);
}

struct TimestampCase {
    sqldriver::SqlTimestamp value;
    const char* expected;  // the text, or the failure's message
    bool fails;
};

void PrintTo(const TimestampCase& c, std::ostream* out) {
    const sqldriver::SqlTimestamp& v = c.value;
    *out << v.year << "-" << v.month << "-" << v.day << " " << v.hour << ":" << v.minute << ":" << v.second
         << "." << v.fraction;
}

class Timestamp : public ::testing::TestWithParam<TimestampCase> {};

TEST_P(Timestamp, TextOrEncodeFailure) {
    RegionalFormats formats = test::englishFormats();
    formats.shortDateFormat = "yyyy/mm/dd";
    formats.longTimeFormat = "hh:mm:ss";
    const TimestampCase& c = GetParam();
    if (!c.fails) {
        EXPECT_EQ(timestampText(c.value, formats), c.expected);
        return;
    }
    try {
        timestampText(c.value, formats);
        ADD_FAILURE() << "no failure, expected " << c.expected;
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, Timestamp,
    ::testing::Values(TimestampCase{{2004, 3, 5, 0, 0, 0, 0}, "2004/03/05", false},
                      TimestampCase{{2004, 3, 5, 0, 0, 0, 500}, "2004/03/05", false},
                      TimestampCase{{2004, 3, 5, 0, 0, 1, 0}, "2004/03/05 00:00:01", false},
                      TimestampCase{{2004, 3, 5, 14, 5, 9, 999}, "2004/03/05 14:05:09", false},
                      TimestampCase{{2004, 3, 5, 14, 5, 9, 0x10000}, "2004/03/05 14:05:09", false},
                      TimestampCase{{0, 0, 0, 0, 0, 0, 0}, "1899/12/30", false},
                      TimestampCase{{2000, 2, 29, 0, 0, 0, 0}, "2000/02/29", false},
                      TimestampCase{{1900, 2, 29, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{2004, 4, 31, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{2004, 13, 1, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{2004, 0, 1, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{0, 1, 1, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{10000, 1, 1, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{-1, 1, 1, 0, 0, 0, 0}, "Invalid argument to date encode", true},
                      TimestampCase{{0, 0, 0, 0, 0, 0, 1}, "Invalid argument to date encode", true},
                      TimestampCase{{2004, 3, 5, 24, 0, 0, 0}, "Invalid argument to time encode", true},
                      TimestampCase{{2004, 3, 5, 23, 60, 0, 0}, "Invalid argument to time encode", true},
                      TimestampCase{{2004, 3, 5, 23, 0, 60, 0}, "Invalid argument to time encode", true},
                      TimestampCase{{2004, 3, 5, 23, 0, 0, 1000}, "Invalid argument to time encode", true},
                      TimestampCase{{2004, 13, 5, 25, 0, 0, 0}, "Invalid argument to date encode", true}));

}  // namespace
}  // namespace tarvel
