#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "PrintCase.h"
#include "RegionalFormats.h"

namespace tarvel {
namespace {

struct LocaleCase {
    const char* name;
    char decimalSeparator;
    const char* shortDate;
    const char* longTime;
    char dateSeparator;
    const char* am;
    const char* pm;
    const char* januaryShort;
    const char* sundayLong;
    TextEncoding encoding;
};

void PrintTo(const LocaleCase& c, std::ostream* out) { *out << c.name; }

class LocaleReader : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleReader, ReadsInstalledLocale) {
    const LocaleCase& c = GetParam();
    const RegionalFormats formats = readRegionalFormats(c.name);
    EXPECT_EQ(formats.decimalSeparator, c.decimalSeparator);
    EXPECT_EQ(formats.shortDateFormat, c.shortDate);
    EXPECT_EQ(formats.longTimeFormat, c.longTime);
    EXPECT_EQ(formats.dateSeparator, c.dateSeparator);
    EXPECT_EQ(formats.timeSeparator, ':');
    EXPECT_EQ(formats.timeAmString, c.am);
    EXPECT_EQ(formats.timePmString, c.pm);
    EXPECT_EQ(formats.shortMonthNames[0], c.januaryShort);
    EXPECT_EQ(formats.longDayNames[0], c.sundayLong);
    EXPECT_EQ(formats.encoding, c.encoding);
    EXPECT_TRUE(formats.eras.empty());
    for (const auto& name : formats.longMonthNames) EXPECT_FALSE(name.empty());
}

// What glibc's locale data give on Debian 12; every two-digit year is widened.
INSTANTIATE_TEST_SUITE_P(
    Installed, LocaleReader,
    ::testing::Values(LocaleCase{"C", '.', "mm/dd/yyyy", "hh:mm:ss", '/', "AM", "PM", "Jan", "Sunday",
                                 TextEncoding::SingleByte},
                      LocaleCase{"en_US.UTF-8", '.', "mm/dd/yyyy", "hh:mm:ss AMPM", '/', "AM", "PM", "Jan",
                                 "Sunday", TextEncoding::Utf8},
                      LocaleCase{"en_GB.UTF-8", '.', "dd/mm/yyyy", "hh:mm:ss", '/', "am", "pm", "Jan",
                                 "Sunday", TextEncoding::Utf8},
                      LocaleCase{"de_DE.UTF-8", ',', "dd.mm.yyyy", "hh:mm:ss", '.', "am", "pm", "Jan",
                                 "Sonntag", TextEncoding::Utf8},
                      LocaleCase{"zh_TW.UTF-8", '.',
                                 "yyyy\xE5\xB9\xB4mm\xE6\x9C\x88"
                                 "dd\xE6\x97\xA5",
                                 "hh:mm:ss", '/', "\xE4\xB8\x8A\xE5\x8D\x88", "\xE4\xB8\x8B\xE5\x8D\x88",
                                 " 1\xE6\x9C\x88", "\xE9\x80\xB1\xE6\x97\xA5", TextEncoding::Utf8},
                      LocaleCase{"zh_TW.BIG5", '.',
                                 "yyyy\xA6~mm\xA4\xEB"
                                 "dd\xA4\xE9",
                                 "hh:mm:ss", '/', "\xA4W\xA4\xC8", "\xA4U\xA4\xC8", " 1\xA4\xEB",
                                 "\xB6g\xA4\xE9", TextEncoding::DoubleByte},
                      LocaleCase{"ja_JP.UTF-8", '.',
                                 "yyyy\xE5\xB9\xB4mm\xE6\x9C\x88"
                                 "dd\xE6\x97\xA5",
                                 "hh:mm:ss", '/', "\xE5\x8D\x88\xE5\x89\x8D", "\xE5\x8D\x88\xE5\xBE\x8C",
                                 " 1\xE6\x9C\x88", "\xE6\x97\xA5\xE6\x9B\x9C\xE6\x97\xA5",
                                 TextEncoding::Utf8},
                      // A locale that is not installed reads as the POSIX locale.
                      LocaleCase{"xx_NOWHERE.UTF-8", '.', "mm/dd/yyyy", "hh:mm:ss", '/', "AM", "PM", "Jan",
                                 "Sunday", TextEncoding::SingleByte}));

// Sets environment variables for one test and puts the old values back.
class EnvironmentGuard {
public:
    ~EnvironmentGuard() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void set(const char* name, const char* value) {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

struct EnvironmentCase {
    const char* lcAll;
    const char* lcNumeric;
    const char* lcTime;
    const char* lang;
    char decimalSeparator;
    const char* shortDate;
};

void PrintTo(const EnvironmentCase& c, std::ostream* out) {
    for (const char* value : {c.lcAll, c.lcNumeric, c.lcTime, c.lang})
        *out << (value ? value : "unset") << " ";
}

class EnvironmentReader : public ::testing::TestWithParam<EnvironmentCase> {};

TEST_P(EnvironmentReader, CategoryPrecedence) {
    const EnvironmentCase& c = GetParam();
    EnvironmentGuard environment;
    environment.set("LC_ALL", c.lcAll);
    environment.set("LC_NUMERIC", c.lcNumeric);
    environment.set("LC_TIME", c.lcTime);
    environment.set("LANG", c.lang);
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        const RegionalFormats formats = readRegionalFormats(name);
        EXPECT_EQ(formats.decimalSeparator, c.decimalSeparator);
        EXPECT_EQ(formats.shortDateFormat, c.shortDate);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variables, EnvironmentReader,
    ::testing::Values(
        EnvironmentCase{nullptr, nullptr, nullptr, nullptr, '.', "mm/dd/yyyy"},
        EnvironmentCase{nullptr, nullptr, nullptr, "de_DE.UTF-8", ',', "dd.mm.yyyy"},
        EnvironmentCase{nullptr, "de_DE.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", ',', "dd/mm/yyyy"},
        EnvironmentCase{"", "en_US.UTF-8", "", "de_DE.UTF-8", '.', "dd.mm.yyyy"},
        EnvironmentCase{"en_US.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8", '.', "mm/dd/yyyy"}));

TEST(ReadingLocales, LeavesProcessLocaleAlone) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const RegionalFormats german = readRegionalFormats("de_DE.UTF-8");
    ASSERT_EQ(german.decimalSeparator, ',');
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
    EXPECT_STREQ(buffer, "1.5");
}

TEST(CurrentFormats, SetAndReload) {
    EnvironmentGuard environment;
    environment.set("LC_ALL", "de_DE.UTF-8");
    RegionalFormats custom;
    custom.decimalSeparator = ';';
    custom.shortDateFormat = "yyyy";
    setCurrentFormats(custom);
    EXPECT_EQ(currentFormats(), custom);
    reloadCurrentFormats();
    EXPECT_EQ(currentFormats(), readRegionalFormats("de_DE.UTF-8"));
    environment.set("LC_ALL", "C");
    reloadCurrentFormats();
    EXPECT_EQ(currentFormats().decimalSeparator, '.');
}

}  // namespace
}  // namespace tarvel
