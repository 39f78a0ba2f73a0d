// Fuzzes reading date, time and timestamp texts back into values, under the
// regional formats of every locale installed on the machine (and the C
// locale). Whatever a text gives must be a valid value whose own field text
// reads back as the same value; and the field text of any date and time in
// the range the two-digit-year window covers must read back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CalendarDays.h"
#include "DateTimeParse.h"
#include "FieldText.h"
#include "RegionalFormats.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

std::vector<tarvel::RegionalFormats>& localeFormats() {
    static std::vector<tarvel::RegionalFormats> formats;
    return formats;
}

// The formats of "C" and of every locale `locale -a` lists.
void readInstalledLocales() {
    std::vector<std::string> names{"C"};
    if (FILE* list = ::popen("locale -a 2>/dev/null", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, list)) {
            std::string name(line);
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
            if (!name.empty() && name != "C" && name != "POSIX") names.push_back(name);
        }
        ::pclose(list);
    }
    for (const std::string& name : names)
        localeFormats().push_back(tarvel::readRegionalFormats(name.c_str()));
}

bool validTimestamp(const sqldriver::SqlTimestamp& t) {
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59 && t.fraction == 0;
}

bool sameTimestamp(const sqldriver::SqlTimestamp& a, const sqldriver::SqlTimestamp& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.fraction == b.fraction;
}

void checkDateText(std::string_view text, const tarvel::RegionalFormats& formats) {
    std::int32_t day = 0;
    if (!tarvel::parseDateText(text, formats, &day)) return;
    std::int32_t again = 0;
    require(tarvel::parseDateText(tarvel::dateText(day, formats), formats, &again) && again == day);
}

void checkTimeText(std::string_view text, const tarvel::RegionalFormats& formats) {
    std::uint32_t milliseconds = 0;
    if (!tarvel::parseTimeText(text, formats, &milliseconds)) return;
    require(milliseconds < 86400000u && milliseconds % 1000 == 0);
    std::uint32_t again = 0;
    require(tarvel::parseTimeText(tarvel::timeText(milliseconds, formats), formats, &again) &&
            again == milliseconds);
}

void checkTimestampText(std::string_view text, const tarvel::RegionalFormats& formats) {
    sqldriver::SqlTimestamp value;
    if (!tarvel::parseTimestampText(text, formats, &value)) return;
    require(validTimestamp(value));
    sqldriver::SqlTimestamp again;
    require(tarvel::parseTimestampText(tarvel::timestampText(value, formats), formats, &again) &&
            sameTimestamp(again, value));
}

// A moment from four bytes: a day from 1990-01-01 on (within the two-digit
// year window for decades to come) and a second of that day.
void checkMomentRoundTrip(const std::uint8_t* bytes, const tarvel::RegionalFormats& formats) {
    std::uint32_t raw = 0;
    std::memcpy(&raw, bytes, sizeof raw);
    std::int32_t firstDay = 0;
    require(tarvel::dayNumberFromDate(1990, 1, 1, &firstDay));
    const std::int32_t day = firstDay + static_cast<std::int32_t>(raw % 30000);
    const std::uint32_t milliseconds = (raw / 30000 % 86400) * 1000;

    std::int32_t parsedDay = 0;
    require(tarvel::parseDateText(tarvel::dateText(day, formats), formats, &parsedDay) && parsedDay == day);
    std::uint32_t parsedTime = 0;
    require(tarvel::parseTimeText(tarvel::timeText(milliseconds, formats), formats, &parsedTime) &&
            parsedTime == milliseconds);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    readInstalledLocales();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first byte picks the locale, the second the reading.
    const tarvel::RegionalFormats& formats = localeFormats()[data[0] % localeFormats().size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    switch (data[1] % 3) {
        case 0:
            checkDateText(text, formats);
            break;
        case 1:
            checkTimeText(text, formats);
            break;
        default:
            checkTimestampText(text, formats);
            break;
    }
    if (size >= 6) checkMomentRoundTrip(data + 2, formats);
    return 0;
}
