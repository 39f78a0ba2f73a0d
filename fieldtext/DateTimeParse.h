// Reading a date or time text back into its value: the exact inverse of how
// DateTimeText forms the text under a set of regional formats.
#pragma once

#include <cstdint>
#include <string_view>

#include "RegionalFormats.h"
#include "SqlDriver.h"

namespace tarvel {

// A text formed under the short date format; day number as in sqldriver::kind::Date.
bool parseDateText(std::string_view text, const RegionalFormats& formats, std::int32_t* day);
// A text formed under the long time format; milliseconds since midnight.
bool parseTimeText(std::string_view text, const RegionalFormats& formats, std::uint32_t* milliseconds);
// A timestamp's field text: the date alone, or the date, a blank and the time.
bool parseTimestampText(std::string_view text, const RegionalFormats& formats,
                        sqldriver::SqlTimestamp* value);

}  // namespace tarvel
