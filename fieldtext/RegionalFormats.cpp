#include "RegionalFormats.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>
#include <utility>

#include "PatternRewrite.h"
#include "PosixFormats.h"

namespace tarvel {

namespace {

// Owns a locale object made by newlocale.
class LocaleHandle {
public:
    LocaleHandle(int categoryMask, const std::string& name)
        : m_locale(newlocale(categoryMask, name.c_str(), static_cast<locale_t>(nullptr))) {
        // A locale that is not installed reads as the POSIX locale.
        if (m_locale == static_cast<locale_t>(nullptr))
            m_locale = newlocale(categoryMask, "C", static_cast<locale_t>(nullptr));
    }
    ~LocaleHandle() {
        if (m_locale != static_cast<locale_t>(nullptr)) freelocale(m_locale);
    }
    LocaleHandle(const LocaleHandle&) = delete;
    LocaleHandle& operator=(const LocaleHandle&) = delete;

    std::string item(nl_item what) const {
        if (m_locale == static_cast<locale_t>(nullptr)) return {};
        const char* value = nl_langinfo_l(what, m_locale);
        return value ? std::string(value) : std::string();
    }

private:
    locale_t m_locale;
};

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The locale name that governs one category: LC_ALL, then the category's own
// variable, then LANG, then the POSIX locale.
std::string localeNameFor(const char* categoryVariable) {
    for (const char* variable : {"LC_ALL", categoryVariable, "LANG"}) {
        std::string value = environmentValue(variable);
        if (!value.empty()) return value;
    }
    return "C";
}

template <std::size_t N>
void readNames(const LocaleHandle& locale, nl_item first, std::array<std::string, N>& names) {
    for (std::size_t i = 0; i < N; ++i)
        names[i] = locale.item(static_cast<nl_item>(first + static_cast<nl_item>(i)));
}

RegionalFormats& storedFormats() {
    static RegionalFormats formats = readRegionalFormats(nullptr);
    return formats;
}

}  // namespace

RegionalFormats readRegionalFormats(const char* localeName) {
    const bool fromEnvironment = localeName == nullptr || *localeName == '\0';
    const std::string numericName = fromEnvironment ? localeNameFor("LC_NUMERIC") : std::string(localeName);
    const std::string timeName = fromEnvironment ? localeNameFor("LC_TIME") : std::string(localeName);

    RegionalFormats formats;

    const LocaleHandle numeric(LC_CTYPE_MASK | LC_NUMERIC_MASK, numericName);
    const std::string radix = numeric.item(RADIXCHAR);
    // Only a one-byte decimal symbol can serve; a multi-byte one falls back.
    formats.decimalSeparator = radix.size() == 1 ? radix[0] : '.';

    const LocaleHandle time(LC_CTYPE_MASK | LC_TIME_MASK, timeName);
    formats.encoding = encodingOfCodeset(time.item(CODESET));

    const std::string dateFormat = time.item(D_FMT);
    std::string datePattern = shortDatePatternFromPosix(dateFormat, formats.encoding);
    // POSIX locales select the Gregorian calendar, so the era rewrite never
    // applies here; a Chinese, Japanese or Korean language drops era names.
    if (isCjkLanguage(timeName)) datePattern = removeEraNameCodes(datePattern, formats.encoding);
    formats.shortDateFormat = widenTwoDigitYear(datePattern, formats.encoding);
    formats.dateSeparator = dateSeparatorFromPosix(dateFormat, formats.encoding, '/');

    const std::string timeFormat = time.item(T_FMT);
    const std::string ampmFormat = time.item(T_FMT_AMPM);
    formats.longTimeFormat = longTimePatternFromPosix(timeFormat, ampmFormat);
    formats.timeSeparator = timeSeparatorFromPosix(timeFormat, ampmFormat, formats.encoding, ':');

    formats.timeAmString = time.item(AM_STR);
    formats.timePmString = time.item(PM_STR);
    if (formats.timeAmString.empty()) formats.timeAmString = "am";
    if (formats.timePmString.empty()) formats.timePmString = "pm";

    readNames(time, ABMON_1, formats.shortMonthNames);
    readNames(time, MON_1, formats.longMonthNames);
    readNames(time, ABDAY_1, formats.shortDayNames);
    readNames(time, DAY_1, formats.longDayNames);
    return formats;
}

const RegionalFormats& currentFormats() { return storedFormats(); }

void reloadCurrentFormats() { storedFormats() = readRegionalFormats(nullptr); }

void setCurrentFormats(const RegionalFormats& formats) { storedFormats() = formats; }

}  // namespace tarvel
