// Conversions between Firebird's stored forms and the value layouts of the
// driver interface: day numbers, milliseconds, timestamps and exact decimals.
#pragma once

#include <ibase.h>

#include <cstdint>
#include <string>

#include "SqlDriver.h"

namespace tarvel::fb {

// Firebird counts days from 1858-11-17; the interface from 1899-12-30.
std::int32_t dayNumberFromIscDate(ISC_DATE date);
ISC_DATE iscDateFromDayNumber(std::int32_t day);
// Firebird keeps times in units of 1/10000 s; the interface in milliseconds.
std::uint32_t millisecondsFromIscTime(ISC_TIME time);
ISC_TIME iscTimeFromMilliseconds(std::uint32_t milliseconds);
sqldriver::SqlTimestamp sqlTimestampFromIsc(const ISC_TIMESTAMP& stamp);
// False when a part is out of range.
bool iscTimestampFromSql(const sqldriver::SqlTimestamp& value, ISC_TIMESTAMP* stamp);

// The decimal text of a BCD ("-12.3400"); false when the BCD is malformed.
bool bcdToText(const sqldriver::Bcd& value, std::string* text);

}  // namespace tarvel::fb
