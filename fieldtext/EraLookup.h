// Which era of the formats' calendar a day falls in.
#pragma once

#include <cstdint>

#include "RegionalFormats.h"

namespace tarvel {

// The last era that has begun by the day, or nullptr (Gregorian calendar, or
// a day before the first era).
const Era* eraOfDay(const RegionalFormats& formats, std::int32_t dayNumber);

}  // namespace tarvel
