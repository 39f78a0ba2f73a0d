#include <gtest/gtest.h>

#include <string>

#include "DateTimeFormat.h"
#include "LocaleFormats.h"
#include "PatternRewrite.h"
#include "PosixFormats.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

struct RewriteCase {
    const char* pattern;
    TextEncoding encoding;
    const char* expected;
};

void PrintTo(const RewriteCase& c, std::ostream* out) {
    *out << test::printable(c.pattern) << " encoding " << static_cast<int>(c.encoding);
}

class EraRewrite : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(EraRewrite, YearsBecomeEraYears) {
    EXPECT_EQ(eraCalendarDatePattern(GetParam().pattern, GetParam().encoding), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, EraRewrite,
    ::testing::Values(RewriteCase{"yyyy/M/d", TextEncoding::Utf8, "eeee/M/d"},
                      RewriteCase{"gg yy/MM/dd", TextEncoding::Utf8, "ggg ee/MM/dd"},
                      RewriteCase{"y-Y-M", TextEncoding::Utf8, "e-e-M"},
                      RewriteCase{"yyy", TextEncoding::Utf8, "eee"},
                      RewriteCase{"YYYY", TextEncoding::Utf8, "eeee"},
                      RewriteCase{"ggg", TextEncoding::Utf8, "gggg"},
                      RewriteCase{"yyyy\xE5\xB9\xB4M", TextEncoding::Utf8, "eeee\xE5\xB9\xB4M"},
                      // Trailing bytes "y" (0x79) and "g" (0x67) of double-byte characters stay.
                      RewriteCase{"yyyy\xA4y\xA5gg", TextEncoding::DoubleByte, "eeee\xA4y\xA5gg"},
                      RewriteCase{"yyyy\xA4y", TextEncoding::SingleByte,
                                  "eeee\xA4"
                                  "e"}));

class EraNameRemoval : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(EraNameRemoval, GregorianCjkDropsG) {
    EXPECT_EQ(removeEraNameCodes(GetParam().pattern, GetParam().encoding), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Patterns, EraNameRemoval,
                         ::testing::Values(RewriteCase{"yyyy/M/d", TextEncoding::Utf8, "yyyy/M/d"},
                                           RewriteCase{"gg yyyy/M/d", TextEncoding::Utf8, " yyyy/M/d"},
                                           RewriteCase{"Gyyyy", TextEncoding::Utf8, "yyyy"},
                                           RewriteCase{"g\xA4gyyyy", TextEncoding::DoubleByte, "\xA4gyyyy"},
                                           RewriteCase{"g\xA4gyyyy", TextEncoding::SingleByte, "\xA4yyyy"}));

class YearWidening : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(YearWidening, TwoDigitYearsBecomeFour) {
    EXPECT_EQ(widenTwoDigitYear(GetParam().pattern, GetParam().encoding), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Patterns, YearWidening,
                         ::testing::Values(RewriteCase{"m/d/yy", TextEncoding::Utf8, "m/d/yyyy"},
                                           RewriteCase{"dd/mm/y", TextEncoding::Utf8, "dd/mm/yyyy"},
                                           RewriteCase{"YY.mm", TextEncoding::Utf8, "yyyy.mm"},
                                           RewriteCase{"yyyy-mm-dd", TextEncoding::Utf8, "yyyy-mm-dd"},
                                           RewriteCase{"yyy", TextEncoding::Utf8, "yyy"},
                                           RewriteCase{"'yy' yy", TextEncoding::Utf8, "'yy' yyyy"},
                                           RewriteCase{"\"y\" y", TextEncoding::Utf8, "\"y\" yyyy"},
                                           RewriteCase{"\xA4y yy", TextEncoding::DoubleByte, "\xA4y yyyy"}));

TEST(EraCalendar, TaiwanExampleGivesEraYear) {
    // The locale pattern yyyy/M/d under a Chinese user language: Gregorian
    // keeps it, the Taiwan era calendar turns it into era years.
    RegionalFormats formats = test::englishFormats();
    const DateTimeParts march5{2004, 3, 5, 0, 0, 0};
    ASSERT_TRUE(isCjkLanguage("zh_TW.UTF-8"));
    formats.shortDateFormat = removeEraNameCodes("yyyy/M/d", formats.encoding);
    EXPECT_EQ(applyDateTimePattern(formats.shortDateFormat, march5, formats), "2004/3/5");

    formats.eras.push_back(test::taiwanEra());
    formats.shortDateFormat = eraCalendarDatePattern("yyyy/M/d", formats.encoding);
    EXPECT_EQ(formats.shortDateFormat, "eeee/M/d");
    EXPECT_EQ(applyDateTimePattern(formats.shortDateFormat, march5, formats), "93/3/5");
}

TEST(CjkLanguage, ByLanguagePart) {
    for (const char* name : {"zh_TW.UTF-8", "zh_TW.BIG5", "ja_JP", "ko_KR.EUC-KR", "ZH", "ja"})
        EXPECT_TRUE(isCjkLanguage(name)) << name;
    for (const char* name : {"", "C", "POSIX", "en_US.UTF-8", "de_DE", "zu_ZA", "jam"})
        EXPECT_FALSE(isCjkLanguage(name)) << name;
}

struct PosixDateCase {
    const char* dateFormat;
    const char* pattern;
    char separator;
};

void PrintTo(const PosixDateCase& c, std::ostream* out) { *out << test::printable(c.dateFormat); }

class PosixDate : public ::testing::TestWithParam<PosixDateCase> {};

TEST_P(PosixDate, TranslatedToPattern) {
    const PosixDateCase& c = GetParam();
    EXPECT_EQ(shortDatePatternFromPosix(c.dateFormat, TextEncoding::Utf8), c.pattern) << c.dateFormat;
    EXPECT_EQ(dateSeparatorFromPosix(c.dateFormat, TextEncoding::Utf8, '/'), c.separator) << c.dateFormat;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PosixDate,
    ::testing::Values(PosixDateCase{"%m/%d/%y", "mm/dd/yy", '/'}, PosixDateCase{"%D", "mm/dd/yy", '/'},
                      PosixDateCase{"%F", "yyyy-mm-dd", '-'}, PosixDateCase{"%d.%m.%Y", "dd.mm.yyyy", '.'},
                      PosixDateCase{"%Y-%m-%d", "yyyy-mm-dd", '-'},
                      PosixDateCase{"%e/%-m/%Y", "d/m/yyyy", '/'},
                      PosixDateCase{"%a %d %b %Y", "ddd dd mmm yyyy", '/'},
                      PosixDateCase{"%A, %B %e, %Y", "dddd, mmmm d, yyyy", ','},
                      PosixDateCase{"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5",
                                    "yyyy\xE5\xB9\xB4mm\xE6\x9C\x88"
                                    "dd\xE6\x97\xA5",
                                    '/'},
                      // Letters and a foreign "/" are quoted so they stay text.
                      PosixDateCase{"%d.%m/%Y", "dd.mm'/'yyyy", '.'},
                      PosixDateCase{"%d de %B", "dd 'de' mmmm", '/'},
                      PosixDateCase{"%Y'%m", "yyyy\"'\"mm", '/'}, PosixDateCase{"%d %j", "dd %'j'", '/'},
                      PosixDateCase{"", "m/d/yy", '/'}));

TEST(PosixDate, QuotedLettersStayText) {
    // "de" would otherwise be a day code and an era code.
    RegionalFormats formats = test::englishFormats();
    const std::string pattern = shortDatePatternFromPosix("%d de %B", TextEncoding::Utf8);
    EXPECT_EQ(applyDateTimePattern(pattern, DateTimeParts{2004, 3, 5, 0, 0, 0}, formats), "05 de March");
}

struct PosixTimeCase {
    const char* timeFormat;
    const char* ampmFormat;
    const char* pattern;
    char separator;
};

void PrintTo(const PosixTimeCase& c, std::ostream* out) {
    *out << test::printable(c.timeFormat) << " " << test::printable(c.ampmFormat);
}

class PosixTime : public ::testing::TestWithParam<PosixTimeCase> {};

TEST_P(PosixTime, FactsReadOffFormat) {
    const PosixTimeCase& c = GetParam();
    EXPECT_EQ(longTimePatternFromPosix(c.timeFormat, c.ampmFormat), c.pattern) << c.timeFormat;
    EXPECT_EQ(timeSeparatorFromPosix(c.timeFormat, c.ampmFormat, TextEncoding::Utf8, ':'), c.separator);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PosixTime,
    ::testing::Values(
        PosixTimeCase{"%H:%M:%S", "", "hh:mm:ss", ':'}, PosixTimeCase{"%T", "", "hh:mm:ss", ':'},
        PosixTimeCase{"%R", "", "hh:mm:ss", ':'}, PosixTimeCase{"%r", "%I:%M:%S %p", "hh:mm:ss AMPM", ':'},
        PosixTimeCase{"%r", "", "hh:mm:ss AMPM", ':'},
        PosixTimeCase{"%r", "%p %I\xE6\x99\x82%M\xE5\x88\x86%S\xE7\xA7\x92", "AMPM hh:mm:ss", ':'},
        PosixTimeCase{"%l:%M:%S %P", "", "h:mm:ss AMPM", ':'}, PosixTimeCase{"%k.%M.%S", "", "h:mm:ss", '.'},
        PosixTimeCase{"%-H.%M", "", "h:mm:ss", '.'}, PosixTimeCase{"%p%I:%M", "", "AMPM hh:mm:ss", ':'},
        PosixTimeCase{"%p %H:%M", "", "hh:mm:ss", ':'},
        PosixTimeCase{"%H\xE6\x99\x82%M\xE5\x88\x86", "", "hh:mm:ss", ':'},
        PosixTimeCase{"", "", "hh:mm:ss", ':'}));

}  // namespace
}  // namespace tarvel
